#pragma once
#include <windows.h>

// Every size in this program is designed for 96 DPI: the images, the pixel
// constants of the pages, the point sizes of the fonts. This is the one
// place that turns such design pixels into the device pixels of a window's
// DPI; windows and pages ask here instead of multiplying themselves.
namespace Dpi {

constexpr UINT kDesign = 96;
// Outside this range a DPI reported by the system is taken as its nearest
// end: nothing the program draws makes sense much smaller, and larger
// values would only make sizes overflow.
constexpr UINT kLowest = 48;
constexpr UINT kHighest = 960;

// The DPI the window is shown at: GetDpiForWindow where the system has it
// (Windows 10 1607 and later, and Wine), else the logical pixels of the
// window's device context; the screen's for no window.
UINT OfWindow(HWND window);
// The system DPI (the screen's logical pixels), which the system metrics
// and the message font are given in.
UINT OfSystem();
// Design pixels at `dpi`, rounded to the nearest pixel; negative sizes keep
// their sign.
int Scale(int designPixels, UINT dpi);
inline int Scale(HWND window, int designPixels)
{
    return Scale(designPixels, OfWindow(window));
}
// A design-sized rectangle or size at `dpi`.
RECT Scale(const RECT& design, UINT dpi);
SIZE Scale(SIZE design, UINT dpi);
// A system metric (GetSystemMetrics, given at the system DPI) at `dpi`.
int SystemMetric(int index, UINT dpi);

} // namespace Dpi
