#include "tests/support/WindowTestSupport.h"

// GDI+ headers need min/max, which NOMINMAX hides.
#include <algorithm>
#include <iterator>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>
#include <oleacc.h>

#include <mutex>

#include "platform/GdiHandles.h"
#include "platform/Module.h"

namespace Tavrin::Test {

using Platform::SelectedObject;
using Platform::UniqueBitmap;
using Platform::UniqueCreatedDc;
using Platform::WindowDc;

namespace {

std::mutex g_answererMutex;

LPARAM PointParam(POINT point)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(point.x)),
                      static_cast<WORD>(static_cast<short>(point.y)));
}

// GDI+ for the lifetime of one call; nesting with the program's own start is fine.
class GdiplusSession {
public:
    GdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        m_ok = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession()
    {
        if (m_ok)
            Gdiplus::GdiplusShutdown(m_token);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool Ok() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};

} // namespace

std::wstring TextOf(HWND window)
{
    wchar_t buffer[1024] = {};
    ::InternalGetWindowText(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

std::wstring ClassOf(HWND window)
{
    wchar_t buffer[256] = {};
    ::GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

namespace {

// Enumeration callbacks are stdcall functions on i686, which a lambda is not.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> ChildrenOf(HWND window)
{
    std::vector<HWND> children;
    ::EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

void ParkPointer()
{
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
}

namespace {
// Runs when a test program that uses these helpers starts.
[[maybe_unused]] const bool g_pointerParked = (ParkPointer(), true);
} // namespace

void PumpMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void PumpMessagesFor(DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < milliseconds) {
        PumpMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    PumpMessages();
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        PumpMessages();
        if (condition())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return condition();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool ClickSetting(HWND control, DWORD timeoutMs)
{
    Click(control);
    const HWND done = ::GetDlgItem(::GetParent(control), IDOK);
    return PumpUntil([&] { return ::IsWindowEnabled(done) != FALSE; }, timeoutMs);
}

POINT ClientCenter(HWND window)
{
    RECT client = {};
    ::GetClientRect(window, &client);
    return {(client.left + client.right) / 2, (client.top + client.bottom) / 2};
}

void MouseMove(HWND window, POINT point, WPARAM keys)
{
    ::SendMessageW(window, WM_MOUSEMOVE, keys, PointParam(point));
}

void LeftButtonDown(HWND window, POINT point)
{
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(point));
}

void LeftButtonUp(HWND window, POINT point)
{
    ::SendMessageW(window, WM_LBUTTONUP, 0, PointParam(point));
}

void Click(HWND window, POINT point)
{
    MouseMove(window, point);
    LeftButtonDown(window, point);
    LeftButtonUp(window, point);
}

void Click(HWND window)
{
    Click(window, ClientCenter(window));
}

LRESULT MouseWheel(HWND window, int delta)
{
    POINT screen = ClientCenter(window);
    ::ClientToScreen(window, &screen);
    return ::SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                          PointParam(screen));
}

void PressKey(HWND window, UINT virtualKey)
{
    UINT scan = ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    ::PostMessageW(window, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16));
    ::PostMessageW(window, WM_KEYUP, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
}

bool TypeKey(HWND window, UINT virtualKey, std::initializer_list<UINT> modifiers)
{
    HWND top = ::GetAncestor(window, GA_ROOT);
    if (!top)
        return false;
    for (DWORD start = ::GetTickCount(); ::GetForegroundWindow() != top; ::Sleep(20)) {
        if (::GetTickCount() - start > 3000)
            return false;
        ::SetForegroundWindow(top);
    }
    std::vector<INPUT> inputs;
    auto add = [&](UINT key, bool up) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(key);
        input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (UINT modifier : modifiers)
        add(modifier, false);
    add(virtualKey, false);
    add(virtualKey, true);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        add(*it, true);
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

namespace {

IAccessible* AccessibleOf(HWND window)
{
    IAccessible* accessible = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&accessible))))
        return nullptr;
    return accessible;
}

std::wstring TakeBstr(BSTR text)
{
    std::wstring copy = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return copy;
}

} // namespace

AccessibleFacts DescribeAccessible(HWND window)
{
    AccessibleFacts facts;
    IAccessible* accessible = AccessibleOf(window);
    if (!accessible)
        return facts;
    facts.found = true;
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (SUCCEEDED(accessible->get_accName(self, &text)))
        facts.name = TakeBstr(text);
    VARIANT value = {};
    if (SUCCEEDED(accessible->get_accRole(self, &value)) && value.vt == VT_I4)
        facts.role = value.lVal;
    value = {};
    if (SUCCEEDED(accessible->get_accState(self, &value)) && value.vt == VT_I4)
        facts.state = value.lVal;
    text = nullptr;
    if (SUCCEEDED(accessible->get_accDefaultAction(self, &text)))
        facts.defaultAction = TakeBstr(text);
    accessible->Release();
    return facts;
}

HRESULT DoAccessibleDefaultAction(HWND window)
{
    IAccessible* accessible = AccessibleOf(window);
    if (!accessible)
        return E_NOINTERFACE;
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    HRESULT result = accessible->accDoDefaultAction(self);
    accessible->Release();
    return result;
}

COLORREF WindowCapture::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return RGB(0, 0, 0);
    uint32_t pixel = m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int WindowCapture::Count(COLORREF color, const RECT& area) const
{
    int count = 0;
    for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, m_height); ++y)
        for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, m_width); ++x)
            if (At(x, y) == color)
                ++count;
    return count;
}

int WindowCapture::Count(COLORREF color) const
{
    return Count(color, RECT{0, 0, m_width, m_height});
}

int WindowCapture::CountNear(COLORREF color, int tolerance, const RECT& area) const
{
    auto within = [tolerance](int a, int b) { return (a > b ? a - b : b - a) <= tolerance; };
    int count = 0;
    for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, m_height); ++y)
        for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, m_width); ++x) {
            COLORREF pixel = At(x, y);
            if (within(GetRValue(pixel), GetRValue(color)) && within(GetGValue(pixel), GetGValue(color)) &&
                within(GetBValue(pixel), GetBValue(color)))
                ++count;
        }
    return count;
}

int WindowCapture::CountNear(COLORREF color, int tolerance) const
{
    return CountNear(color, tolerance, RECT{0, 0, m_width, m_height});
}

bool WindowCapture::SavePng(const std::wstring& path) const
{
    if (m_pixels.empty())
        return false;
    GdiplusSession gdiplus;
    if (!gdiplus.Ok())
        return false;
    Gdiplus::Bitmap bitmap(m_width, m_height, m_width * 4, PixelFormat32bppRGB,
                           reinterpret_cast<BYTE*>(const_cast<uint32_t*>(m_pixels.data())));
    // image/png
    const CLSID pngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    return bitmap.Save(path.c_str(), &pngEncoder, nullptr) == Gdiplus::Ok;
}

// Copies a rectangle of a device context into a capture.
WindowCapture CopyPixels(HDC source, const RECT& area)
{
    WindowCapture capture;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (!source || width <= 0 || height <= 0)
        return capture;
    UniqueCreatedDc memory(::CreateCompatibleDC(source));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !bitmap || !bits)
        return capture;
    {
        SelectedObject selected(memory.Get(), bitmap.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, source, area.left, area.top, SRCCOPY);
        ::GdiFlush();
    }
    const auto* pixels = static_cast<const uint32_t*>(bits);
    capture.m_width = width;
    capture.m_height = height;
    capture.m_pixels.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
    for (uint32_t& pixel : capture.m_pixels)
        pixel &= 0x00FFFFFF;
    return capture;
}

WindowCapture CaptureWindow(HWND window, bool wholeWindow)
{
    if (!::IsWindow(window))
        return {};
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages();
    RECT area = {};
    if (wholeWindow) {
        ::GetWindowRect(window, &area);
        ::OffsetRect(&area, -area.left, -area.top);
    } else {
        ::GetClientRect(window, &area);
    }
    WindowDc source(window, wholeWindow);
    return CopyPixels(source.Get(), area);
}

WindowCapture CaptureScreenOf(HWND window)
{
    RECT area = {};
    if (!::IsWindow(window) || !::GetWindowRect(window, &area))
        return {};
    WindowDc screen(nullptr);
    return CopyPixels(screen.Get(), area);
}

std::wstring ScreenshotPath(const std::wstring& name)
{
    wchar_t folder[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableW(L"TAVRIN_SCREENSHOTS", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        ::GetTempPathW(MAX_PATH, folder);
    ::CreateDirectoryW(folder, nullptr);
    return Platform::JoinPath(folder, name + L".png");
}

std::wstring SaveScreenshot(HWND window, const std::wstring& name)
{
    const std::wstring path = ScreenshotPath(name);
    // The client area: under Xvfb without a window manager the frame is
    // not part of what the window's device context shows.
    return CaptureWindow(window).SavePng(path) ? path : std::wstring();
}

MessageBoxAnswerer::MessageBoxAnswerer(int button, std::wstring caption, DWORD timeoutMs)
    : m_button(button), m_wantedCaption(std::move(caption))
{
    m_thread = std::thread([this, timeoutMs] { Watch(timeoutMs); });
}

MessageBoxAnswerer::MessageBoxAnswerer(int button, std::wstring caption, std::wstring screenshot,
                                       DWORD timeoutMs)
    : m_button(button), m_wantedCaption(std::move(caption)), m_screenshot(std::move(screenshot))
{
    m_thread = std::thread([this, timeoutMs] { Watch(timeoutMs); });
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

namespace {

// A visible message box of this process with that caption (any caption
// when empty), or null.
HWND FindMessageBox(const std::wstring& caption, bool anyDialog = false)
{
    for (HWND window : TopLevelWindows()) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window))
            continue;
        if (ClassOf(window) != L"#32770")
            continue;
        if (!caption.empty() && TextOf(window) != caption)
            continue;
        // A message box carries its text in the static item 0xFFFF.
        if (anyDialog || ::GetDlgItem(window, 0xFFFF))
            return window;
    }
    return nullptr;
}

void PressButton(HWND box, int button)
{
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
}

} // namespace

void MessageBoxAnswerer::Watch(DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    while (!m_stop && ::GetTickCount() - start < timeoutMs) {
        if (HWND found = FindMessageBox(m_wantedCaption, !m_screenshot.empty())) {
            if (!m_screenshot.empty()) {
                // Shown is not yet painted: give the dialog's thread a moment.
                ::Sleep(500);
                SaveScreenshot(found, m_screenshot);
            }
            {
                std::lock_guard<std::mutex> lock(g_answererMutex);
                m_caption = TextOf(found);
                m_text = TextOf(::GetDlgItem(found, 0xFFFF));
            }
            m_boxThread = ::GetWindowThreadProcessId(found, nullptr);
            PressButton(found, m_button);
            m_answered = true;
            return;
        }
        ::Sleep(20);
    }
}

MessageBoxCloser::MessageBoxCloser()
{
    m_thread = std::thread([this] {
        HWND last = nullptr;
        DWORD pressed = 0;
        while (!m_stop) {
            HWND box = FindMessageBox(L"");
            // A box just answered may stay on the screen a moment: press
            // it again only when it is still there later.
            if (box && (box != last || ::GetTickCount() - pressed > 1000)) {
                const int button = ::GetDlgItem(box, IDCANCEL) ? IDCANCEL
                                   : ::GetDlgItem(box, IDNO)   ? IDNO
                                                               : IDOK;
                PressButton(box, button);
                if (box != last)
                    ++m_closed;
                last = box;
                pressed = ::GetTickCount();
            }
            ::Sleep(20);
        }
    });
}

MessageBoxCloser::~MessageBoxCloser()
{
    m_stop = true;
    m_thread.join();
}

bool MessageBoxAnswerer::Wait(DWORD timeoutMs)
{
    return PumpUntil([this] { return m_answered.load(); }, timeoutMs);
}

std::wstring MessageBoxAnswerer::Caption() const
{
    std::lock_guard<std::mutex> lock(g_answererMutex);
    return m_caption;
}

std::wstring MessageBoxAnswerer::Text() const
{
    std::lock_guard<std::mutex> lock(g_answererMutex);
    return m_text;
}

DialogTemplate::DialogTemplate(DWORD style, short x, short y, short cx, short cy, const std::wstring& caption,
                               const std::wstring& font, WORD pointSize)
{
    if (!font.empty())
        style |= DS_SETFONT;
    m_words = {
        LOWORD(style),         HIWORD(style),         0, 0, 0, static_cast<WORD>(x), static_cast<WORD>(y),
        static_cast<WORD>(cx), static_cast<WORD>(cy), 0, 0};
    AddString(caption);
    if (!font.empty()) {
        m_words.push_back(pointSize);
        AddString(font);
    }
}

void DialogTemplate::AlignToDword()
{
    if (m_words.size() % 2)
        m_words.push_back(0);
}

void DialogTemplate::AddString(const std::wstring& text)
{
    m_words.insert(m_words.end(), text.begin(), text.end());
    m_words.push_back(0);
}

void DialogTemplate::AddItemHeader(int id, DWORD style, DWORD exStyle, short x, short y, short cx, short cy)
{
    AlignToDword();
    m_words.insert(m_words.end(), {LOWORD(style), HIWORD(style), LOWORD(exStyle), HIWORD(exStyle),
                                   static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx),
                                   static_cast<WORD>(cy), static_cast<WORD>(id)});
    ++m_words[4]; // item count
}

DialogTemplate& DialogTemplate::Add(WORD classAtom, int id, const std::wstring& text, DWORD style, short x,
                                    short y, short cx, short cy, DWORD exStyle)
{
    AddItemHeader(id, style, exStyle, x, y, cx, cy);
    m_words.push_back(0xFFFF);
    m_words.push_back(classAtom);
    AddString(text);
    m_words.push_back(0); // no creation data
    return *this;
}

DialogTemplate& DialogTemplate::Add(const std::wstring& className, int id, const std::wstring& text,
                                    DWORD style, short x, short y, short cx, short cy, DWORD exStyle)
{
    AddItemHeader(id, style, exStyle, x, y, cx, cy);
    AddString(className);
    AddString(text);
    m_words.push_back(0);
    return *this;
}

DialogTemplate& DialogTemplate::AddButton(int id, const std::wstring& text, DWORD style, short x, short y,
                                          short cx, short cy)
{
    return Add(0x0080, id, text, style | WS_CHILD | WS_VISIBLE, x, y, cx, cy);
}

DialogTemplate& DialogTemplate::AddStatic(int id, const std::wstring& text, DWORD style, short x, short y,
                                          short cx, short cy)
{
    return Add(0x0082, id, text, style | WS_CHILD | WS_VISIBLE, x, y, cx, cy);
}

const DLGTEMPLATE* DialogTemplate::Get() const
{
    return reinterpret_cast<const DLGTEMPLATE*>(m_words.data());
}

} // namespace Tavrin::Test
