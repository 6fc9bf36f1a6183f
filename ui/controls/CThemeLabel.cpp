#include "ui/controls/CThemeLabel.h"

#include "platform/GdiHandles.h"
#include "ui/controls/CMemDC2.h"
#include "ui/controls/CTransparentParent.h"

CThemeLabel::CThemeLabel()
{
    m_textColor = theSkin.GetColor(L"client/body_text");
    m_borderColor = theSkin.GetColor(L"general/label/border_color");
    m_backgroundColor = theSkin.GetColor(L"client/client_bg");
}

CThemeLabel::~CThemeLabel()
{
    // The font is a GDI+ object: it must go before the window's last paint
    // could want it, and before GDI+ shuts down.
    m_font.reset();
}

void CThemeLabel::SetText(const std::wstring& text)
{
    m_text = text;
    if (m_hWnd)
        Invalidate();
}

void CThemeLabel::SetFont(Gdiplus::Font* font)
{
    m_font.reset(font);
    if (m_hWnd)
        Invalidate();
}

void CThemeLabel::PreSubclassWindow()
{
    CWnd::PreSubclassWindow();
    if (!IsBeingCreated())
        m_text = GetWindowText();
}

LRESULT CThemeLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SIZE: {
        LRESULT result = CWnd::WindowProc(message, wParam, lParam);
        Invalidate(TRUE);
        return result;
    }
    case WM_CREATE: {
        LRESULT result = CWnd::WindowProc(message, wParam, lParam);
        if (result == -1)
            return result;
        auto create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (create->lpszName && !IS_INTRESOURCE(create->lpszName))
            m_text = create->lpszName;
        return result;
    }
    case WM_SETTEXT:
        // Store the text without the static control's own immediate
        // painting, which would draw over the label.
        return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
    case WM_ENABLE:
        Invalidate(FALSE);
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CThemeLabel::OnPaint()
{
    Tavrin::Platform::PaintDc paint(m_hWnd);
    RECT client = GetClientRect();
    RECT inParent = GetRectInParent();
    auto* parent = dynamic_cast<CTransparentParent*>(GetParentWnd());
    if (!parent) {
        Draw(paint.Get(), client);
        return;
    }
    CMemDC2 buffer(paint.Get(), parent->GetBackBuffer().GetSafeHdc(), client, inParent.left, inParent.top);
    Draw(buffer.GetSafeHdc(), client);
}

void CThemeLabel::Draw(HDC dc, const RECT& client)
{
    Gdiplus::Graphics graphics(dc);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);

    int x = client.left;
    int y = client.top;
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    Gdiplus::RectF area(static_cast<Gdiplus::REAL>(x), static_cast<Gdiplus::REAL>(y),
                        static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height));

    if (!m_font) {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
            LOGFONTW font = metrics.lfMessageFont;
            font.lfWeight = FW_NORMAL;
            font.lfItalic = FALSE;
            font.lfStrikeOut = FALSE;
            m_font.reset(new Gdiplus::Font(dc, &font));
        }
    }

    if (m_borderWidth > 0) {
        int b = static_cast<int>(m_borderWidth);
        auto left = static_cast<Gdiplus::REAL>(x + b / 2);
        auto top = static_cast<Gdiplus::REAL>(y + b / 2);
        auto right = static_cast<Gdiplus::REAL>(x + width - b);
        auto bottom = static_cast<Gdiplus::REAL>(y + height - b);
        const Gdiplus::REAL corner = 5;
        Gdiplus::GraphicsPath outline;
        outline.AddArc(right - corner, top, corner, corner, 270, 90);
        outline.AddArc(right - corner, bottom - corner, corner, corner, 0, 90);
        outline.AddArc(left, bottom - corner, corner, corner, 90, 90);
        outline.AddArc(left, top, corner, corner, 180, 90);
        outline.AddLine(left + corner, top, right - 2, top);
        Gdiplus::Pen pen(Gdiplus::Color(m_borderColor), m_borderWidth);
        graphics.DrawPath(&pen, &outline);
        area.Inflate(-m_borderWidth, -m_borderWidth);
    }

    if (!m_font || m_text.empty())
        return;
    // Whole lines only: a text longer than its box (fonts differ from system
    // to system) ends with the trimming's ellipsis instead of a cut line.
    Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsLineLimit);
    format.SetTrimming(m_trimming);
    format.SetAlignment(m_alignment);
    format.SetLineAlignment(m_lineAlignment);
    Gdiplus::SolidBrush brush{Gdiplus::Color(m_textColor)};
    graphics.DrawString(m_text.c_str(), static_cast<INT>(m_text.size()), m_font.get(), area, &format, &brush);
}
