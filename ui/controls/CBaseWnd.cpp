#include "ui/controls/CBaseWnd.h"

#include <algorithm>
#include <cstdlib>

#include "platform/GdiHandles.h"
#include "ui/skin/Dpi.h"

CBaseWnd::CBaseWnd(UINT templateId, CWnd* parent) : CDialogEx(templateId, parent) {}

namespace {

// Dialog base units as the dialog manager measures them for a font: the
// average width of the alphabet and the cell height.
SIZE BaseUnitsOf(HDC dc, HFONT font)
{
    const Tavrin::Platform::SelectedObject selected(dc, font);
    static const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE extent = {};
    ::GetTextExtentPoint32W(dc, kAlphabet, 52, &extent);
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    return SIZE{(extent.cx / 26 + 1) / 2, metrics.tmHeight};
}

// Pixels per 4 horizontal and 8 vertical dialog units, as the template's
// font would give them at 96 DPI; zero when the dialog has no font.
SIZE DesignBaseUnits(HWND dialog, UINT dpi)
{
    auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW logFont = {};
    if (!font || !::GetObjectW(font, sizeof(logFont), &logFont) || logFont.lfHeight == 0)
        return SIZE{};
    // The template gives whole points; the font's height at this DPI has them.
    const int points = ::MulDiv(std::abs(static_cast<int>(logFont.lfHeight)), 72, static_cast<int>(dpi));
    logFont.lfHeight = -::MulDiv(points, static_cast<int>(Dpi::kDesign), 72);
    Tavrin::Platform::UniqueFont designFont(::CreateFontIndirectW(&logFont));
    Tavrin::Platform::WindowDc screen(nullptr);
    if (!designFont.Get() || !screen.Get())
        return SIZE{};
    return BaseUnitsOf(screen.Get(), designFont.Get());
}

// Windows 10 1703 and later re-lay a per-monitor dialog from its template
// when its DPI changes, undoing the design layout; the window does that
// itself. Earlier systems have no such function and do nothing.
void KeepOwnLayoutOnDpiChange(HWND dialog)
{
    using Function = BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    FARPROC address = user32 ? ::GetProcAddress(user32, "SetDialogDpiChangeBehavior") : nullptr;
    if (auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(address)))
        function(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
}

} // namespace

int CBaseWnd::Scaled(int designPixels) const
{
    return Dpi::Scale(designPixels, m_dpi);
}

BOOL CBaseWnd::OnInitDialog()
{
    const BOOL result = CDialogEx::OnInitDialog();
    m_dpi = Dpi::OfWindow(m_hWnd);
    KeepOwnLayoutOnDpiChange(m_hWnd);
    const std::vector<RECT> placed = RecordDesignLayout();
    ApplyDesignLayout(true, &placed);
    return result;
}

// The template is in dialog units, which follow the font's rounded metrics
// rather than the DPI (at 120 DPI a unit is 7/6 of its 96-DPI width, not
// 5/4), while images and pixel sizes follow the DPI. Taking the template's
// layout back to its 96-DPI pixels and scaling those keeps every part of
// the window in the proportions of the design.
std::vector<RECT> CBaseWnd::RecordDesignLayout()
{
    m_designRects.clear();
    std::vector<RECT> placed;
    RECT units = {0, 0, 4, 8};
    if (!::MapDialogRect(m_hWnd, &units) || units.right <= 0 || units.bottom <= 0)
        return placed;
    const SIZE design = DesignBaseUnits(m_hWnd, m_dpi);
    if (design.cx <= 0 || design.cy <= 0)
        return placed;
    auto toDesign = [&](int value, bool horizontal) {
        return horizontal ? ::MulDiv(value, design.cx, units.right)
                          : ::MulDiv(value, design.cy, units.bottom);
    };
    const RECT client = GetClientRect();
    m_designClient = SIZE{toDesign(client.right, true), toDesign(client.bottom, false)};
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = {};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        m_designRects.emplace_back(child, RECT{toDesign(rect.left, true), toDesign(rect.top, false),
                                               toDesign(rect.right, true), toDesign(rect.bottom, false)});
        placed.push_back(rect);
    }
    return placed;
}

void CBaseWnd::ApplyDesignLayout(bool sizeWindow, const std::vector<RECT>* current)
{
    if (m_designRects.empty() && m_designClient.cx == 0)
        return;
    for (size_t i = 0; i < m_designRects.size(); ++i) {
        const auto& [child, design] = m_designRects[i];
        const RECT rect = Dpi::Scale(design, m_dpi);
        // Moving a control costs its window messages even when nothing
        // changes; at the design's own scale most are already in place.
        if (current && i < current->size() && ::EqualRect(&(*current)[i], &rect))
            continue;
        if (!::IsWindow(child) || ::GetParent(child) != m_hWnd)
            continue;
        ::SetWindowPos(child, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!sizeWindow)
        return;
    const SIZE client = Dpi::Scale(m_designClient, m_dpi);
    const RECT now = GetClientRect();
    if (client.cx == now.right && client.cy == now.bottom)
        return;
    RECT window = {};
    ::GetWindowRect(m_hWnd, &window);
    SetWindowPos(nullptr, 0, 0, window.right - window.left + client.cx - now.right,
                 window.bottom - window.top + client.cy - now.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBaseWnd::ChangeDpi(UINT dpi, const RECT* suggested)
{
    m_dpi = dpi ? std::min(std::max(dpi, Dpi::kLowest), Dpi::kHighest) : Dpi::OfWindow(m_hWnd);
    // The system's suggestion keeps the window under the pointer and at the
    // new monitor's scale; the controls follow the design, not the system's
    // rescaling of the template.
    if (suggested)
        SetWindowPos(nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyDesignLayout(false);
    OnDpiChanged();
    // Child pages are windows of their own with their own layout.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (auto* page = dynamic_cast<CBaseWnd*>(CWnd::FromHandlePermanent(child)))
            page->ChangeDpi(m_dpi, nullptr);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT CBaseWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        // The paint covers every pixel; an erase first would only flicker.
        return TRUE;
    case WM_DPICHANGED:
        ChangeDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    return CDialogEx::WindowProc(message, wParam, lParam);
}

void CBaseWnd::OnPaint()
{
    Tavrin::Platform::PaintDc paint(m_hWnd);
    RECT client = GetClientRect();
    COLORREF background = ToColorRef(theSkin.GetColor(L"mainframe/bg"));
    if (!m_backBuffer.Rebuild(paint.Get(), client, background))
        return;
    Gdiplus::Graphics graphics(m_backBuffer.GetSafeHdc());
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
    graphics.SetCompositingQuality(Gdiplus::CompositingQualityHighQuality);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    DrawContent(graphics);
    graphics.Flush(Gdiplus::FlushIntentionSync);
    m_backBuffer.Present();
}
