#pragma once
#include "framework/CDialogEx.h"
#include "ui/controls/CMemDCPerm.h"
#include "ui/controls/CTransparentParent.h"
#include "ui/skin/Skin.h"

// The skinned dialog every window and page of the program derives from.
// It paints its whole client area itself: the skin's "mainframe/bg" colour,
// then the page's DrawContent on top, composed in a back buffer that is
// shown in one copy and kept for the child controls' transparency.
class CBaseWnd : public CDialogEx, public CTransparentParent {
public:
    explicit CBaseWnd(UINT templateId);

    CDC& GetBackBuffer() override { return m_backBuffer; }

protected:
    // Draws the page's content onto the back buffer, which already holds
    // the skin background.
    virtual void DrawContent(Gdiplus::Graphics& graphics) = 0;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();

    CMemDCPerm m_backBuffer;
};
