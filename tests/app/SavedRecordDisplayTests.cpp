// What the user sees of a record that could not be saved or read, at the
// design scale and at 144 DPI. Wine reads the DPI when a process starts, so
// the test sets it in the prefix and starts this program again per scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/TavrinApp.h"
#include "app/TavrinDlg.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "tests/app/MainWindowSupport.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "tests/ui/SampleResults.h"
#include "ui/pages/PageMessages.h"
#include "ui/pages/PreWin10Dlg.h"
#include "ui/skin/Dpi.h"

using namespace Tavrin::Test;

namespace {

constexpr DWORD kScales[] = {96, 144};
constexpr wchar_t kScaleVariable[] = L"TAVRIN_SAVED_RECORD_DPI";
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kFontsKey[] = L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts";
constexpr wchar_t kAppName[] = L"TavrinSavedRecordDisplayTests";

DWORD ScaleOfThisRun()
{
    wchar_t value[16] = {};
    const DWORD length = ::GetEnvironmentVariableW(kScaleVariable, value, 16);
    return length && length < 16 ? std::wcstoul(value, nullptr, 10) : 0;
}

} // namespace

// One run at the scale named by TAVRIN_SAVED_RECORD_DPI; skipped when the
// test below did not start it.
TEST(SavedRecordAtOneScale, ResultsAndCompatibilityPages)
{
    const DWORD dpi = ScaleOfThisRun();
    if (!dpi)
        GTEST_SKIP() << "started by SavedRecordDisplay.BothPagesAtEachScale";
    ASSERT_EQ(Dpi::OfSystem(), dpi);
    const std::wstring scale = std::to_wstring(dpi) + L"dpi";
    CTavrinApp app;
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT result;
    ASSERT_NO_FATAL_FAILURE(PrepareMainWindow(app, kAppName, result));
    TempFolder folder;
    ScopedCurrentFolder inFolder(folder.Path());
    ASSERT_TRUE(inFolder.Entered());

    // The results page of a scan whose record could not be saved.
    {
        Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT pc = ReadyPc();
        CPreWin10Dlg dialog(&pc);
        ASSERT_TRUE(dialog.Create(IDD_PREWIN10, nullptr));
        dialog.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dialog.ShowWindow(SW_SHOW);
        ::ShowWindow(dialog.GetDlgItem(IDC_START_SCAN), SW_HIDE);
        CResulstDlg& page = dialog.ResultsPage();
        page.FillResults(&pc, false);
        page.MoveWindow(dialog.GetClientRect());
        page.ShowWindow(SW_SHOW);
        PumpMessages();
        ASSERT_FALSE(CaptureWindow(page).Empty());
        const std::wstring message =
            Tavrin::UI::kMessagePrefix + std::wstring(Tavrin::UI::kRecordNotSavedText);
        const std::list<std::wstring> lines = page.Lines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), message), lines.end());
        // The whole message is on the page, not only in a tooltip.
        EXPECT_EQ(std::count(page.CutLines().begin(), page.CutLines().end(), message), 0);
        EXPECT_FALSE(SaveScreenshot(page, L"saved-record-" + scale + L"-results-not-saved").empty());
    }

    // The main window and its compatibility page with every record cut
    // short: the longest note, and every section naming its file.
    {
        RegistryValueBackup firstRun(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L"");
        WriteString(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L"", L"notFirstRun");
        PolicyServer policy;
        ASSERT_TRUE(SaveLostInventories(result, L"Gone"));
        const wchar_t* const files[] = {Tavrin::Core::kDriversFile, Tavrin::Core::kApplicationsFile,
                                        Tavrin::Core::kExtensionsFile};
        for (const wchar_t* file : files) {
            const std::string bytes = ReadFileBytes(file);
            ASSERT_TRUE(WriteFileBytes(file, bytes.substr(0, bytes.size() / 2)));
        }
        {
            CTavrinDlg window(&result);
            window.SetRestartAction([] {});
            ASSERT_TRUE(window.Create(IDD_TAVRIN_DIALOG, nullptr));
            window.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            window.ShowWindow(SW_SHOW);
            PumpMessages();
            const CThemeLabel& note = window.GetIssuesNote();
            EXPECT_NE(note.GetText().find(L"3 unreadable records"), std::wstring::npos);
            EXPECT_EQ(note.GetShownText(), note.GetText());
            EXPECT_FALSE(SaveScreenshot(window, L"saved-record-" + scale + L"-home-issues-note").empty());

            CCompatibilityDlg& page = window.GetCompatibilityPage();
            ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BTN_COMPATIBILITY, BN_CLICKED), 0);
            ASSERT_TRUE(PumpUntil([&] { return page.IsWindowVisible() != FALSE; }));
            EXPECT_EQ(page.UnreadableRecords().size(), 3u);
            // Each bar and, opened alone (the page scrolls with all three
            // open), each label says it whole.
            const struct {
                CButtonHeader& header;
                int label;
            } sections[] = {{page.GetDriversHeader(), IDC_LABEL_DRIVERS},
                            {page.GetApplicationsHeader(), IDC_LABEL_APPLICATIONS},
                            {page.GetExtensionsHeader(), IDC_LABEL_EXTENSIONS}};
            for (const auto& section : sections) {
                section.header.Toggle();
                PumpMessages();
                ASSERT_FALSE(CaptureWindow(page).Empty());
                const CThemeLabel& title = section.header.GetTitle();
                EXPECT_EQ(title.GetShownText(), title.GetText());
                auto* label =
                    dynamic_cast<CThemeLabel*>(CWnd::FromHandlePermanent(page.GetDlgItem(section.label)));
                ASSERT_NE(label, nullptr);
                EXPECT_NE(label->GetText().find(L".saved"), std::wstring::npos) << section.label;
                EXPECT_EQ(label->GetShownText(), label->GetText()) << section.label;
                section.header.Toggle();
            }
            page.GetDriversHeader().Toggle();
            PumpMessages();
            EXPECT_FALSE(
                SaveScreenshot(page, L"saved-record-" + scale + L"-compatibility-unreadable").empty());
            ::SendMessageW(window, WM_PAGE_DONE, 0, 0);
        }
        DeleteTree(HKEY_CURRENT_USER, std::wstring(L"Software\\Tavrin\\") + kAppName);
    }
    theSkin.Reset();
}

TEST(SavedRecordDisplay, BothPagesAtEachScale)
{
    wchar_t program[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    for (DWORD dpi : kScales) {
        SCOPED_TRACE(dpi);
        // What the run changes in the prefix goes back when it ends.
        RegistryValueBackup userDpi(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
        RegistryValueBackup machineDpi(HKEY_LOCAL_MACHINE, kFontsKey, L"LogPixels");
        WriteDword(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", dpi);
        WriteDword(HKEY_LOCAL_MACHINE, kFontsKey, L"LogPixels", dpi);
        ::SetEnvironmentVariableW(kScaleVariable, std::to_wstring(dpi).c_str());
        const ProcessResult run =
            RunProcess(L"\"" + std::wstring(program) +
                           L"\" --gtest_filter=SavedRecordAtOneScale.ResultsAndCompatibilityPages",
                       180000);
        ::SetEnvironmentVariableW(kScaleVariable, nullptr);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
    }
}
