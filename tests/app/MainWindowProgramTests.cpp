#include <gtest/gtest.h>

#include <string>

#include "platform/UniqueHandle.h"
#include "res/resource.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Test;

namespace {

constexpr wchar_t kFirstRunKey[] = L"Software\\Tavrin";
// The program's profile: the registry key "Tavrin", then its application
// name, the base name of the program file.
constexpr wchar_t kProfileKey[] = L"Software\\Tavrin\\tavrin";

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

enum class Kind { MessageBox, MainWindow };

// A visible dialog of the process: a message box (it has the static text
// 0xFFFF) or the main window (it has the privacy button).
HWND FindWindowOf(DWORD process, Kind kind)
{
    struct Search {
        DWORD process;
        Kind kind;
        HWND found;
    } search{process, kind, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* search = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != search->process || !::IsWindowVisible(window) || ClassOf(window) != L"#32770")
                return TRUE;
            const int marker = search->kind == Kind::MessageBox ? 0xFFFF : IDC_BTN_PRIVACY;
            if (!::GetDlgItem(window, marker))
                return TRUE;
            search->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindowOf(DWORD process, Kind kind, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        if (HWND found = FindWindowOf(process, kind))
            return found;
        ::Sleep(50);
    }
    return nullptr;
}

// tavrin.exe without arguments, killed if it is still running when the
// object goes.
class RunningProgram {
public:
    RunningProgram()
    {
        std::wstring commandLine = L"\"" + BinFolder() + L"\\tavrin.exe\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        started_ = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    BinFolder().c_str(), &startup, &info) != FALSE;
        if (started_) {
            process_.Reset(info.hProcess);
            ::CloseHandle(info.hThread);
            id_ = info.dwProcessId;
        }
    }
    ~RunningProgram()
    {
        if (started_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.Get(), 1);
            ::WaitForSingleObject(process_.Get(), 10000);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return started_; }
    DWORD Id() const { return id_; }
    bool WaitForExit(DWORD timeoutMs) const
    {
        return ::WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
    }

private:
    bool started_ = false;
    DWORD id_ = 0;
    Tavrin::Platform::UniqueHandle process_;
};

} // namespace

class ProgramOnWindows10 : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"");
        DeleteStored(HKEY_CURRENT_USER, kProfileKey, L"showCompatibility");
    }

    RegistryValueBackup marker{HKEY_LOCAL_MACHINE, kFirstRunKey, L""};
    RegistryValueBackup note{HKEY_CURRENT_USER, kProfileKey, L"showCompatibility"};
};

TEST_F(ProgramOnWindows10, FirstStartCongratulatesThenOpensTheMainWindow)
{
    {
        RunningProgram program;
        ASSERT_TRUE(program.Started());
        // The compatibility check runs first; it takes a while under Wine.
        HWND box = WaitForWindowOf(program.Id(), Kind::MessageBox, 120000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(TextOf(box), L"tavrin");
        EXPECT_EQ(TextOf(::GetDlgItem(box, 0xFFFF)), L"Congratulations on upgrading to Windows 10!");
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));

        HWND main = WaitForWindowOf(program.Id(), Kind::MainWindow, 20000);
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(TextOf(main), L"Orvane Tools");
        EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(main, IDC_BTN_SECURITY)));
        // First opening for this user: the issues note is up.
        EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(main, IDC_ISSUES_NOTE)));
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.WaitForExit(30000));
    }
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"").IsString(L"notFirstRun"));
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, kProfileKey, L"showCompatibility").IsDword(1));

    // The second start goes straight to the main window, without the note.
    RunningProgram again;
    ASSERT_TRUE(again.Started());
    HWND main = WaitForWindowOf(again.Id(), Kind::MainWindow, 120000);
    ASSERT_NE(main, nullptr);
    ::Sleep(300);
    EXPECT_EQ(FindWindowOf(again.Id(), Kind::MessageBox), nullptr);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(main, IDC_ISSUES_NOTE)));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(again.WaitForExit(30000));
}
