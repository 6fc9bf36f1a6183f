#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

// Helpers for tests that create real windows (under Xvfb in the test
// prefix) and drive them with window messages.
//
// Typical use:
//
//     DialogTemplate form(WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 200, 100, L"Test");
//     form.AddButton(IDOK, L"OK", BS_PUSHBUTTON | WS_TABSTOP, 10, 10, 50, 14);
//     MyDialog dialog;
//     dialog.CreateIndirect(form.Get(), nullptr);   // or a page from its resource id
//     PumpMessages();
//     Click(dialog.GetDlgItem(IDOK));
//     EXPECT_TRUE(PumpUntil([&] { return dialog.clicked; }));
//     SaveScreenshot(dialog, L"MyDialog_AfterClick");
//
// A message box the code under test shows (and that would block the test)
// is answered by a MessageBoxAnswerer made before the call:
//
//     MessageBoxAnswerer answer(IDYES, L"Orvane Tools");
//     page.DoSomethingThatAsks();
//     EXPECT_TRUE(answer.Answered());
//     EXPECT_EQ(answer.Text(), L"...");
namespace Tavrin::Test {

// --- Window facts -------------------------------------------------------------

// The window's stored text, read without sending WM_GETTEXT, so it never
// waits on the window's thread (which may belong to another process, or be
// waiting for the caller).
std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);
// Every descendant of the window, in the order EnumChildWindows gives them.
std::vector<HWND> ChildrenOf(HWND window);
// Every top-level window, in the order EnumWindows gives them (top first).
std::vector<HWND> TopLevelWindows();

// --- Message pumping --------------------------------------------------------

// Processes every message waiting for this thread, then returns. Paint
// messages are included, so windows are drawn when it returns.
void PumpMessages();
// Processes messages for `milliseconds` (timers, posted clicks, repaints).
void PumpMessagesFor(DWORD milliseconds);
// Processes messages until `condition` holds or the time is up; returns the
// condition's last value.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// --- The real pointer -----------------------------------------------------------
// The X server keeps the pointer where the last test left it, and a real
// pointer resting over a window sends it real mouse messages. Every test
// program that uses these helpers parks it in the screen's bottom-right
// corner when it starts; a test that moved it can park it again.
void ParkPointer();

// --- Mouse and keyboard as window messages -----------------------------------
// These send the messages straight to the window (no real input), so they
// neither depend on nor move the real pointer and focus. Points are in the
// window's client coordinates; the default point is the client centre.

POINT ClientCenter(HWND window);
void MouseMove(HWND window, POINT point, WPARAM keys = 0);
void LeftButtonDown(HWND window, POINT point);
void LeftButtonUp(HWND window, POINT point);
// Move onto the point, press and release there: what a user's click sends.
void Click(HWND window, POINT point);
void Click(HWND window);
// A click on a box or button of a settings page, then a wait (pumping this
// thread) until the change it started is done: the page makes its changes
// on a thread of its own and keeps "Done" disabled meanwhile. False when
// "Done" is not enabled again within the time. The page may be another
// thread's or another process's.
bool ClickSetting(HWND control, DWORD timeoutMs = 10000);
// Rotates the wheel by `delta` (120 per notch, positive away from the user)
// over the window; returns the window's answer.
LRESULT MouseWheel(HWND window, int delta);
// WM_KEYDOWN and WM_KEYUP posted to the window, then pumped, so that a
// modal loop's dialog keyboard handling sees them as a real key would be.
void PressKey(HWND window, UINT virtualKey);

// --- The real keyboard ---------------------------------------------------------
// Real key events (SendInput), as a user's keyboard makes them: the system
// delivers them to the focus of the foreground window, through the message
// loop of its thread. The window's top-level window is brought to the
// foreground first; `modifiers` (VK_MENU, VK_SHIFT, VK_CONTROL) are held
// while the key goes down and up. False when the window could not be made
// the foreground window or the input was refused.
bool TypeKey(HWND window, UINT virtualKey, std::initializer_list<UINT> modifiers = {});
// The window with the keyboard focus on the thread of `window` (which may
// be another thread's or another process's); null when none.
HWND FocusOf(HWND window);

// --- Accessibility ---------------------------------------------------------------
// What an accessibility client (a screen reader) reads of a window through
// oleacc: AccessibleObjectFromWindow (OBJID_CLIENT), then the name, role,
// state and default action of the object itself. `found` is false when no
// object came.
struct AccessibleFacts {
    bool found = false;
    std::wstring name;
    long role = 0;
    long state = 0;
    std::wstring defaultAction;
};
AccessibleFacts DescribeAccessible(HWND window);
// Runs the object's default action as a screen reader does (accDoDefaultAction).
HRESULT DoAccessibleDefaultAction(HWND window);

// --- Pixels and screenshots ---------------------------------------------------

// A copy of what a window shows, as 0x00RRGGBB pixels, top row first.
class WindowCapture {
public:
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Empty() const { return m_pixels.empty(); }
    // GDI colour (red in the low byte) of one pixel; black outside.
    COLORREF At(int x, int y) const;
    // Number of pixels of exactly this colour inside the rectangle.
    int Count(COLORREF color, const RECT& area) const;
    int Count(COLORREF color) const;
    // Pixels within `tolerance` of the colour on each of red, green and
    // blue (anti-aliased and ClearType edges blend with their background).
    int CountNear(COLORREF color, int tolerance, const RECT& area) const;
    int CountNear(COLORREF color, int tolerance) const;
    // Writes the capture as a PNG file.
    bool SavePng(const std::wstring& path) const;

private:
    friend WindowCapture CopyPixels(HDC, const RECT&);
    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_pixels;
};

// Repaints the window (and its children) now and copies what it shows,
// the client area or the whole window with its frame. The window must be
// visible; capture only this process's own windows.
WindowCapture CaptureWindow(HWND window, bool wholeWindow = false);
// Saves the window's client area as "<name>.png" in the folder named by the
// environment variable TAVRIN_SCREENSHOTS (the temporary folder when it is
// not set) and returns the file's path, or an empty string on failure.
std::wstring SaveScreenshot(HWND window, const std::wstring& name);
// What the screen shows where the window lies, frame included, read back
// from the desktop: the way to look at another process's window, whose
// contents cannot be printed from here. Pixel (0, 0) is the window's
// top-left corner on the screen.
WindowCapture CaptureScreenOf(HWND window);
// Where a screenshot called "<name>.png" goes: the folder named by
// TAVRIN_SCREENSHOTS, else the temporary folder.
std::wstring ScreenshotPath(const std::wstring& name);

// --- Message boxes ------------------------------------------------------------

// Watches, from a thread of its own, for a message box (a "#32770" dialog
// of this process, with the given caption unless that is empty) and
// presses `button` (IDOK, IDYES, IDNO, ...) in it. Records the caption and
// the message text. Answers one box; gives up after `timeoutMs`.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int button = IDOK, std::wstring caption = L"", DWORD timeoutMs = 15000);
    // The same for any dialog with exactly this caption (a file picker, a
    // dialog of the program), not only a message box; a screenshot of it
    // named `screenshot` is saved before the button is pressed.
    MessageBoxAnswerer(int button, std::wstring caption, std::wstring screenshot, DWORD timeoutMs = 15000);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // Waits (pumping this thread's messages) until a box was answered.
    bool Wait(DWORD timeoutMs = 10000);
    bool Answered() const { return m_answered; }
    std::wstring Caption() const;
    std::wstring Text() const;
    // The thread that showed the box answered.
    DWORD Thread() const { return m_boxThread; }

private:
    void Watch(DWORD timeoutMs);

    int m_button;
    std::wstring m_wantedCaption;
    std::wstring m_screenshot; // set for any dialog
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_answered{false};
    std::atomic<DWORD> m_boxThread{0};
    std::wstring m_caption;
    std::wstring m_text;
    std::thread m_thread;
};

// While it lives, answers every message box this process shows (Cancel, No
// or OK, whichever the box has), so that a worker left inside MessageBoxW by
// a failed test cannot hang the teardown that waits for it:
//
//     void TearDown() override
//     {
//         MessageBoxCloser closer;
//         page.reset(); // joins the page's worker
//     }
class MessageBoxCloser {
public:
    MessageBoxCloser();
    ~MessageBoxCloser();
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;

    // How many boxes it answered so far.
    int Closed() const { return m_closed; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_closed{0};
    std::thread m_thread;
};

// --- Dialog templates in memory -----------------------------------------------

// Builds a dialog template (DLGTEMPLATE with its items) in memory, for
// tests that need a dialog of their own without a resource. Positions and
// sizes are in dialog units.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short x, short y, short cx, short cy, const std::wstring& caption = L"",
                   const std::wstring& font = L"MS Shell Dlg", WORD pointSize = 8);
    // A control of a predefined class: 0x0080 button, 0x0081 edit, 0x0082
    // static, 0x0083 list box, 0x0084 scroll bar, 0x0085 combo box.
    DialogTemplate& Add(WORD classAtom, int id, const std::wstring& text, DWORD style, short x, short y,
                        short cx, short cy, DWORD exStyle = 0);
    // A control of a registered class, by name.
    DialogTemplate& Add(const std::wstring& className, int id, const std::wstring& text, DWORD style, short x,
                        short y, short cx, short cy, DWORD exStyle = 0);
    // WS_CHILD | WS_VISIBLE are added to every item's style.
    DialogTemplate& AddButton(int id, const std::wstring& text, DWORD style, short x, short y, short cx,
                              short cy);
    DialogTemplate& AddStatic(int id, const std::wstring& text, DWORD style, short x, short y, short cx,
                              short cy);
    const DLGTEMPLATE* Get() const;

private:
    void AddItemHeader(int id, DWORD style, DWORD exStyle, short x, short y, short cx, short cy);
    void AddString(const std::wstring& text);
    void AlignToDword();

    std::vector<WORD> m_words;
};

} // namespace Tavrin::Test
