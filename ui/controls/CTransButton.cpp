#include "ui/controls/CTransButton.h"

#include <algorithm>
#include <memory>

#include "framework/CMFCVisualManager.h"
#include "platform/GdiHandles.h"
#include "ui/controls/CTransparentParent.h"
#include "ui/controls/TextFit.h"
#include "ui/skin/Dpi.h"

namespace {

Gdiplus::Color Opaque(Gdiplus::ARGB color)
{
    return Gdiplus::Color(0xFF000000 | (color & 0x00FFFFFF));
}

// The message font at a point size and DPI, for one paint.
std::unique_ptr<Gdiplus::Font> MessageFont(const FontSpec& spec, UINT dpi)
{
    std::unique_ptr<Gdiplus::Font> font(CreateMessageFont(spec, dpi));
    if (!font || !font->IsAvailable())
        return nullptr;
    return font;
}

// Space between the glyph and the text, in design pixels.
constexpr int kTextGap = 5;

} // namespace

Gdiplus::ARGB CTransButton::GetCurrentTextColor() const
{
    if (IsWindowEnabled())
        return m_textColor;
    return theSkin.GetColor(IsRadioButton() ? L"general/radio/text_disabled"
                                            : L"general/checkbox/text_disabled");
}

void CTransButton::OnFillBackground(HDC dc, const RECT& client)
{
    auto* parent = dynamic_cast<CTransparentParent*>(GetParentWnd());
    if (!parent)
        return;
    HDC background = parent->GetBackBuffer().GetSafeHdc();
    if (!background)
        return;
    RECT inParent = GetRectInParent();
    ::BitBlt(dc, client.left, client.top, client.right - client.left, client.bottom - client.top, background,
             inParent.left, inParent.top, SRCCOPY);
}

void CTransButton::OnDrawBorder(HDC, RECT&, UINT) {}

void CTransButton::OnDraw(HDC dc, const RECT& rect, UINT state)
{
    if (IsPushButton()) {
        CMFCButton::OnDraw(dc, rect, state);
        return;
    }
    std::wstring text = GetWindowText();
    const UINT dpi = Dpi::OfWindow(m_hWnd);
    int cx = Dpi::SystemMetric(SM_CXMENUCHECK, dpi);
    int cy = Dpi::SystemMetric(SM_CYMENUCHECK, dpi);
    RECT glyph;
    glyph.left = rect.left;
    glyph.right = glyph.left + cx;
    glyph.top = rect.top + (rect.bottom - rect.top) / 2 - cy / 2 - 1;
    glyph.bottom = glyph.top + cy;

    bool highlighted = (state & ODS_HOTLIGHT) != 0;
    bool enabled = (state & ODS_DISABLED) == 0;
    bool pushed = (state & ODS_SELECTED) != 0;
    CMFCVisualManager* manager = CMFCVisualManager::GetInstance();
    bool themed =
        IsCheckBox() ? manager->DrawCheckBox(m_hWnd, dc, glyph, highlighted, GetCheckState(), enabled, pushed)
                     : manager->DrawRadioButton(m_hWnd, dc, glyph, highlighted,
                                                GetCheckState() == BST_CHECKED, enabled, pushed);
    if (!themed)
        DrawSkinGlyph(dc, glyph);

    // The keyboard focus cue, around the text, only while the window's UI
    // state shows focus cues (after the keyboard moved the focus).
    const bool focusCue = (state & ODS_FOCUS) && !(state & ODS_NOFOCUSRECT);
    std::unique_ptr<Gdiplus::Font> font = MessageFont(FontSpec::Regular(m_fontSize).Bold(m_bold), dpi);
    if (!font || text.empty()) {
        if (focusCue)
            ::DrawFocusRect(dc, &glyph);
        return;
    }
    Gdiplus::Graphics graphics(dc);
    auto x = static_cast<Gdiplus::REAL>(rect.left + cx + Dpi::Scale(kTextGap, dpi));
    Gdiplus::RectF area(x, static_cast<Gdiplus::REAL>(rect.top), static_cast<Gdiplus::REAL>(rect.right) - x,
                        static_cast<Gdiplus::REAL>(rect.bottom - rect.top));
    // A box's label is one line. Where the system's font measures wider
    // than the template allowed for, a layout as wide as the button would
    // wrap it (half a second line in a box one line high) or drop its last
    // letters without a sign: it ends with an ellipsis at the button's edge.
    Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsNoWrap | Gdiplus::StringFormatFlagsNoClip);
    format.SetTrimming(Gdiplus::StringTrimmingNone);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    const FittedText fitted = FitText(graphics, text, *font, area, format);
    if (fitted.cut && !m_textCut)
        SetTooltip(text.c_str());
    m_textCut = m_textCut || fitted.cut;
    area.Width = std::max(area.Width, 0.0f);
    Gdiplus::SolidBrush brush{Gdiplus::Color(GetCurrentTextColor())};
    graphics.DrawString(fitted.text.c_str(), static_cast<INT>(fitted.text.size()), font.get(), area, &format,
                        &brush);
    if (focusCue) {
        Gdiplus::RectF bounds;
        graphics.MeasureString(fitted.text.c_str(), static_cast<INT>(fitted.text.size()), font.get(), area,
                               &format, &bounds);
        graphics.Flush(Gdiplus::FlushIntentionSync);
        // Centred on the line as the text is (not every GDI+ measures
        // with the line alignment).
        const Gdiplus::REAL top = area.Y + (area.Height - bounds.Height) / 2;
        RECT cue = {static_cast<LONG>(area.X) - 1, static_cast<LONG>(top),
                    static_cast<LONG>(area.X + bounds.Width) + 1, static_cast<LONG>(top + bounds.Height)};
        RECT inside = {};
        ::IntersectRect(&inside, &cue, &rect);
        ::DrawFocusRect(dc, &inside);
    }
}

void CTransButton::DrawSkinGlyph(HDC dc, const RECT& glyph) const
{
    Gdiplus::Graphics graphics(dc);
    if (IsCheckBox()) {
        Gdiplus::SolidBrush fill(Opaque(theSkin.GetColor(L"general/checkbox/bg")));
        Gdiplus::Pen frame(Opaque(theSkin.GetColor(L"general/checkbox/border")), 1.0f);
        Gdiplus::Color mark = Opaque(theSkin.GetColor(L"general/checkbox/check"));
        auto left = static_cast<Gdiplus::REAL>(glyph.left + 1);
        auto top = static_cast<Gdiplus::REAL>(glyph.top + 1);
        auto w = static_cast<Gdiplus::REAL>(glyph.right - glyph.left - 2);
        auto h = static_cast<Gdiplus::REAL>(glyph.bottom - glyph.top - 2);
        graphics.FillRectangle(&fill, left, top, w, h);
        graphics.DrawRectangle(&frame, left, top, w, h);
        if (GetCheckState() == BST_INDETERMINATE) {
            Gdiplus::SolidBrush square(mark);
            graphics.FillRectangle(&square, left + 3, top + 3, w - 6, h - 6);
        } else if (GetCheckState() == BST_CHECKED) {
            graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            Gdiplus::Pen pen(mark, 1.8f);
            Gdiplus::PointF tick[] = {{left + 0.15f * w, top + 0.45f * h},
                                      {left + 0.35f * w, top + 0.75f * h},
                                      {left + 0.85f * w, top + 0.25f * h}};
            graphics.DrawLines(&pen, tick, 3);
        }
        return;
    }
    Gdiplus::SolidBrush fill(Opaque(theSkin.GetColor(L"general/radio/bg")));
    Gdiplus::Pen ring(Opaque(theSkin.GetColor(L"general/radio/border")), 1.0f);
    auto x = static_cast<Gdiplus::REAL>(glyph.left);
    auto y = static_cast<Gdiplus::REAL>(glyph.top);
    auto w = static_cast<Gdiplus::REAL>(glyph.right - glyph.left);
    auto h = static_cast<Gdiplus::REAL>(glyph.bottom - glyph.top);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.FillEllipse(&fill, x, y, w, h);
    graphics.DrawEllipse(&ring, x, y, w, h);
    if (GetCheckState() == BST_CHECKED) {
        Gdiplus::SolidBrush dot(Opaque(theSkin.GetColor(L"general/radio/check")));
        graphics.FillEllipse(&dot, x + 3, y + 3, w - 6, h - 6);
    }
}
