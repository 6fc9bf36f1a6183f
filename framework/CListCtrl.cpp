#include "framework/CListCtrl.h"

int CListCtrl::GetColumnCount() const
{
    HWND header = GetHeaderCtrl();
    return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

BOOL CListCtrl::GetItemRect(int item, RECT& rect, UINT area) const
{
    rect = {};
    rect.left = static_cast<LONG>(area);
    return static_cast<BOOL>(
        SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)));
}

UINT CListCtrl::GetItemState(int item, UINT mask) const
{
    return static_cast<UINT>(
        SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), static_cast<LPARAM>(mask)));
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) const
{
    LVITEMW info = {};
    info.stateMask = mask;
    info.state = state;
    return static_cast<BOOL>(
        SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
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
