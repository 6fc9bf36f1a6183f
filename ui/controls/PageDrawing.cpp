#include "ui/controls/PageDrawing.h"

#include "ui/skin/Dpi.h"

#include <algorithm>

SIZE ImageSizeAt(Gdiplus::Image* image, UINT dpi)
{
    if (!image)
        return SIZE{};
    return Dpi::Scale(SIZE{static_cast<LONG>(image->GetWidth()), static_cast<LONG>(image->GetHeight())}, dpi);
}

void DrawImageAt(Gdiplus::Graphics& graphics, Gdiplus::Image* image, int x, int y, UINT dpi)
{
    if (!image)
        return;
    const SIZE size = ImageSizeAt(image, dpi);
    DrawImageInto(graphics, image, Gdiplus::Rect(x, y, static_cast<INT>(size.cx), static_cast<INT>(size.cy)));
}

void DrawImageInto(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const Gdiplus::Rect& area)
{
    if (!image)
        return;
    DrawImageInto(
        graphics, image, area,
        Gdiplus::Rect(0, 0, static_cast<INT>(image->GetWidth()), static_cast<INT>(image->GetHeight())));
}

void DrawImageInto(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const Gdiplus::Rect& area,
                   const Gdiplus::Rect& source)
{
    if (!image)
        return;
    const Gdiplus::InterpolationMode interpolation = graphics.GetInterpolationMode();
    const Gdiplus::PixelOffsetMode offset = graphics.GetPixelOffsetMode();
    const bool ownSize = area.Width == source.Width && area.Height == source.Height;
    graphics.SetInterpolationMode(ownSize ? Gdiplus::InterpolationModeNearestNeighbor
                                          : Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
    // Resampling near the edges reads past them: mirrored, the part's own
    // edge pixels are read there instead of what lies outside.
    Gdiplus::ImageAttributes edges;
    edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    graphics.DrawImage(image, area, source.X, source.Y, source.Width, source.Height, Gdiplus::UnitPixel,
                       &edges);
    graphics.SetPixelOffsetMode(offset);
    graphics.SetInterpolationMode(interpolation);
}

namespace {

// The colour of one pixel of the image, copied at its own size.
Gdiplus::Color PixelOf(Gdiplus::Image* image, int x, int y)
{
    Gdiplus::Bitmap probe(1, 1, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&probe);
        DrawImageInto(graphics, image, Gdiplus::Rect(0, 0, 1, 1), Gdiplus::Rect(x, y, 1, 1));
    }
    Gdiplus::Color color;
    probe.GetPixel(0, 0, &color);
    return color;
}

} // namespace

int DrawHeaderBand(Gdiplus::Graphics& graphics, Gdiplus::Image* header, int width, UINT dpi, int left,
                   int top)
{
    if (!header)
        return 0;
    const SIZE size = ImageSizeAt(header, dpi);
    const int shownWidth = static_cast<int>(size.cx);
    const int height = static_cast<int>(size.cy);
    const int imageWidth = static_cast<int>(header->GetWidth());
    const int imageHeight = static_cast<int>(header->GetHeight());
    const int plain = std::max(0, imageWidth - kHeaderDecorationWidth);
    // The band's colour under the whole width first: besides filling what
    // lies between the parts, it covers the edge columns a scaled image
    // leaves undrawn under Wine.
    Gdiplus::SolidBrush band(PixelOf(header, plain, 0));
    graphics.FillRectangle(&band, left, top, width, height);
    if (width <= shownWidth) {
        Gdiplus::Region outside;
        graphics.GetClip(&outside);
        graphics.SetClip(Gdiplus::Rect(left, top, width, height), Gdiplus::CombineModeIntersect);
        DrawImageAt(graphics, header, left + (width - shownWidth) / 2, top, dpi);
        graphics.SetClip(&outside);
        return height;
    }
    const int textsWidth = Dpi::Scale(plain, dpi);
    const int decorationWidth = shownWidth - textsWidth;
    DrawImageInto(graphics, header, Gdiplus::Rect(left, top, textsWidth, height),
                  Gdiplus::Rect(0, 0, plain, imageHeight));
    DrawImageInto(graphics, header,
                  Gdiplus::Rect(left + width - decorationWidth, top, decorationWidth, height),
                  Gdiplus::Rect(plain, 0, imageWidth - plain, imageHeight));
    return height;
}

void FillWhite(Gdiplus::Graphics& graphics, int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    Gdiplus::SolidBrush white(Gdiplus::Color(PageColors::kWhite));
    graphics.FillRectangle(&white, x, y, width, height);
}

int DrawHeaderAndWhitePanel(Gdiplus::Graphics& graphics, Gdiplus::Image* header, const RECT& area,
                            Gdiplus::ARGB background, UINT dpi, const WhitePanel& panel)
{
    graphics.Clear(Gdiplus::Color(background));
    const int width = static_cast<int>(area.right - area.left);
    const int left = static_cast<int>(area.left);
    const int areaTop = static_cast<int>(area.top);
    const int headerHeight = DrawHeaderBand(graphics, header, width, dpi, left, areaTop);
    const int top = areaTop + panel.top.value_or(headerHeight);
    FillWhite(graphics, left + panel.margin, top, width - 2 * panel.margin,
              static_cast<int>(area.bottom) - panel.margin - top);
    return headerHeight;
}
