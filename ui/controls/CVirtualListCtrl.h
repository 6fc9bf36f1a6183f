#pragma once
#include <map>
#include <string>

#include "framework/CListCtrl.h"
#include "framework/CToolTipCtrl.h"
#include "ui/controls/IVirtualListDrawParent.h"
#include "ui/controls/IVirtualListParent.h"

// A report-view list that holds no rows of its own: only the item count.
// Cell texts come from an IVirtualListParent on demand, rows are drawn by an
// IVirtualListDrawParent, and chosen columns offer a clickable area in each
// cell ("cell button", e.g. a link). The full text of the cell under the
// pointer is shown in the list's own tooltip.
//
// The owner creates it with LVS_REPORT | LVS_OWNERDATA | LVS_OWNERDRAWFIXED
// (Create adds them), adds its columns, sets the item count and fills
// CellButtons(). The parent window must be a CWnd, so that the list's
// notifications (text requests, drawing, measuring) are reflected back to it.
//
// Cell-button states: idle (all -1) -> hot (pointer over a button) ->
// pressed (button down over it); a release over a button clicks. Leaving
// every button area, or a press elsewhere, returns to idle. Each change
// invalidates the list so that the drawing owner can show it. From the
// keyboard, Space clicks the focused row's button (of the first column that
// has one).
class CVirtualListCtrl : public CListCtrl {
public:
    // Neither pointer is owned.
    CVirtualListCtrl(IVirtualListParent* listParent, IVirtualListDrawParent* drawParent);
    ~CVirtualListCtrl() override;

    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // Column -> area of each cell of that column that acts as a button,
    // relative to the cell's top-left corner.
    const std::map<int, RECT>& CellButtons() const { return m_cellButtons; }
    void SetCellButton(int column, const RECT& area) { m_cellButtons[column] = area; }

    int GetActiveColumn() const { return m_activeColumn; }
    int GetHotRow() const { return m_hotRow; }
    int GetPressedRow() const { return m_pressedRow; }
    // The cell the current tooltip tool was made for (-1 = none).
    int GetToolTipRow() const { return m_toolTipRow; }
    int GetToolTipColumn() const { return m_toolTipColumn; }
    CToolTipCtrl& GetOwnToolTip() { return m_toolTip; }
    // True while the list watches mouse moves outside itself.
    bool IsWatchingOutsideMoves() const;

    BOOL PreTranslateMessage(MSG* message) override;

    // The text a tooltip shows for a cell text: backslashes at both ends
    // removed, unless the text is a network path (\\server\share...).
    static std::wstring ToolTipText(const std::wstring& cellText);

    static constexpr int kToolTipWidth = 200;
    static constexpr size_t kToolTipChars = 260;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;
    void DrawItem(DRAWITEMSTRUCT* item) override;

private:
    std::map<int, RECT> m_cellButtons;
    struct Hit {
        int row = -1;
        int column = -1;
        bool onButton = false;
    };

    Hit HitTest(POINT point) const;
    void SetUpToolTip();
    void MoveToolTipTo(int row, int column);
    // Returns true when the list view's own processing should follow.
    bool OnMouseMove(POINT point);
    bool OnLButtonDown(POINT point);
    bool OnLButtonUp(POINT point);
    bool OnToolTipNeedText(NMTTDISPINFOW* info);
    // No button hot or pressed any more; nothing happens while none is.
    void ResetButtonState();
    void StartWatchingOutsideMoves();
    void StopWatchingOutsideMoves();
    static LRESULT CALLBACK OutsideMoveHook(int code, WPARAM wParam, LPARAM lParam);
    static void HandOutsideMove(const MSG& message);

    IVirtualListDrawParent* m_drawParent;
    IVirtualListParent* m_listParent;
    int m_activeColumn = -1;
    int m_hotRow = -1;
    int m_pressedRow = -1;
    CToolTipCtrl m_toolTip;
    int m_toolTipRow = -1;
    int m_toolTipColumn = -1;
    wchar_t m_toolTipText[kToolTipChars] = {};
};
