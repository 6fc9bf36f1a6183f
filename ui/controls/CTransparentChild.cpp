#include "ui/controls/CTransparentChild.h"

#include "platform/GdiHandles.h"
#include "ui/controls/CMemDC2.h"
#include "ui/controls/CTransparentParent.h"

LRESULT CTransparentChild::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CTransparentChild::OnPaint()
{
    Tavrin::Platform::PaintDc paint(m_hWnd);
    const RECT client = GetClientRect();
    auto* parent = dynamic_cast<CTransparentParent*>(GetParentWnd());
    if (!parent) {
        Draw(paint.Get(), client);
        return;
    }
    const RECT inParent = GetRectInParent();
    CMemDC2 buffer(paint.Get(), parent->GetBackBuffer().GetSafeHdc(), client, inParent.left, inParent.top);
    Draw(buffer.GetSafeHdc(), client);
}
