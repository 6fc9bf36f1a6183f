#include "ui/skin/Dpi.h"

#include <algorithm>

namespace Dpi {

namespace {

UINT Clamp(UINT dpi)
{
    if (dpi == 0)
        return kDesign;
    return std::min(std::max(dpi, kLowest), kHighest);
}

UINT LogicalPixelsOf(HWND window)
{
    HDC dc = ::GetDC(window);
    if (!dc)
        return kDesign;
    const int pixels = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(window, dc);
    return pixels > 0 ? static_cast<UINT>(pixels) : kDesign;
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// Windows 7 and 8 have no GetDpiForWindow, so it is looked up, once.
GetDpiForWindowFunction GetDpiForWindowOfSystem()
{
    static const GetDpiForWindowFunction function = [] {
        HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        FARPROC address = user32 ? ::GetProcAddress(user32, "GetDpiForWindow") : nullptr;
        return reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(address));
    }();
    return function;
}

} // namespace

UINT OfWindow(HWND window)
{
    if (window && ::IsWindow(window)) {
        if (GetDpiForWindowFunction function = GetDpiForWindowOfSystem())
            if (const UINT dpi = function(window))
                return Clamp(dpi);
        return Clamp(LogicalPixelsOf(window));
    }
    return OfSystem();
}

UINT OfSystem()
{
    // The system DPI is fixed for a process's whole life (a change of the
    // display settings reaches a running program as the windows' DPI).
    static const UINT system = Clamp(LogicalPixelsOf(nullptr));
    return system;
}

int Scale(int designPixels, UINT dpi)
{
    return ::MulDiv(designPixels, static_cast<int>(Clamp(dpi)), static_cast<int>(kDesign));
}

RECT Scale(const RECT& design, UINT dpi)
{
    return RECT{Scale(design.left, dpi), Scale(design.top, dpi), Scale(design.right, dpi),
                Scale(design.bottom, dpi)};
}

SIZE Scale(SIZE design, UINT dpi)
{
    return SIZE{Scale(static_cast<int>(design.cx), dpi), Scale(static_cast<int>(design.cy), dpi)};
}

int SystemMetric(int index, UINT dpi)
{
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(Clamp(dpi)), static_cast<int>(OfSystem()));
}

} // namespace Dpi
