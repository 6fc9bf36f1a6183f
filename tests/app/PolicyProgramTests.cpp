#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/settings/ThemeSettings.h"
#include "res/resource.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

// The real tavrin.exe against the group policy stand-in, which keeps one copy
// of the policy per object as Windows does.

using namespace Tavrin::Test;

namespace {

constexpr wchar_t kFirstRunKey[] = L"Software\\Tavrin";
constexpr wchar_t kProfileKey[] = L"Software\\Tavrin\\tavrin";
const wchar_t kOtherToolKey[] = L"SOFTWARE\\Policies\\TavrinTests\\OtherTool";
const wchar_t kOtherToolValue[] = L"Setting";

size_t Saves(const std::vector<std::wstring>& calls)
{
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [](const std::wstring& call) {
        return call.compare(0, 4, L"save") == 0;
    }));
}

} // namespace

class ProgramWithGroupPolicy : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Neither the congratulation nor the issues note stands in the way.
        WriteString(HKEY_LOCAL_MACHINE, kFirstRunKey, L"", L"notFirstRun");
        WriteDword(HKEY_CURRENT_USER, kProfileKey, L"showCompatibility", 1);
    }
    HWND StartAndWaitForMainWindow()
    {
        program = std::make_unique<RunningProgram>();
        if (!program->Started())
            return nullptr;
        return WaitForWindowOf(program->Id(), ProgramWindow::MainWindow, 120000);
    }
    StoredValue OtherToolsValue() const
    {
        return ReadStored(HKEY_CURRENT_USER, policy.SectionPath(true) + L"\\" + kOtherToolKey,
                          kOtherToolValue);
    }

    RegistryValueBackup marker{HKEY_LOCAL_MACHINE, kFirstRunKey, L""};
    RegistryValueBackup note{HKEY_CURRENT_USER, kProfileKey, L"showCompatibility"};
    PolicyServer policy;
    std::unique_ptr<RunningProgram> program;
};

TEST_F(ProgramWithGroupPolicy, ExitWithoutAChangeLeavesAnotherToolsChangeAlone)
{
    HWND main = StartAndWaitForMainWindow();
    ASSERT_NE(main, nullptr);
    PolicyServer::WriteAsAnotherTool(kOtherToolKey, kOtherToolValue, 7);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program->WaitForExit(30000));
    EXPECT_EQ(Saves(policy.Calls()), 1u) << "only the other tool saves";
    EXPECT_EQ(policy.Version(), 1u);
    EXPECT_TRUE(OtherToolsValue().IsDword(7));
}

// Another tool sets a policy while the window is open; the program's next
// tick of a policy-bound box keeps it.
TEST_F(ProgramWithGroupPolicy, ActionCenterTickIsSavedOnceKeepsAnotherToolsChangeAndSurvivesTheExit)
{
    HWND main = StartAndWaitForMainWindow();
    ASSERT_NE(main, nullptr);
    PolicyServer::WriteAsAnotherTool(kOtherToolKey, kOtherToolValue, 7);
    // The start-menu text's id is on no other page.
    HWND page = FindChildDialogWith(main, IDC_THEME_START_MENU_TEXT);
    ASSERT_NE(page, nullptr);
    HWND box = ::GetDlgItem(page, IDC_THEME_ACTION_CENTER);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(::IsWindowEnabled(box));
    ::SendMessageW(box, BM_CLICK, 0, 0);
    ASSERT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    // The change is made on a thread of its own; closing before it is done
    // would drop it.
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(::GetDlgItem(page, IDOK)) != FALSE; }, 10000));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program->WaitForExit(30000));
    const auto calls = policy.Calls();
    // The pages' reading object (loaded again once the tick was saved), the
    // other tool's, the tick's own: every one released, only two saves.
    const auto made = std::count(calls.begin(), calls.end(), L"create");
    EXPECT_GE(made, 3);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"release"), made);
    EXPECT_EQ(Saves(calls), 2u) << "the other tool's and the tick's";
    EXPECT_TRUE(OtherToolsValue().IsDword(7));
    const Tavrin::Core::CThemeSettings theme; // builds no policy object
    const auto& actionCenter = theme.disableNotificationCenter;
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, policy.SectionPath(true) + L"\\" + actionCenter.KeyPath(),
                           actionCenter.ValueName())
                    .IsDword(1));
}
