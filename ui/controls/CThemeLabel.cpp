#include "ui/controls/CThemeLabel.h"

#include "ui/controls/TextFit.h"
#include "ui/skin/Dpi.h"

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
    if (m_cut)
        m_toolTip.UpdateTipText(m_text.c_str(), m_hWnd, 1);
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
    CTransparentChild::PreSubclassWindow();
    if (!IsBeingCreated())
        m_text = GetWindowText();
}

LRESULT CThemeLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE: {
        LRESULT result = CTransparentChild::WindowProc(message, wParam, lParam);
        Invalidate(TRUE);
        return result;
    }
    case WM_CREATE: {
        LRESULT result = CTransparentChild::WindowProc(message, wParam, lParam);
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
    case WM_NCHITTEST:
        // A static text lets the pointer through to its parent; a cut one
        // keeps it, for its tooltip.
        if (m_cut)
            return HTCLIENT;
        break;
    case WM_DESTROY:
        if (m_toolTip.GetSafeHwnd())
            m_toolTip.DestroyWindow();
        break;
    }
    return CTransparentChild::WindowProc(message, wParam, lParam);
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
        std::unique_ptr<Gdiplus::Font> font(CreateMessageFont(FontSpec::Regular(), Dpi::OfWindow(m_hWnd)));
        if (font && font->IsAvailable())
            m_font = std::move(font);
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

    if (!m_font || m_text.empty()) {
        m_shownText.clear();
        ShowWholeTextInToolTip(false);
        return;
    }
    // Whole lines only, but at least one, clipped by the label's edge: a
    // box a little shorter than a line of the user's font still shows its
    // text. A text longer than its box (fonts differ from system to system)
    // ends with an ellipsis instead of a cut line.
    Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsLineLimit);
    format.SetTrimming(Gdiplus::StringTrimmingNone);
    format.SetAlignment(m_alignment);
    format.SetLineAlignment(m_lineAlignment);
    area = AtLeastOneLine(graphics, *m_font, area);
    FittedText fitted{m_text, false};
    if (m_trimming != Gdiplus::StringTrimmingNone)
        fitted = FitText(graphics, m_text, *m_font, area, format);
    m_shownText = fitted.text;
    Gdiplus::SolidBrush brush{Gdiplus::Color(m_textColor)};
    graphics.DrawString(m_shownText.c_str(), static_cast<INT>(m_shownText.size()), m_font.get(), area,
                        &format, &brush);
    ShowWholeTextInToolTip(fitted.cut);
}

void CThemeLabel::ShowWholeTextInToolTip(bool cut)
{
    if (cut == m_cut || !m_hWnd)
        return;
    m_cut = cut;
    if (!cut) {
        if (m_toolTip.GetSafeHwnd())
            m_toolTip.DelTool(m_hWnd, 1);
        return;
    }
    if (!m_toolTip.GetSafeHwnd()) {
        if (!m_toolTip.Create(this))
            return;
        // Long explanations wrap in the tip instead of running off the screen.
        m_toolTip.SetMaxTipWidth(Dpi::Scale(m_hWnd, 400));
    }
    m_toolTip.AddTool(m_hWnd, m_text.c_str(), nullptr, 1, true);
}
