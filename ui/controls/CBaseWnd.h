#pragma once
#include "framework/CDialogEx.h"
#include "ui/controls/CMemDCPerm.h"
#include "ui/controls/CTransparentParent.h"
#include "ui/skin/Skin.h"

#include <utility>
#include <vector>

// The skinned dialog every window and page of the program derives from.
// It paints its whole client area itself: the skin's "mainframe/bg" colour,
// then the page's DrawContent on top, composed in a back buffer that is
// shown in one copy and kept for the child controls' transparency.
class CBaseWnd : public CDialogEx, public CTransparentParent {
public:
    // `parent` owns a modal window (DoModal), and is disabled meanwhile.
    explicit CBaseWnd(UINT templateId, CWnd* parent = nullptr);

    CDC& GetBackBuffer() override { return m_backBuffer; }

    // The DPI the window is laid out for.
    UINT GetDpi() const { return m_dpi; }
    // Design (96-DPI) pixels in this window's device pixels.
    int Scaled(int designPixels) const;

protected:
    // After the template's own set-up, lays the window and its template
    // controls out as the 96-DPI design, scaled to the window's DPI.
    BOOL OnInitDialog() override;
    // The window moved to a monitor of another DPI and its template controls
    // were laid out again: fonts, images and computed positions follow here.
    virtual void OnDpiChanged() {}

    // Draws the page's content onto the back buffer, which already holds
    // the skin background.
    virtual void DrawContent(Gdiplus::Graphics& graphics) = 0;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    // Records the design layout; returns each control's rectangle as the
    // template placed it, in the same order.
    std::vector<RECT> RecordDesignLayout();
    // Places the controls at the window's DPI. With the rectangles they have
    // now, controls already in place are not moved.
    void ApplyDesignLayout(bool sizeWindow, const std::vector<RECT>* current = nullptr);
    void ChangeDpi(UINT dpi, const RECT* suggested);

    CMemDCPerm m_backBuffer;
    UINT m_dpi = 96;
    // The template's controls and the client size at 96 DPI.
    std::vector<std::pair<HWND, RECT>> m_designRects;
    SIZE m_designClient = {};
};
