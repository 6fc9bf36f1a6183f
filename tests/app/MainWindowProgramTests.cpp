#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/InteractiveInstance.h"
#include "app/TavrinDlg.h"
#include "core/settings/Privacy.h"
#include "core/settings/Security.h"
#include "res/resource.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

using namespace Tavrin::Test;

namespace {

// Polls another program's windows for at most 10 s.
bool WaitFor(const std::function<bool()>& condition)
{
    for (DWORD start = ::GetTickCount(); !condition(); ::Sleep(50))
        if (::GetTickCount() - start > 10000)
            return condition();
    return true;
}

constexpr wchar_t kFirstRunKey[] = L"Software\\Tavrin";
// The program keeps its first-run marker in the registry view of its own
// width (the redirected one for the shipped 32-bit program on 64-bit
// Windows), which is this test program's default view.
constexpr REGSAM kMarkerView = 0;
// The program's profile: the registry key "Tavrin", then its application
// name, the base name of the program file.
constexpr wchar_t kProfileKey[] = L"Software\\Tavrin\\tavrin";

} // namespace

class ProgramOnWindows10 : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"", kMarkerView);
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
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"", kMarkerView).IsString(L"notFirstRun"));
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

namespace {

// Clicks a section button of the main window and waits for its page, known
// by one of its controls; null when it does not show.
HWND OpenPage(HWND main, int buttonId, int itemId)
{
    Click(::GetDlgItem(main, buttonId));
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 10000; ::Sleep(100))
        for (HWND page = ::FindWindowExW(main, nullptr, L"#32770", nullptr); page;
             page = ::FindWindowExW(main, page, L"#32770", nullptr))
            if (::IsWindowVisible(page) && ::GetDlgItem(page, itemId))
                return page;
    return nullptr;
}

// Ticks a row of a page in the running program, as a user's click does, and
// checks where its values landed: what the catalogue says in the 64-bit view,
// nothing in the redirected 32-bit copy.
template <typename Model> void TickInProgram(HWND page, const SettingsPageLayout& layout, int rowId)
{
    SCOPED_TRACE("row " + std::to_string(rowId));
    const Model model; // only for the places of its values
    const auto* row = RowOfBox<Model>(layout, rowId);
    ASSERT_NE(row, nullptr);
    const auto expected = AfterSteps(StateOf(model), row->tick);
    const auto redirected = RedirectedStateOf(model);
    Click(::GetDlgItem(page, rowId));
    const DWORD start = ::GetTickCount();
    while (StateOf(model) != expected && ::GetTickCount() - start < 10000)
        ::Sleep(100);
    EXPECT_EQ(StateOf(model), expected);
    EXPECT_EQ(RedirectedStateOf(model), redirected);
}

} // namespace

TEST_F(ProgramOnWindows10, PrivacyAndSecurityClicksLandInThe64BitView)
{
    const wchar_t marker[] = L"notFirstRun";
    WriteStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"", REG_SZ, marker, sizeof(marker), kMarkerView);
    RegistryRestorer restorer;
    ClearCatalogue(restorer, Tavrin::Core::CPrivacy());
    ClearCatalogue(restorer, Tavrin::Core::CSecurity());
    FramedProgramWindows framed;
    RunningProgram program;
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindowOf(program.Id(), ProgramWindow::MainWindow, 120000);
    ASSERT_NE(main, nullptr);
    ::Sleep(1000);
    EXPECT_TRUE(CaptureScreenOf(main).SavePng(ScreenshotPath(L"program-main-window")));

    HWND privacy = OpenPage(main, IDC_BTN_PRIVACY, IDC_PRIVACY_ADVERTISING_ID);
    ASSERT_NE(privacy, nullptr);
    TickInProgram<Tavrin::Core::CPrivacy>(privacy, CPrivacyDlg::kLayout, IDC_PRIVACY_ADVERTISING_ID);
    ::Sleep(500);
    EXPECT_TRUE(CaptureScreenOf(main).SavePng(ScreenshotPath(L"program-privacy-page")));
    Click(::GetDlgItem(privacy, IDOK));

    HWND security = OpenPage(main, IDC_BTN_SECURITY, IDC_SECURITY_TELEMETRY);
    ASSERT_NE(security, nullptr);
    EXPECT_NE(security, privacy);
    TickInProgram<Tavrin::Core::CSecurity>(security, CSecurityDlg::kLayout, IDC_SECURITY_TELEMETRY);
    TickInProgram<Tavrin::Core::CSecurity>(security, CSecurityDlg::kLayout, IDC_SECURITY_WIFI_SENSE);
    // The page's Done would ask for a restart; the program is simply ended.
}

namespace {

// The restart question of the running program, answered No; false when it
// did not come.
bool AnswerRestartQuestion(DWORD process, DWORD timeoutMs)
{
    HWND box = WaitForWindowOf(process, ProgramWindow::MessageBox, timeoutMs);
    if (!box)
        return false;
    EXPECT_EQ(TextOf(::GetDlgItem(box, 0xFFFF)), std::wstring(CTavrinDlg::kRestartQuestion));
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, IDNO)));
    return true;
}

} // namespace

// The keyboard alone, in the running program: Tab to "Security", Enter,
// Space on the first box, Enter back to the home view with the restart
// question, and the program goes on; Alt+F4 asks again and ends it.
TEST_F(ProgramOnWindows10, KeyboardOnlyTicksASecurityBoxAndEnterNeverEndsTheProgram)
{
    const wchar_t marker[] = L"notFirstRun";
    WriteStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"", REG_SZ, marker, sizeof(marker), kMarkerView);
    RegistryRestorer restorer;
    const Tavrin::Core::CSecurity model;
    ClearCatalogue(restorer, model);
    RunningProgram program;
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindowOf(program.Id(), ProgramWindow::MainWindow, 120000);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FocusOf(main) == ::GetDlgItem(main, IDC_BTN_PRIVACY); }));
    for (int id : {IDC_BTN_LOCATION, IDC_BTN_SECURITY}) {
        ASSERT_TRUE(TypeKey(main, VK_TAB));
        ASSERT_TRUE(WaitFor([&] { return FocusOf(main) == ::GetDlgItem(main, id); })) << id;
    }
    ASSERT_TRUE(TypeKey(main, VK_RETURN));
    ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(::GetDlgItem(main, IDC_BTN_SECURITY)); }));
    // The page is shown before it moves the focus to its first box.
    const auto focusedRow = [&] {
        return RowOfBox<Tavrin::Core::CSecurity>(CSecurityDlg::kLayout, ::GetDlgCtrlID(FocusOf(main)));
    };
    ASSERT_TRUE(WaitFor([&] { return focusedRow() != nullptr; }))
        << "the focus is not on a box of the security page";
    // Under a slow machine the page may still be moving the focus to its
    // first box: the row is the one Space reached, read once it changed.
    const auto before = StateOf(model);
    ASSERT_TRUE(TypeKey(main, VK_SPACE));
    EXPECT_TRUE(WaitFor([&] { return StateOf(model) != before; }));
    // The box is disabled while its change is made; the focus comes back
    // to it when the change is done.
    EXPECT_TRUE(WaitFor([&] { return focusedRow() != nullptr; }));
    const auto* row = focusedRow();
    ASSERT_NE(row, nullptr) << "the focus left the security page's boxes";
    const auto ticked = AfterSteps(before, row->tick);
    EXPECT_EQ(StateOf(model), ticked);

    ASSERT_TRUE(TypeKey(main, VK_RETURN));
    EXPECT_TRUE(AnswerRestartQuestion(program.Id(), 10000));
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(::GetDlgItem(main, IDC_BTN_SECURITY)) != FALSE; }));
    ::Sleep(300);
    EXPECT_FALSE(program.WaitForExit(0)) << "Enter on the page ended the program";
    EXPECT_EQ(StateOf(model), ticked);

    ASSERT_TRUE(TypeKey(main, VK_F4, {VK_MENU}));
    EXPECT_TRUE(AnswerRestartQuestion(program.Id(), 10000));
    EXPECT_TRUE(program.WaitForExit(30000));
}

// One window per session: a second start brings the first copy's window
// back to the front and ends; once the window closes, the next start opens
// its own at once, while the first copy may still be ending.
TEST_F(ProgramOnWindows10, ASecondStartBringsTheFirstWindowToTheFrontAndEnds)
{
    const wchar_t marker[] = L"notFirstRun";
    WriteStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"", REG_SZ, marker, sizeof(marker), kMarkerView);
    WriteDword(HKEY_CURRENT_USER, kProfileKey, L"showCompatibility", 1);
    FramedProgramWindows framed;
    RunningProgram first;
    ASSERT_TRUE(first.Started());
    HWND main = WaitForWindowOf(first.Id(), ProgramWindow::MainWindow, 120000);
    ASSERT_NE(main, nullptr);
    ::PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return ::IsIconic(main) != FALSE; }));

    const ProcessResult second = RunProcess(L"\"" + BinFolder() + L"\\tavrin.exe\"", 60000, BinFolder());
    EXPECT_FALSE(second.timedOut) << "the second start opened a window of its own";
    EXPECT_EQ(second.exitCode, static_cast<DWORD>(CInteractiveInstance::kAlreadyRunning));
    EXPECT_TRUE(WaitFor([&] { return !::IsIconic(main); })) << "the first window stayed minimised";
    EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == main; }));
    EXPECT_EQ(first.ExitCode(), static_cast<DWORD>(STILL_ACTIVE));
    ::Sleep(500);
    EXPECT_TRUE(CaptureScreenOf(main).SavePng(ScreenshotPath(L"program-brought-to-front")));

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    RunningProgram next;
    ASSERT_TRUE(next.Started());
    HWND nextMain = WaitForWindowOf(next.Id(), ProgramWindow::MainWindow, 120000);
    EXPECT_NE(nextMain, nullptr) << "a copy that was closing kept the next from opening its window";
    EXPECT_TRUE(first.WaitForExit(30000));
    if (nextMain)
        ::PostMessageW(nextMain, WM_CLOSE, 0, 0);
    EXPECT_TRUE(next.WaitForExit(30000));
}
