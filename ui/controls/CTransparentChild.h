#pragma once
#include <windows.h>

#include "framework/CWnd.h"

// A child control that draws its whole client area itself, on top of the
// part of its parent's back buffer under it when the parent is a
// CTransparentParent (straight onto the screen otherwise), so that what it
// leaves undrawn shows the parent. Nothing is erased first: that would only
// flicker.
class CTransparentChild : public CWnd {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Draws the client rectangle `client` onto `dc`, which already holds the
    // parent's background where the parent has one.
    virtual void Draw(HDC dc, const RECT& client) = 0;

private:
    void OnPaint();
};
