#include "ui/controls/PageDrawing.h"

#include "ui/skin/Dpi.h"

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
    const Gdiplus::InterpolationMode interpolation = graphics.GetInterpolationMode();
    const Gdiplus::PixelOffsetMode offset = graphics.GetPixelOffsetMode();
    const bool ownSize = static_cast<UINT>(area.Width) == image->GetWidth() &&
                         static_cast<UINT>(area.Height) == image->GetHeight();
    graphics.SetInterpolationMode(ownSize ? Gdiplus::InterpolationModeNearestNeighbor
                                          : Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
    // Resampling near the edges reads past them: mirrored, the image's own
    // edge pixels are read there instead of what lies outside.
    Gdiplus::ImageAttributes edges;
    edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    graphics.DrawImage(image, area, 0, 0, static_cast<INT>(image->GetWidth()),
                       static_cast<INT>(image->GetHeight()), Gdiplus::UnitPixel, &edges);
    graphics.SetPixelOffsetMode(offset);
    graphics.SetInterpolationMode(interpolation);
}

int DrawCentredHeader(Gdiplus::Graphics& graphics, Gdiplus::Image* header, int width, UINT dpi, int left,
                      int top)
{
    if (!header)
        return 0;
    const SIZE size = ImageSizeAt(header, dpi);
    DrawImageAt(graphics, header, left + (width - static_cast<int>(size.cx)) / 2, top, dpi);
    return static_cast<int>(size.cy);
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
    const int headerHeight = DrawCentredHeader(graphics, header, width, dpi, left, areaTop);
    const int top = areaTop + panel.top.value_or(headerHeight);
    FillWhite(graphics, left + panel.margin, top, width - 2 * panel.margin,
              static_cast<int>(area.bottom) - panel.margin - top);
    return headerHeight;
}
