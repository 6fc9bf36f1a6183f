#pragma once
// Fixtures for tests of skinned windows: a known skin loaded into theSkin,
// and image files beside the test program for image buttons and headers.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Module.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/skin/Skin.h"

namespace Tavrin::Test {

// The colours of the test skin, as GDI colours for pixel checks.
namespace TestColors {
constexpr COLORREF kMainframeBg = RGB(0xE8, 0xF1, 0xFA);
constexpr COLORREF kBodyText = RGB(0x10, 0x10, 0x10);
constexpr COLORREF kLabelBorder = RGB(0xD0, 0x20, 0x20);
constexpr COLORREF kCheckText = RGB(0x20, 0x20, 0x20);
constexpr COLORREF kCheckDisabled = RGB(0x99, 0x99, 0x99);
constexpr COLORREF kRadioDisabled = RGB(0xAA, 0x88, 0x88);
constexpr COLORREF kGlyphBg = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kGlyphBorder = RGB(0x0A, 0x70, 0xC5);
constexpr COLORREF kCheckMark = RGB(0x00, 0x80, 0x00);
constexpr COLORREF kRadioDot = RGB(0x80, 0x00, 0x80);
} // namespace TestColors

// Loads a skin description with every colour key of the controls into
// theSkin for the object's lifetime, then forgets it.
class TestSkin {
public:
    TestSkin()
    {
        const char* description = R"(<?xml version="1.0" encoding="utf-8"?>
<ui>
  <colors>
    <mainframe><bg hex="#E8F1FA"/></mainframe>
    <client><body_text hex="#101010"/><client_bg hex="#FFFFFF"/></client>
    <general>
      <label><border_color hex="#D02020"/></label>
      <checkbox>
        <text hex="#202020"/><text_disabled hex="#999999"/>
        <check hex="#008000"/><border hex="#0A70C5"/><bg hex="#FFFFFF"/>
      </checkbox>
      <radio>
        <text_disabled hex="#AA8888"/>
        <check hex="#800080"/><border hex="#0A70C5"/><bg hex="#FFFFFF"/>
      </radio>
    </general>
  </colors>
  <fonts><client><normal size="10"/></client></fonts>
</ui>
)";
        m_path = m_folder.File(L"ui.xml");
        WriteFileBytes(m_path, description);
        m_loaded = theSkin.Load(m_path, ::GetModuleHandleW(nullptr));
    }
    ~TestSkin() { theSkin.Reset(); }
    TestSkin(const TestSkin&) = delete;
    TestSkin& operator=(const TestSkin&) = delete;
    bool Loaded() const { return m_loaded; }

private:
    TempFolder m_folder;
    std::wstring m_path;
    bool m_loaded = false;
};

// PNG files made for a test in a folder of their own beside the test
// program (image paths are relative to the program's folder), removed
// with the object.
class TestImages {
public:
    TestImages() : m_folderName(L"testimages_" + std::to_wstring(::GetCurrentProcessId()))
    {
        ::CreateDirectoryW(Full(L"").c_str(), nullptr);
    }
    ~TestImages()
    {
        for (const std::wstring& file : m_files)
            ::DeleteFileW(Full(file).c_str());
        ::RemoveDirectoryW(Full(L"").c_str());
    }
    TestImages(const TestImages&) = delete;
    TestImages& operator=(const TestImages&) = delete;

    // A filled rounded image with a caption; returns its path relative to
    // the program's folder, as image owners take it.
    std::wstring Make(const std::wstring& name, int width, int height, Gdiplus::ARGB fill,
                      const std::wstring& caption = L"")
    {
        Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
        {
            Gdiplus::Graphics graphics(&bitmap);
            graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
            graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            Gdiplus::SolidBrush brush{Gdiplus::Color(fill)};
            graphics.FillRectangle(&brush, 0, 0, width, height);
            if (!caption.empty()) {
                Gdiplus::FontFamily family(L"Tahoma");
                Gdiplus::Font font(&family, 11, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
                Gdiplus::SolidBrush white{Gdiplus::Color(0xFFFFFFFF)};
                Gdiplus::StringFormat format;
                format.SetAlignment(Gdiplus::StringAlignmentCenter);
                format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
                graphics.DrawString(caption.c_str(), -1, &font,
                                    Gdiplus::RectF(0, 0, static_cast<Gdiplus::REAL>(width),
                                                   static_cast<Gdiplus::REAL>(height)),
                                    &format, &white);
            }
        }
        const CLSID pngEncoder = {
            0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        bitmap.Save(Full(name).c_str(), &pngEncoder, nullptr);
        m_files.push_back(name);
        return m_folderName + L"/" + name;
    }

private:
    std::wstring Full(const std::wstring& name) const
    {
        return Platform::JoinPath(BinFolder(), m_folderName) + (name.empty() ? L"" : L"\\" + name);
    }

    std::wstring m_folderName;
    std::vector<std::wstring> m_files;
};

// A skinned dialog for hosting controls under test: created from an
// in-memory template, it fills its content with `contentColor` (nothing
// over the skin background when that is 0) and records the clicks that
// reach it.
class TestPage : public CBaseWnd {
public:
    TestPage() : CBaseWnd(0) {}
    Gdiplus::ARGB contentColor = 0;
    std::function<void(TestPage&)> onInit;
    // Every WM_COMMAND: (identifier, code, control handle).
    struct Command {
        int id;
        int code;
        LPARAM control;
    };
    std::vector<Command> commands;
    int paints = 0;

protected:
    void DrawContent(Gdiplus::Graphics& graphics) override
    {
        ++paints;
        if (contentColor) {
            Gdiplus::SolidBrush brush{Gdiplus::Color(contentColor)};
            graphics.FillRectangle(&brush, -1, -1, 10000, 10000);
        }
    }
    BOOL OnInitDialog() override
    {
        CBaseWnd::OnInitDialog();
        if (onInit)
            onInit(*this);
        return TRUE;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        commands.push_back({LOWORD(wParam), HIWORD(wParam), lParam});
        return TRUE;
    }
};

// The colour as GDI wants it, from an ARGB value.
inline COLORREF Gdi(Gdiplus::ARGB color)
{
    return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

} // namespace Tavrin::Test
