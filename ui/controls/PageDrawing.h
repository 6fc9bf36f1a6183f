#pragma once
#include "ui/skin/Skin.h"

#include <optional>

// Drawing steps the skinned windows and pages share. Images are drawn for
// 96 DPI and shown at the window's DPI, smoothly scaled.

// The image's size at `dpi`; empty for no image.
SIZE ImageSizeAt(Gdiplus::Image* image, UINT dpi);
// The pages' fixed colours; they do not come from the skin.
namespace PageColors {
// The pages and the home view's section header bars.
constexpr Gdiplus::ARGB kBlue = 0xFF0A70C5;
// The results page is cleared a shade apart from the others.
constexpr Gdiplus::ARGB kResultsBlue = 0xFF0C6EC5;
constexpr Gdiplus::ARGB kPreUpgrade = 0xFF04234F;
constexpr Gdiplus::ARGB kWhite = 0xFFFFFFFF;
// Titles and texts on the white panels.
constexpr Gdiplus::ARGB kBlackText = 0xFF000000;
// The home view's note of what the record found to review.
constexpr Gdiplus::ARGB kWarningText = 0xFFFF0000;
// The compatibility page's links.
constexpr Gdiplus::ARGB kLinkBlue = 0xFF0000FF;
// The track of the restore-point note's moving bar.
constexpr Gdiplus::ARGB kNoteTrack = 0xFFE4EEF8;
} // namespace PageColors

// Draws `image` with its top-left corner at (x, y) in its size at `dpi`.
void DrawImageAt(Gdiplus::Graphics& graphics, Gdiplus::Image* image, int x, int y, UINT dpi);
// Draws the image, or the part `source` of it, into the rectangle: scaled
// smoothly, its edge pixels not blended with the outside. At its own size
// it is copied pixel for pixel (the same result without the cost of
// resampling). Leaves the graphics' settings as they were.
void DrawImageInto(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const Gdiplus::Rect& area);
void DrawImageInto(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const Gdiplus::Rect& area,
                   const Gdiplus::Rect& source);

// The header images share one layout: the title texts on the left, the
// decoration (the window panes) in their last columns, and one plain column
// of the band's colour where the two meet.
constexpr int kHeaderDecorationWidth = 303;

// Draws the header band `width` wide starting at `left`, with its top at
// `top`, the image at its size at `dpi`. The window is sized in dialog units,
// which follow the dialog font, so it may be wider than the image: the band
// is filled in the plain column's colour across the width, the texts keep
// the left edge and the decoration the right one. A narrower window shows
// the image centred. Returns the drawn height, 0 when there is no image
// (nothing is drawn then).
int DrawHeaderBand(Gdiplus::Graphics& graphics, Gdiplus::Image* header, int width, UINT dpi, int left = 0,
                   int top = 0);

// Fills a rectangle with opaque white (nothing for an empty rectangle).
void FillWhite(Gdiplus::Graphics& graphics, int x, int y, int width, int height);

// Where a page's white panel lies in its area.
struct WhitePanel {
    // Distance from the area's left, right and bottom edges, in pixels at
    // the window's DPI.
    int margin = 0;
    // Its top, from the area's top; the header's bottom when unset.
    std::optional<int> top;
};

// Clears the whole surface to `background`, then draws the header band
// across the top of `area` and the white panel. `area` is the page's content in
// client coordinates: the client area, or while the page scrolls a larger
// rectangle moved by the scroll position. Returns the header's height.
int DrawHeaderAndWhitePanel(Gdiplus::Graphics& graphics, Gdiplus::Image* header, const RECT& area,
                            Gdiplus::ARGB background, UINT dpi, const WhitePanel& panel = {});
