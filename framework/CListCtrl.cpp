#include "framework/CListCtrl.h"

BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, WC_LISTVIEWW, nullptr, style | WS_CHILD, rect, parent ? parent->GetSafeHwnd() : nullptr,
                    id);
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle) const
{
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(exStyle)));
}

DWORD CListCtrl::GetExtendedStyle() const
{
    return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
}

BOOL CListCtrl::SetItemCount(int count, DWORD flags) const
{
    return static_cast<BOOL>(SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), static_cast<LPARAM>(flags)));
}

int CListCtrl::GetItemCount() const
{
    return static_cast<int>(SendMessage(LVM_GETITEMCOUNT));
}

int CListCtrl::InsertColumn(int column, const wchar_t* heading, int format, int width) const
{
    LVCOLUMNW info = {};
    info.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = format;
    info.pszText = const_cast<wchar_t*>(heading ? heading : L"");
    info.iSubItem = column;
    if (width >= 0) {
        info.mask |= LVCF_WIDTH;
        info.cx = width;
    }
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)));
}

int CListCtrl::GetColumnCount() const
{
    HWND header = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER));
    return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

BOOL CListCtrl::SetColumnWidth(int column, int width) const
{
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)));
}

int CListCtrl::GetColumnWidth(int column) const
{
    return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

int CListCtrl::SubItemHitTest(LVHITTESTINFO* info) const
{
    return static_cast<int>(SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(info)));
}

BOOL CListCtrl::GetSubItemRect(int item, int subItem, int area, RECT& rect) const
{
    rect = {};
    rect.top = subItem;
    rect.left = area;
    return static_cast<BOOL>(
        SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)));
}

BOOL CListCtrl::GetItemRect(int item, RECT& rect, UINT area) const
{
    rect = {};
    rect.left = static_cast<LONG>(area);
    return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)));
}

UINT CListCtrl::GetItemState(int item, UINT mask) const
{
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), static_cast<LPARAM>(mask)));
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) const
{
    LVITEMW info = {};
    info.stateMask = mask;
    info.state = state;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}

UINT CListCtrl::GetSelectedCount() const
{
    return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT));
}

int CListCtrl::GetTopIndex() const
{
    return static_cast<int>(SendMessage(LVM_GETTOPINDEX));
}

BOOL CListCtrl::EnsureVisible(int item, BOOL partialOk) const
{
    return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), partialOk));
}

HWND CListCtrl::GetToolTips() const
{
    return reinterpret_cast<HWND>(SendMessage(LVM_GETTOOLTIPS));
}

void CListCtrl::DrawItem(DRAWITEMSTRUCT*) {}

BOOL CListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_DRAWITEM) {
        DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return TRUE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}
