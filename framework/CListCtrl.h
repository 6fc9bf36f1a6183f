#pragma once
#include "framework/CWnd.h"

#include <commctrl.h>

// The common controls' list view. Thin helpers over its LVM_* requests; a
// derived class that creates an owner-drawn list overrides DrawItem, which
// receives the WM_DRAWITEM the list sends to its parent (reflected back to
// the list, so the parent must be a CWnd).
class CListCtrl : public CWnd {
public:
    // A child list view; WS_CHILD is added to `style`.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // Sets exactly these extended styles (LVS_EX_*); returns the previous ones.
    DWORD SetExtendedStyle(DWORD exStyle) const;
    DWORD GetExtendedStyle() const;
    // For owner-data lists: the number of rows the list shows.
    BOOL SetItemCount(int count, DWORD flags = 0) const;
    int GetItemCount() const;
    int InsertColumn(int column, const wchar_t* heading, int format = LVCFMT_LEFT, int width = -1) const;
    int GetColumnCount() const;
    BOOL SetColumnWidth(int column, int width) const;
    int GetColumnWidth(int column) const;
    // Row and column under info->pt (client coordinates); the row, or -1.
    int SubItemHitTest(LVHITTESTINFO* info) const;
    // `area` is LVIR_BOUNDS, LVIR_ICON or LVIR_LABEL. For sub-item 0 the
    // list view reports the bounds of the whole row.
    BOOL GetSubItemRect(int item, int subItem, int area, RECT& rect) const;
    BOOL GetItemRect(int item, RECT& rect, UINT area) const;
    UINT GetItemState(int item, UINT mask) const;
    BOOL SetItemState(int item, UINT state, UINT mask) const;
    UINT GetSelectedCount() const;
    int GetTopIndex() const;
    BOOL EnsureVisible(int item, BOOL partialOk) const;
    // The list view's built-in tooltip (null when it has none).
    HWND GetToolTips() const;

protected:
    // One row of an owner-drawn list.
    virtual void DrawItem(DRAWITEMSTRUCT* item);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
