#include "ui/controls/PageDrawing.h"

int DrawCentredHeader(Gdiplus::Graphics& graphics, Gdiplus::Image* header, int width, int left, int top)
{
    if (!header)
        return 0;
    const int imageWidth = static_cast<int>(header->GetWidth());
    const int imageHeight = static_cast<int>(header->GetHeight());
    graphics.DrawImage(header, left + (width - imageWidth) / 2, top, imageWidth, imageHeight);
    return imageHeight;
}

void FillWhite(Gdiplus::Graphics& graphics, int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFF));
    graphics.FillRectangle(&white, x, y, width, height);
}

int DrawHeaderAndWhitePanel(Gdiplus::Graphics& graphics, Gdiplus::Image* header, const RECT& client,
                            Gdiplus::ARGB background)
{
    graphics.Clear(Gdiplus::Color(background));
    const int width = client.right - client.left;
    const int headerHeight = DrawCentredHeader(graphics, header, width, client.left, client.top);
    FillWhite(graphics, client.left, client.top + headerHeight, width,
              client.bottom - client.top - headerHeight);
    return headerHeight;
}
