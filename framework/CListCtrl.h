#pragma once
#include "framework/CWnd.h"

#include <commctrl.h>

// The common controls' list view, with the few requests the program's
// owner-data report lists use. Everything else is a SendMessage away.
//
// An owner-drawn list (LVS_OWNERDRAWFIXED) draws its rows in DrawItem,
// which receives the WM_DRAWITEM the list sends to its parent, reflected
// back to the list (so the parent must be a CWnd).
class CListCtrl : public CWnd {
public:
    // Creates a child list view; `style` adds to WS_CHILD (for example
    // LVS_REPORT | LVS_OWNERDATA | LVS_OWNERDRAWFIXED | WS_VISIBLE).
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
    {
        return CWnd::CreateEx(0, WC_LISTVIEWW, nullptr, style | WS_CHILD, rect,
                              parent ? parent->GetSafeHwnd() : nullptr, id);
    }
    DWORD SetExtendedStyle(DWORD style) const
    {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
    }
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    int InsertColumn(int index, const wchar_t* heading, int format = LVCFMT_LEFT, int width = -1) const
    {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_FMT | (width >= 0 ? LVCF_WIDTH : 0);
        column.fmt = format;
        column.cx = width;
        column.pszText = const_cast<wchar_t*>(heading ? heading : L"");
        return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)));
    }
    BOOL SetColumnWidth(int column, int width) const
    {
        return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0)));
    }
    int GetColumnWidth(int column) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, column)); }
    // The only data an owner-data list holds.
    BOOL SetItemCountEx(int count, DWORD flags = LVSICF_NOINVALIDATEALL) const
    {
        return static_cast<BOOL>(SendMessage(LVM_SETITEMCOUNT, count, flags));
    }
    BOOL SetItemCount(int count) const { return SetItemCountEx(count, 0); }
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    int GetColumnCount() const;
    // `area` is LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL or LVIR_SELECTBOUNDS.
    BOOL GetItemRect(int item, RECT& rect, UINT area) const;
    UINT GetItemState(int item, UINT mask) const;
    BOOL SetItemState(int item, UINT state, UINT mask) const;
    UINT GetSelectedCount() const { return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT)); }
    int GetTopIndex() const { return static_cast<int>(SendMessage(LVM_GETTOPINDEX)); }
    BOOL EnsureVisible(int item, BOOL partialOk) const
    {
        return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, item, partialOk));
    }
    // Row and column under info->pt (client coordinates); -1 for no row.
    int SubItemHitTest(LVHITTESTINFO* info) const
    {
        return static_cast<int>(SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(info)));
    }
    BOOL GetSubItemRect(int item, int subItem, int area, RECT& rect) const
    {
        rect.top = subItem;
        rect.left = area;
        return static_cast<BOOL>(SendMessage(LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&rect)));
    }
    HWND GetToolTips() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETTOOLTIPS)); }
    HWND SetToolTips(HWND tooltip) const
    {
        return reinterpret_cast<HWND>(SendMessage(LVM_SETTOOLTIPS, reinterpret_cast<WPARAM>(tooltip)));
    }
    HWND GetHeaderCtrl() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)); }

protected:
    // One row of an owner-drawn list.
    virtual void DrawItem(DRAWITEMSTRUCT* item);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
