#pragma once
#include "ui/skin/Skin.h"

// Drawing steps the skinned windows and pages share.

// Draws `header` at its natural size, horizontally centred across `width`
// starting at `left`, with its top at `top`. Returns the image's height, 0
// when there is no image (nothing is drawn then).
int DrawCentredHeader(Gdiplus::Graphics& graphics, Gdiplus::Image* header, int width, int left = 0,
                      int top = 0);

// Fills a rectangle with opaque white (nothing for an empty rectangle).
void FillWhite(Gdiplus::Graphics& graphics, int x, int y, int width, int height);

// The whole client area: `background`, the header centred at the top and a
// white panel below it. Returns the header's height.
int DrawHeaderAndWhitePanel(Gdiplus::Graphics& graphics, Gdiplus::Image* header, const RECT& client,
                            Gdiplus::ARGB background);
