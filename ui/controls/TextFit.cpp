#include "ui/controls/TextFit.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr wchar_t kEllipsis[] = L"\u2026";

class Measurer {
public:
    Measurer(Gdiplus::Graphics& graphics, const Gdiplus::Font& font, const Gdiplus::RectF& box,
             const Gdiplus::StringFormat& format)
        : m_graphics(graphics), m_font(font), m_box(box), m_format(format.Clone())
    {
        const Gdiplus::REAL lineHeight = font.GetHeight(&graphics);
        m_noWrap = (format.GetFormatFlags() & Gdiplus::StringFormatFlagsNoWrap) != 0;
        m_lines = lineHeight > 0 ? static_cast<int>(std::floor((box.Height + 0.5f) / lineHeight)) : 1;
        if (m_lines < 1 || m_noWrap)
            m_lines = 1;
        if (m_format)
            m_format->SetFormatFlags(format.GetFormatFlags() & ~Gdiplus::StringFormatFlagsLineLimit);
    }
    ~Measurer() { delete m_format; }
    Measurer(const Measurer&) = delete;
    Measurer& operator=(const Measurer&) = delete;

    // The text fits the box's width and its whole lines.
    bool Fits(const std::wstring& text) const
    {
        if (!m_format)
            return true;
        // Measured without a height limit, so that the count of lines tells
        // how many the text needs.
        const Gdiplus::RectF layout(0, 0, m_noWrap ? 1.0e6f : m_box.Width, 1.0e6f);
        Gdiplus::RectF bounds;
        INT fitted = 0;
        INT lines = 0;
        if (m_graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), &m_font, layout, m_format,
                                     &bounds, &fitted, &lines) != Gdiplus::Ok)
            return true;
        return lines <= m_lines && bounds.Width <= m_box.Width + 0.5f;
    }

private:
    Gdiplus::Graphics& m_graphics;
    const Gdiplus::Font& m_font;
    Gdiplus::RectF m_box;
    Gdiplus::StringFormat* m_format;
    bool m_noWrap = false;
    int m_lines = 1;
};

std::wstring WithEllipsis(const std::wstring& text, size_t length)
{
    std::wstring start = text.substr(0, length);
    const size_t end = start.find_last_not_of(L" \t\r\n");
    start.erase(end == std::wstring::npos ? 0 : end + 1);
    return start + kEllipsis;
}

} // namespace

FittedText FitText(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font& font,
                   const Gdiplus::RectF& box, const Gdiplus::StringFormat& format)
{
    const Measurer measurer(graphics, font, box, format);
    if (text.empty() || measurer.Fits(text))
        return FittedText{text, false};
    // The longest beginning that fits with its ellipsis; a box too small for
    // even one letter shows the ellipsis alone.
    size_t low = 0;
    size_t high = text.size() - 1;
    while (low < high) {
        const size_t middle = (low + high + 1) / 2;
        if (measurer.Fits(WithEllipsis(text, middle)))
            low = middle;
        else
            high = middle - 1;
    }
    return FittedText{WithEllipsis(text, low), true};
}

int CountLines(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font& font,
               Gdiplus::REAL width, const Gdiplus::StringFormat& format)
{
    const Gdiplus::RectF layout(0, 0, width, 1.0e6f);
    Gdiplus::RectF bounds;
    INT fitted = 0;
    INT lines = 0;
    if (text.empty() || graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), &font, layout,
                                               &format, &bounds, &fitted, &lines) != Gdiplus::Ok)
        return 1;
    return std::max(1, static_cast<int>(lines));
}

Gdiplus::RectF AtLeastOneLine(Gdiplus::Graphics& graphics, const Gdiplus::Font& font, Gdiplus::RectF box)
{
    const Gdiplus::REAL lineHeight = font.GetHeight(&graphics);
    if (box.Height < lineHeight)
        box.Height = std::ceil(lineHeight);
    return box;
}
