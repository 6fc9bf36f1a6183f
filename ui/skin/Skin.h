#pragma once
#include <windows.h>
// GDI+ headers need min/max, which NOMINMAX hides.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

#include <map>
#include <memory>
#include <string>

#include <pugixml.hpp>

// Colours and fonts of the skin description "ui.xml", looked up by skin key
// ("general/checkbox/text"). Owns GDI+ for the whole process.
class CSkin {
public:
    CSkin();
    virtual ~CSkin();
    CSkin(const CSkin&) = delete;
    CSkin& operator=(const CSkin&) = delete;

    // Parses the description at a full path; false when it cannot be read.
    bool Load(const std::wstring& path, HINSTANCE instance);
    // Forgets the description, the caches and the module instance.
    void Reset();

    bool IsLoaded() const { return m_loaded; }
    HINSTANCE Instance() const { return m_instance; }

    // ARGB; opaque black for a missing key, 0 before a successful load.
    Gdiplus::ARGB GetColor(const std::wstring& key, BOOL* found = nullptr);
    // Owned by the skin; null for a missing key or before a load. Sized for
    // `dpi`, the system DPI when 0.
    Gdiplus::Font* GetFont(const std::wstring& key, BOOL* found = nullptr, UINT dpi = 0);

private:
    HINSTANCE m_instance = nullptr;
    bool m_loaded = false;
    pugi::xml_document m_document;
    std::map<std::wstring, Gdiplus::ARGB> m_colors;
    std::map<std::wstring, std::unique_ptr<Gdiplus::Font>> m_fonts;
    Gdiplus::GdiplusStartupInput m_gdiplusInput;
    ULONG_PTR m_gdiplusToken = 0;
};

extern CSkin theSkin;

constexpr int kLargestPoints = 144;

// How a font departs from the system's message font: its size in points
// (0 or below keeps the system size, sizes above kLargestPoints are taken
// as that) and its style. Written as FontSpec::Regular(14).Bold().
struct FontSpec {
    static constexpr int kSystemSize = -1;

    int points = kSystemSize;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    static FontSpec Regular(int points = kSystemSize)
    {
        FontSpec spec;
        spec.points = points;
        return spec;
    }
    FontSpec Bold(bool on = true) const { return With(&FontSpec::bold, on); }
    FontSpec Italic(bool on = true) const { return With(&FontSpec::italic, on); }
    FontSpec Underlined(bool on = true) const { return With(&FontSpec::underline, on); }

private:
    FontSpec With(bool FontSpec::*style, bool on) const
    {
        FontSpec spec = *this;
        spec.*style = on;
        return spec;
    }
};

// A font made from the system's message font as `spec` says, sized for
// `dpi` (the system DPI when 0). Owned by the caller.
Gdiplus::Font* CreateMessageFont(const FontSpec& spec, UINT dpi = 0);
// An image from a path relative to the folder of the module's file; null
// when it cannot be loaded. Owned by the caller.
Gdiplus::Image* LoadImageFile(HINSTANCE instance, const std::wstring& relativePath);
// ARGB to a GDI colour; alpha is dropped.
COLORREF ToColorRef(Gdiplus::ARGB color);
