#include "ui/controls/CProgressNote.h"

#include <algorithm>

#include "ui/controls/PageDrawing.h"
#include "ui/skin/Dpi.h"

namespace {

constexpr UINT_PTR kBarTimer = 1;
constexpr UINT kBarIntervalMs = 40;
// Design pixels: the padding inside the border, the text's height (three
// lines of the message font), the bar's height and the button's size.
constexpr int kPadding = 10;
constexpr int kTextHeight = 48;
constexpr int kBarHeight = 6;
constexpr int kButtonWidth = 120;
constexpr int kButtonHeight = 24;
// How far the bar's block moves on each tick, and its share of the track.
constexpr int kBarStepPixels = 4;
constexpr int kBlockDivisor = 3;

Gdiplus::Color ColorOf(Gdiplus::ARGB argb)
{
    return Gdiplus::Color(argb);
}

} // namespace

CProgressNote::CProgressNote() = default;

CProgressNote::~CProgressNote()
{
    // A GDI+ object; it goes before GDI+ could be shut down.
    m_font.reset();
}

bool CProgressNote::Create(HWND parent, int noteId, int buttonId, const std::wstring& message,
                           const std::wstring& buttonText)
{
    m_message = message;
    // The dialog manager's Tab goes on into the note to its button.
    if (!CreateEx(WS_EX_CONTROLPARENT, nullptr, message.c_str(), WS_CHILD | WS_CLIPCHILDREN, RECT{0, 0, 1, 1},
                  parent, static_cast<UINT>(noteId)))
        return false;
    m_button = ::CreateWindowExW(0, L"BUTTON", buttonText.c_str(),
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 1, 1, m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(buttonId)),
                                 ::GetModuleHandleW(nullptr), nullptr);
    // The button speaks like the page's own buttons.
    ::SendMessageW(m_button, WM_SETFONT, ::SendMessageW(parent, WM_GETFONT, 0, 0), FALSE);
    return m_button != nullptr;
}

int CProgressNote::Scaled(int designPixels) const
{
    return Dpi::Scale(designPixels, m_dpi);
}

void CProgressNote::ShowAt(POINT topRight, UINT dpi)
{
    m_dpi = dpi;
    m_font.reset(CreateMessageFont(FontSpec::Regular(8), dpi));
    const int width = Scaled(kWidth), height = Scaled(kHeight);
    ::SetWindowPos(m_hWnd, HWND_TOP, topRight.x - width, topRight.y, width, height, SWP_NOACTIVATE);
    ::MoveWindow(m_button, width - Scaled(kPadding + kButtonWidth), height - Scaled(kPadding + kButtonHeight),
                 Scaled(kButtonWidth), Scaled(kButtonHeight), TRUE);
    if (!IsWindowVisible()) {
        m_barStep = 0;
        ::SetTimer(m_hWnd, kBarTimer, kBarIntervalMs, nullptr);
    }
    ShowWindow(SW_SHOWNA);
    Invalidate(FALSE);
}

void CProgressNote::Hide()
{
    if (!m_hWnd)
        return;
    ::KillTimer(m_hWnd, kBarTimer);
    ShowWindow(SW_HIDE);
}

LRESULT CProgressNote::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kBarTimer) {
            ++m_barStep;
            RECT bar = GetClientRect();
            bar.top = Scaled(kPadding + kTextHeight);
            bar.bottom = bar.top + Scaled(kBarHeight) + 1;
            InvalidateRect(&bar, FALSE);
            return 0;
        }
        break;
    case WM_COMMAND:
        // The page decides what the button does.
        if (reinterpret_cast<HWND>(lParam) == m_button)
            return ::SendMessageW(GetParent(), WM_COMMAND, wParam, lParam);
        break;
    case WM_DESTROY:
        ::KillTimer(m_hWnd, kBarTimer);
        break;
    }
    return CTransparentChild::WindowProc(message, wParam, lParam);
}

void CProgressNote::Draw(HDC dc, const RECT& client)
{
    Gdiplus::Graphics graphics(dc);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    const Gdiplus::REAL width = static_cast<Gdiplus::REAL>(client.right - client.left);
    const Gdiplus::REAL height = static_cast<Gdiplus::REAL>(client.bottom - client.top);
    const Gdiplus::REAL radius = static_cast<Gdiplus::REAL>(Scaled(6));
    const Gdiplus::REAL line = static_cast<Gdiplus::REAL>(std::max(1, Scaled(1)));

    // Outside the rounded corners the page behind the note shows.
    Gdiplus::GraphicsPath outline;
    const Gdiplus::REAL inset = line / 2, right = width - line / 2 - 1, bottom = height - line / 2 - 1;
    outline.AddArc(inset, inset, 2 * radius, 2 * radius, 180, 90);
    outline.AddArc(right - 2 * radius, inset, 2 * radius, 2 * radius, 270, 90);
    outline.AddArc(right - 2 * radius, bottom - 2 * radius, 2 * radius, 2 * radius, 0, 90);
    outline.AddArc(inset, bottom - 2 * radius, 2 * radius, 2 * radius, 90, 90);
    outline.CloseFigure();
    const Gdiplus::Color border = ColorOf(theSkin.GetColor(L"general/label/border_color"));
    Gdiplus::SolidBrush background(ColorOf(theSkin.GetColor(L"client/client_bg")));
    graphics.FillPath(&background, &outline);
    Gdiplus::Pen pen(border, line);
    graphics.DrawPath(&pen, &outline);

    const Gdiplus::REAL padding = static_cast<Gdiplus::REAL>(Scaled(kPadding));
    if (m_font) {
        Gdiplus::SolidBrush text(ColorOf(theSkin.GetColor(L"client/body_text")));
        Gdiplus::StringFormat format;
        // Only whole lines, the last one ending in an ellipsis if the text goes on.
        format.SetFormatFlags(Gdiplus::StringFormatFlagsLineLimit);
        format.SetTrimming(Gdiplus::StringTrimmingEllipsisWord);
        const Gdiplus::RectF area(padding, padding, width - 2 * padding,
                                  static_cast<Gdiplus::REAL>(Scaled(kTextHeight)));
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
        graphics.DrawString(m_message.c_str(), static_cast<INT>(m_message.size()), m_font.get(), area,
                            &format, &text);
    }

    // The bar: a block that runs across the track and comes in again.
    const int trackLeft = Scaled(kPadding), trackWidth = (client.right - client.left) - 2 * Scaled(kPadding);
    const int trackTop = Scaled(kPadding + kTextHeight), barHeight = Scaled(kBarHeight);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeNone);
    Gdiplus::SolidBrush track(Gdiplus::Color(PageColors::kNoteTrack));
    graphics.FillRectangle(&track, trackLeft, trackTop, trackWidth, barHeight);
    const int block = std::max(1, trackWidth / kBlockDivisor);
    const int travel = trackWidth + block;
    const int blockRight = (m_barStep * Scaled(kBarStepPixels)) % travel;
    const int left = std::max(0, blockRight - block), shownRight = std::min(trackWidth, blockRight);
    if (shownRight > left) {
        Gdiplus::SolidBrush moving(border);
        graphics.FillRectangle(&moving, trackLeft + left, trackTop, shownRight - left, barHeight);
    }
}
