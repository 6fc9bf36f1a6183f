#pragma once
#include <windows.h>

class CWnd;

// Scroll bars and wheel scrolling for a page whose content is larger than
// its window. The page owns one helper, attaches its window, tells it the
// content size after each layout (then UpdateScrollInfo), and forwards
// WM_HSCROLL, WM_VSCROLL and WM_MOUSEWHEEL to it. Scrolling moves the whole
// client area, child controls included; positions are in pixels.
class CScrollHelper {
public:
    CScrollHelper() = default;
    virtual ~CScrollHelper() = default;
    CScrollHelper(const CScrollHelper&) = delete;
    CScrollHelper& operator=(const CScrollHelper&) = delete;

    // A helper without a window ignores every call.
    void AttachWnd(HWND window) { m_window = window; }
    void AttachWnd(CWnd* window);
    void DetachWnd() { m_window = nullptr; }
    HWND GetAttachedWnd() const { return m_window; }

    void SetDisplaySize(int width, int height);
    SIZE GetDisplaySize() const { return {m_contentWidth, m_contentHeight}; }
    // Current scroll offsets.
    SIZE GetScrollPos() const { return {m_hPos, m_vPos}; }
    // Visible size at the last update (0 on an axis that does not scroll).
    SIZE GetPageSize() const { return {m_hPage, m_vPage}; }

    // Recomputes both scroll bars from the window's size and the content
    // size, keeping the position at the same fraction of the page.
    void UpdateScrollInfo();
    // WM_HSCROLL / WM_VSCROLL: `code` is LOWORD(wParam).
    void OnHScroll(UINT code, HWND scrollBar = nullptr);
    void OnVScroll(UINT code, HWND scrollBar = nullptr);
    // WM_MOUSEWHEEL: `delta` is GET_WHEEL_DELTA_WPARAM(wParam). True when
    // handled; false when there is nothing to scroll vertically.
    bool OnMouseWheel(int delta);

    // One line step, in pixels.
    static constexpr int kLineStep = 60;

private:
    // The client size the window would have without scroll bars.
    SIZE VisibleSize() const;
    int UpdateAxis(int bar, int visible, int content, int& page, int& pos);
    void ScrollAxis(int bar, UINT code);

    HWND m_window = nullptr;
    int m_hPage = 0;
    int m_vPage = 0;
    int m_contentWidth = 0;
    int m_contentHeight = 0;
    int m_hPos = 0;
    int m_vPos = 0;
};
