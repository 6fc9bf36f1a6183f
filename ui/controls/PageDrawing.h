#pragma once
#include "ui/skin/Skin.h"

// Drawing steps the skinned windows and pages share. Images are drawn for
// 96 DPI and shown at the window's DPI, smoothly scaled.

// The image's size at `dpi`; empty for no image.
SIZE ImageSizeAt(Gdiplus::Image* image, UINT dpi);
// Draws `image` with its top-left corner at (x, y) in its size at `dpi`.
void DrawImageAt(Gdiplus::Graphics& graphics, Gdiplus::Image* image, int x, int y, UINT dpi);

// Draws `header` at its size at `dpi`, horizontally centred across `width`
// starting at `left`, with its top at `top`. Returns the drawn height, 0
// when there is no image (nothing is drawn then).
int DrawCentredHeader(Gdiplus::Graphics& graphics, Gdiplus::Image* header, int width, UINT dpi, int left = 0,
                      int top = 0);

// Fills a rectangle with opaque white (nothing for an empty rectangle).
void FillWhite(Gdiplus::Graphics& graphics, int x, int y, int width, int height);

// The whole client area: `background`, the header centred at the top and a
// white panel below it. Returns the header's height.
int DrawHeaderAndWhitePanel(Gdiplus::Graphics& graphics, Gdiplus::Image* header, const RECT& client,
                            Gdiplus::ARGB background, UINT dpi);
