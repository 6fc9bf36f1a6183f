#include "ui/controls/CBaseWnd.h"

#include "platform/GdiHandles.h"

CBaseWnd::CBaseWnd(UINT templateId) : CDialogEx(templateId, nullptr) {}

LRESULT CBaseWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        // The paint covers every pixel; an erase first would only flicker.
        return TRUE;
    }
    return CDialogEx::WindowProc(message, wParam, lParam);
}

void CBaseWnd::OnPaint()
{
    Tavrin::Platform::PaintDc paint(m_hWnd);
    RECT client = GetClientRect();
    COLORREF background = ToColorRef(theSkin.GetColor(L"mainframe/bg"));
    if (!m_backBuffer.Rebuild(paint.Get(), client, background))
        return;
    Gdiplus::Graphics graphics(m_backBuffer.GetSafeHdc());
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
    graphics.SetCompositingQuality(Gdiplus::CompositingQualityHighQuality);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    DrawContent(graphics);
    graphics.Flush(Gdiplus::FlushIntentionSync);
    m_backBuffer.Present();
}
