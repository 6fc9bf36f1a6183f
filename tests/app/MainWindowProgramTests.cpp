#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/ProgramTestSupport.h"
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
        HWND box = WaitForWindowOf(program.Id(), ProgramWindow::MessageBox, 120000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(TextOf(box), L"tavrin");
        EXPECT_EQ(TextOf(::GetDlgItem(box, 0xFFFF)), L"Congratulations on upgrading to Windows 10!");
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));

        HWND main = WaitForWindowOf(program.Id(), ProgramWindow::MainWindow, 20000);
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
    HWND main = WaitForWindowOf(again.Id(), ProgramWindow::MainWindow, 120000);
    ASSERT_NE(main, nullptr);
    ::Sleep(300);
    EXPECT_EQ(FindWindowOf(again.Id(), ProgramWindow::MessageBox), nullptr);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(main, IDC_ISSUES_NOTE)));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(again.WaitForExit(30000));
}
