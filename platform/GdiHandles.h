#pragma once
#include <windows.h>

#include <utility>

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

// GDI objects (bitmaps, brushes, pens, fonts, regions), deleted with DeleteObject.
template <typename T> using GdiObjectTraits = NullHandleTraits<T, ::DeleteObject>;
using UniqueBitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueResource<GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueResource<GdiObjectTraits<HPEN>>;
using UniqueFont = UniqueResource<GdiObjectTraits<HFONT>>;
using UniqueRegion = UniqueResource<GdiObjectTraits<HRGN>>;

// A device context made with CreateCompatibleDC or CreateDC, deleted with DeleteDC.
using UniqueCreatedDc = UniqueResource<NullHandleTraits<HDC, ::DeleteDC>>;

// A device context borrowed with GetDC / GetWindowDC and given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window, bool wholeWindow = false)
        : m_window(window), m_dc(wholeWindow ? ::GetWindowDC(window) : ::GetDC(window))
    {
    }
    ~WindowDc()
    {
        if (m_dc)
            ::ReleaseDC(m_window, m_dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// BeginPaint / EndPaint around one WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND window) : m_window(window) { m_dc = ::BeginPaint(window, &m_paint); }
    ~PaintDc() { ::EndPaint(m_window, &m_paint); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC Get() const { return m_dc; }
    const PAINTSTRUCT& Info() const { return m_paint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint = {};
    HDC m_dc = nullptr;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object)
        : m_dc(dc), m_previous(object ? ::SelectObject(dc, object) : nullptr)
    {
    }
    ~SelectedObject()
    {
        if (m_previous)
            ::SelectObject(m_dc, m_previous);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace Tavrin::Platform
