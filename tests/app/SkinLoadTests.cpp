#include <gtest/gtest.h>

#include <windows.h>
// GDI+ headers need min/max, which NOMINMAX hides.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/RegKey.h"
#include "platform/UniqueHandle.h"
#include "tests/support/TestSupport.h"

using Tavrin::Platform::UniqueHandle;
using Tavrin::Test::BinFolder;
using Tavrin::Test::TempFolder;
using Tavrin::Test::WriteFileBytes;

namespace {

const wchar_t kX11Key[] = L"Software\\Wine\\AppDefaults\\tavrin.exe\\X11 Driver";
const wchar_t kFailureText[] = L"Failed to initialize UI: Please reinstall the application";

struct BoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (owner == search->processId && std::wstring(className) == L"#32770" && ::IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The first visible dialog-class window of a process, waiting up to a limit.
HWND WaitForDialogOf(DWORD processId, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    do {
        BoxSearch search = {processId, nullptr};
        ::EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        ::Sleep(50);
    } while (::GetTickCount() - start < timeoutMs);
    return nullptr;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter)
{
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

std::vector<HWND> ChildrenOf(HWND window)
{
    std::vector<HWND> children;
    ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

// The window as it appears on the screen, read back through the desktop's
// device context: the box belongs to another process, whose window contents
// cannot be printed from here.
bool SaveScreenOfWindow(HWND window, const std::wstring& name)
{
    wchar_t folder[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"TAVRIN_SCREENSHOTS", folder, MAX_PATH))
        return false;
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory, old);
    bool saved = false;
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        CLSID png = {};
        ::CLSIDFromString(L"{557CF406-1A04-11D3-9A73-0000F81EF32E}", &png);
        saved = image.Save((std::wstring(folder) + L"\\" + name).c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return saved;
}

// A copy of tavrin.exe alone in a folder of its own, so that the test decides
// what lies beside it.
class ProgramCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr);
        exe = folder.File(L"tavrin.exe");
        // Without a window manager on the test display, Wine draws the frame
        // and caption of unmanaged windows itself, so the screenshot shows them.
        Tavrin::Platform::RegKey x11;
        if (x11.Create(HKEY_CURRENT_USER, kX11Key, KEY_WRITE) == ERROR_SUCCESS)
            x11.SetString(L"Managed", L"N");
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\tavrin.exe").c_str(), exe.c_str(), FALSE));
    }
    void TearDown() override
    {
        if (process && ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process.Get(), 1);
            ::WaitForSingleObject(process.Get(), 5000);
        }
        process.Reset();
        Tavrin::Test::DeleteTree(HKEY_CURRENT_USER, kX11Key);
        Gdiplus::GdiplusShutdown(gdiplus);
    }

    DWORD Start(const std::wstring& workingFolder)
    {
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                              workingFolder.c_str(), &startup, &info))
            return 0;
        process.Reset(info.hProcess);
        ::CloseHandle(info.hThread);
        return info.dwProcessId;
    }

    // The failure box appears, says what it should, is captured, is answered
    // by a click on its only button, and then the process ends.
    void ExpectFailureBoxThenExit(const std::wstring& screenshot)
    {
        const DWORD processId = Start(folder.Path());
        ASSERT_NE(processId, 0u);
        HWND box = WaitForDialogOf(processId, 30000);
        ASSERT_NE(box, nullptr) << "no message box appeared";
        EXPECT_EQ(TextOf(box), L"tavrin");
        EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);

        HWND ok = nullptr;
        bool textShown = false;
        int buttons = 0;
        for (HWND child : ChildrenOf(box)) {
            wchar_t className[32] = {};
            ::GetClassNameW(child, className, 32);
            if (_wcsicmp(className, L"Button") == 0 && ::IsWindowVisible(child)) {
                ++buttons;
                if (::GetDlgCtrlID(child) == IDOK)
                    ok = child;
            }
            if (TextOf(child) == kFailureText)
                textShown = true;
        }
        EXPECT_TRUE(textShown);
        EXPECT_EQ(buttons, 1);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(TextOf(ok), L"OK");

        // Let the box finish painting before it is read from the screen.
        ::Sleep(500);
        ::SetForegroundWindow(box);
        ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::Sleep(300);
        EXPECT_TRUE(SaveScreenOfWindow(box, screenshot));

        // Nothing goes on behind the box: the process waits for the answer.
        EXPECT_EQ(::WaitForSingleObject(process.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        ::PostMessageW(ok, BM_CLICK, 0, 0);
        ASSERT_EQ(::WaitForSingleObject(process.Get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0))
            << "the process kept running after the message was answered";
        // No other window followed the message.
        BoxSearch search = {processId, nullptr};
        ::EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
        EXPECT_EQ(search.found, nullptr);
    }

    TempFolder folder;
    std::wstring exe;
    UniqueHandle process;
    ULONG_PTR gdiplus = 0;
};

} // namespace

TEST_F(ProgramCopy, MissingSkinDescriptionShowsTheFailureAndEnds)
{
    ExpectFailureBoxThenExit(L"skin-load-failure-missing.png");
}

TEST_F(ProgramCopy, MalformedSkinDescriptionShowsTheFailureAndEnds)
{
    ASSERT_TRUE(WriteFileBytes(folder.File(L"ui.xml"), "<?xml version=\"1.0\"?><ui><colors><mainframe>"
                                                       "<bg hex=\"#FFFFFF\"></colors></ui>"));
    ExpectFailureBoxThenExit(L"skin-load-failure-malformed.png");
}

TEST_F(ProgramCopy, SkinDescriptionInAnotherFolderIsNotUsed)
{
    // The current folder of the starter holds a valid description; only the
    // program's own folder counts.
    TempFolder elsewhere;
    ASSERT_TRUE(WriteFileBytes(elsewhere.File(L"ui.xml"), "<ui><colors/></ui>"));
    const DWORD processId = Start(elsewhere.Path());
    ASSERT_NE(processId, 0u);
    HWND box = WaitForDialogOf(processId, 30000);
    ASSERT_NE(box, nullptr);
    bool textShown = false;
    for (HWND child : ChildrenOf(box))
        textShown = textShown || TextOf(child) == kFailureText;
    EXPECT_TRUE(textShown);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(::WaitForSingleObject(process.Get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
}
