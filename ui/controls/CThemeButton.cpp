#include "ui/controls/CThemeButton.h"

#include "framework/CWinApp.h"
#include "platform/GdiHandles.h"
#include "ui/controls/CMemDC2.h"
#include "ui/controls/CTransparentParent.h"
#include "ui/controls/PageDrawing.h"
#include "ui/skin/Dpi.h"

namespace {

std::unique_ptr<Gdiplus::Image> LoadOptionalImage(const std::wstring& path)
{
    if (path.empty())
        return nullptr;
    return std::unique_ptr<Gdiplus::Image>(LoadImageFile(AfxGetInstanceHandle(), path));
}

} // namespace

CThemeButton::~CThemeButton()
{
    if (m_tracking && ::GetCapture() == m_hWnd)
        ::ReleaseCapture();
}

void CThemeButton::SetImages(const std::wstring& normal, const std::wstring& hover,
                             const std::wstring& pressed, const std::wstring& disabled)
{
    m_normal = LoadOptionalImage(normal);
    m_hover.SetPath(hover);
    m_pressed.SetPath(pressed);
    m_disabled.SetPath(disabled);
    if (m_hWnd)
        Invalidate();
}

SIZE CThemeButton::GetImageSize() const
{
    if (!m_normal)
        return SIZE{};
    // The images are drawn for 96 DPI.
    return Dpi::Scale(SIZE{static_cast<LONG>(m_normal->GetWidth()), static_cast<LONG>(m_normal->GetHeight())},
                      Dpi::OfWindow(m_hWnd));
}

void CThemeButton::SizeToImage()
{
    if (!m_hWnd || !m_normal)
        return;
    const SIZE size = GetImageSize();
    SetWindowPos(nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CThemeButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return FALSE;
    case WM_MOUSEWHEEL:
        return CWnd::WindowProc(message, wParam, lParam);
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        break; // then the framework button's own hover processing
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown();
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp();
        return 0;
    case BM_CLICK:
        // What accessibility tools, UI automation and the keyboard's default
        // action send: the click a press and release over the button make,
        // without the pointer, so the hover tracking stays the mouse's.
        if (IsWindowEnabled())
            PostClick();
        return 0;
    case WM_CAPTURECHANGED:
        // Someone else took the mouse (a message box, a drag): without the
        // capture the button would never hear the pointer leave.
        if (m_tracking && reinterpret_cast<HWND>(lParam) != m_hWnd)
            StopTracking();
        break;
    case WM_CREATE: {
        LRESULT result = CMFCButton::WindowProc(message, wParam, lParam);
        if (result != -1 && m_normal) {
            const SIZE size = GetImageSize();
            SetWindowPos(nullptr, -1, -1, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return result;
    }
    }
    return CMFCButton::WindowProc(message, wParam, lParam);
}

void CThemeButton::OnMouseMove(LPARAM point)
{
    POINT pt = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    RECT client = GetClientRect();
    if (::PtInRect(&client, pt) && IsWindowVisible()) {
        if (m_state == Normal && !m_tracking) {
            m_state = Hover;
            ::SetCapture(m_hWnd);
            m_tracking = true;
            Invalidate();
        }
    } else if (m_tracking) {
        StopTracking();
    }
}

void CThemeButton::StopTracking()
{
    m_state = Normal;
    m_tracking = false;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    Invalidate();
}

void CThemeButton::OnLButtonDown()
{
    if (!m_tracking)
        return;
    m_state = Pressed;
    Invalidate();
    ResetTooltip();
}

void CThemeButton::OnLButtonUp()
{
    if (m_state == Pressed)
        PostClick();
    if (m_tracking)
        StopTracking();
}

void CThemeButton::PostClick() const
{
    if (HWND parent = GetParent())
        ::PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), 0), 0);
}

Gdiplus::Image* CThemeButton::ChooseImage() const
{
    if (!IsWindowEnabled() && m_disabled)
        return m_disabled.Get();
    int state = (IsRadioButton() && GetCheckState() == BST_CHECKED) ? Pressed : m_state;
    switch (state) {
    case Hover:
        return m_hover.Get();
    case Pressed:
        return m_pressed.Get();
    default:
        return m_normal.get();
    }
}

void CThemeButton::OnPaint()
{
    Tavrin::Platform::PaintDc paint(m_hWnd);
    HWND parentWindow = GetParent();
    if (!parentWindow)
        return;
    RECT client = GetClientRect();
    RECT inParent = GetRectInParent();
    auto* parent = dynamic_cast<CTransparentParent*>(GetParentWnd());
    std::unique_ptr<CMemDC2> buffer;
    HDC dc = paint.Get();
    if (parent) {
        HDC background = parent->GetBackBuffer().GetSafeHdc();
        if (!background) {
            // The parent has not painted yet: let it paint first, then us
            // (its children, this button included, are repainted after it).
            ::InflateRect(&inParent, 1, 1);
            ::RedrawWindow(parentWindow, &inParent, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            return;
        }
        buffer = std::make_unique<CMemDC2>(paint.Get(), background, client, inParent.left, inParent.top);
        dc = buffer->GetSafeHdc();
    }
    if (!m_normal)
        return;
    const SIZE size = GetImageSize();
    const INT width = static_cast<INT>(size.cx);
    const INT height = static_cast<INT>(size.cy);
    if (Gdiplus::Image* image = ChooseImage()) {
        Gdiplus::Graphics graphics(dc);
        DrawImageInto(graphics, image, Gdiplus::Rect(0, 0, width, height));
    }
    // The focus cue shows only while the window's UI state says so: after
    // the keyboard moved the focus, not after a click.
    if (::GetFocus() == m_hWnd && ShowsFocusCues()) {
        RECT cue = {0, 0, width, height};
        ::InflateRect(&cue, -kFocusInset, -kFocusInset);
        ::DrawFocusRect(dc, &cue);
    }
}
