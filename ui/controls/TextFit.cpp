#include "ui/controls/TextFit.h"

#include <cmath>

namespace {

constexpr wchar_t kEllipsis[] = L"\u2026";

class Measurer {
public:
    Measurer(Gdiplus::Graphics& graphics, const Gdiplus::Font& font, const Gdiplus::RectF& box,
             const Gdiplus::StringFormat& format)
        : graphics_(graphics), font_(font), box_(box), format_(format.Clone())
    {
        const Gdiplus::REAL lineHeight = font.GetHeight(&graphics);
        noWrap_ = (format.GetFormatFlags() & Gdiplus::StringFormatFlagsNoWrap) != 0;
        lines_ = lineHeight > 0 ? static_cast<int>(std::floor((box.Height + 0.5f) / lineHeight)) : 1;
        if (lines_ < 1 || noWrap_)
            lines_ = 1;
        if (format_)
            format_->SetFormatFlags(format.GetFormatFlags() & ~Gdiplus::StringFormatFlagsLineLimit);
    }
    ~Measurer() { delete format_; }
    Measurer(const Measurer&) = delete;
    Measurer& operator=(const Measurer&) = delete;

    // The text fits the box's width and its whole lines.
    bool Fits(const std::wstring& text) const
    {
        if (!format_)
            return true;
        // Measured without a height limit, so that the count of lines tells
        // how many the text needs.
        const Gdiplus::RectF layout(0, 0, noWrap_ ? 1.0e6f : box_.Width, 1.0e6f);
        Gdiplus::RectF bounds;
        INT fitted = 0;
        INT lines = 0;
        if (graphics_.MeasureString(text.c_str(), static_cast<INT>(text.size()), &font_, layout, format_,
                                    &bounds, &fitted, &lines) != Gdiplus::Ok)
            return true;
        return lines <= lines_ && bounds.Width <= box_.Width + 0.5f;
    }

private:
    Gdiplus::Graphics& graphics_;
    const Gdiplus::Font& font_;
    Gdiplus::RectF box_;
    Gdiplus::StringFormat* format_;
    bool noWrap_ = false;
    int lines_ = 1;
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

Gdiplus::RectF AtLeastOneLine(Gdiplus::Graphics& graphics, const Gdiplus::Font& font, Gdiplus::RectF box)
{
    const Gdiplus::REAL lineHeight = font.GetHeight(&graphics);
    if (box.Height < lineHeight)
        box.Height = std::ceil(lineHeight);
    return box;
}
