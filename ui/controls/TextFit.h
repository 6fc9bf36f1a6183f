#pragma once
#include <string>

#include "ui/skin/Skin.h"

// Texts drawn into boxes of a fixed size. GDI+ as Wine has it draws no
// ellipsis for a trimmed text, and a box shorter than one line with whole
// lines only would show nothing, so the program fits its texts itself.

struct FittedText {
    std::wstring text; // what to draw: the whole text, or its beginning and "…"
    bool cut = false;  // the whole text does not fit the box
};

// The most of `text` that the box shows with `format` (wrapping unless it
// has StringFormatFlagsNoWrap): the whole text when it fits in the lines the
// box holds (at least one), else the longest beginning followed by an
// ellipsis that does.
FittedText FitText(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font& font,
                   const Gdiplus::RectF& box, const Gdiplus::StringFormat& format);

// The lines `text` takes with `format` when it wraps at `width`; 1 when
// GDI+ cannot tell.
int CountLines(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font& font,
               Gdiplus::REAL width, const Gdiplus::StringFormat& format);

// The box a text is laid out in: at least one line of the font high, so
// that a box shorter than a line still shows the top of its first line
// (the window's edge clips the rest).
Gdiplus::RectF AtLeastOneLine(Gdiplus::Graphics& graphics, const Gdiplus::Font& font, Gdiplus::RectF box);
