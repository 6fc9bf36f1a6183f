#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/settings/ChangeJournal.h"
#include "core/settings/Location.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

// The running program with the restore-point stand-in of the test prefix
// switched on (tests/helpers/srclient): a restore point that takes as long as
// System Restore's shadow copy can.
using namespace Tavrin::Test;
using Tavrin::Core::CLocation;

namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kFontsKey[] = L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts";
constexpr wchar_t kDelayVariable[] = L"TAVRIN_TEST_RESTORE_POINT_MS";
constexpr wchar_t kLogVariable[] = L"TAVRIN_TEST_RESTORE_POINT_LOG";
// The box the cases tick and the value it writes.
constexpr int kBox = IDC_LOCATION_SENSORS;

// Sets an environment variable of this process (which the program inherits)
// while it lives.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::wstring& value) : m_name(name)
    {
        ::SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedVariable() { ::SetEnvironmentVariableW(m_name, nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* m_name;
};

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    for (DWORD start = ::GetTickCount(); !condition(); ::Sleep(50))
        if (::GetTickCount() - start > timeoutMs)
            return condition();
    return true;
}

// Whether the window's thread takes a message within a second.
bool Answers(HWND window)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
}

} // namespace

class RestorePointInProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteString(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L"", L"notFirstRun");
        ClearCatalogue(restorer, model);
    }

    // Starts the program with a restore point of `delayMs` and opens the
    // location page; `dpi` 0 keeps the prefix's.
    void Start(DWORD delayMs, DWORD dpi = 0)
    {
        if (dpi) {
            WriteDword(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", dpi);
            WriteDword(HKEY_LOCAL_MACHINE, kFontsKey, L"LogPixels", dpi);
        }
        delay = std::make_unique<ScopedVariable>(kDelayVariable, std::to_wstring(delayMs));
        log = std::make_unique<ScopedVariable>(kLogVariable, logFile);
        program = std::make_unique<RunningProgram>();
        ASSERT_TRUE(program->Started());
        main = WaitForWindowOf(program->Id(), ProgramWindow::MainWindow, 120000);
        ASSERT_NE(main, nullptr);
        Click(::GetDlgItem(main, IDC_BTN_LOCATION));
        // The pages share control ids: the location page is the one shown.
        ASSERT_TRUE(WaitFor(
            [&] {
                for (HWND child = ::FindWindowExW(main, nullptr, L"#32770", nullptr); child && !page;
                     child = ::FindWindowExW(main, child, L"#32770", nullptr))
                    if (::IsWindowVisible(child) && ::GetDlgItem(child, kBox))
                        page = child;
                return page != nullptr;
            },
            10000));
    }
    bool Written() const { return StateOf(model) != before; }
    HWND Note() const { return ::GetDlgItem(page, IDC_RESTORE_POINT_NOTE); }
    bool NoteShown() const { return Note() && ::IsWindowVisible(Note()); }
    std::vector<std::string> Log() const
    {
        std::vector<std::string> lines;
        std::ifstream in(Tavrin::Platform::Narrow(logFile));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    bool Journalled() const
    {
        const EntryPlace place = PlaceOf<CLocation>(model, &CLocation::disableSensors);
        for (const auto& entry : Tavrin::Core::ReadJournal().entries)
            if (entry.place.keyPath == place.path && entry.place.valueName == place.name)
                return true;
        return false;
    }

    const CLocation model; // only for the places of its values
    RegistryRestorer restorer;
    ClearedJournal journal;
    RegistryValueBackup marker{HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L""};
    RegistryValueBackup userDpi{HKEY_CURRENT_USER, kDesktopKey, L"LogPixels"};
    RegistryValueBackup machineDpi{HKEY_LOCAL_MACHINE, kFontsKey, L"LogPixels"};
    TempFolder folder;
    const std::wstring logFile = folder.File(L"restore-point.log");
    const std::vector<std::string> before = StateOf(model);
    std::unique_ptr<ScopedVariable> delay, log;
    std::unique_ptr<RunningProgram> program;
    HWND main = nullptr;
    HWND page = nullptr;
};

// The long case: the window answers all through a restore point of thirty
// seconds, and the change is made, journalled, once the restore point is.
TEST_F(RestorePointInProgram, TheWindowAnswersThroughoutAThirtySecondRestorePoint)
{
    Start(30000);
    Click(::GetDlgItem(page, kBox));
    int checks = 0;
    for (DWORD start = ::GetTickCount(); !Written() && ::GetTickCount() - start < 90000; ::Sleep(250)) {
        ASSERT_TRUE(Answers(main)) << "after " << checks << " answers";
        ++checks;
    }
    ASSERT_TRUE(Written());
    EXPECT_GT(checks, 20) << "the change did not wait for the restore point";
    EXPECT_TRUE(Journalled());
    EXPECT_EQ(Log(), (std::vector<std::string>{"begin Tavrin settings change", "begun 7"}));
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowEnabled(::GetDlgItem(page, kBox)) != FALSE; }, 10000));
    EXPECT_FALSE(NoteShown());
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program->WaitForExit(30000));
    EXPECT_EQ(Log().back(), "end 7") << "the run ends its restore point";
}

class RestorePointNoteInProgram : public RestorePointInProgram,
                                  public ::testing::WithParamInterface<DWORD> {};

TEST_P(RestorePointNoteInProgram, TheNoteComesTheBoxesWaitAndGoingOnMakesTheChangeJournalled)
{
    Start(30000, GetParam());
    Click(::GetDlgItem(page, kBox));
    ASSERT_TRUE(WaitFor([&] { return Answers(main) && NoteShown(); }, 10000));
    EXPECT_FALSE(Written());
    for (int id : {IDC_LOCATION_LOCATE_SYSTEM, IDC_LOCATION_SENSORS, IDC_LOCATION_GEOLOCATION,
                   IDC_LOCATION_APP_ACCESS, IDCANCEL, IDOK})
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page, id))) << id;
    EXPECT_EQ(TextOf(Note()),
              L"Windows is making a restore point before the change, so that the change can be rolled back.");
    const HWND goOn = ::GetDlgItem(Note(), IDC_RESTORE_POINT_GO_ON);
    ASSERT_NE(goOn, nullptr);
    EXPECT_EQ(TextOf(goOn), L"Go on without it");
    ::Sleep(300); // a few steps of the bar
    const WindowCapture shot = CaptureScreenOf(main);
    EXPECT_TRUE(shot.SavePng(ScreenshotPath(L"restore-point-note-" + std::to_wstring(GetParam()) + L"dpi")));

    ::SendMessageW(goOn, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return Written(); }, 10000));
    EXPECT_TRUE(Journalled());
    EXPECT_EQ(Log(), (std::vector<std::string>{"begin Tavrin settings change"}))
        << "made while the restore point was still being made";
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowEnabled(::GetDlgItem(page, IDOK)) != FALSE; }, 10000));
    EXPECT_FALSE(NoteShown());
    EXPECT_EQ(::SendMessageW(::GetDlgItem(page, kBox), BM_GETCHECK, 0, 0), BST_CHECKED);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program->WaitForExit(30000));
}

INSTANTIATE_TEST_SUITE_P(Dpi, RestorePointNoteInProgram, ::testing::Values(96u, 144u),
                         [](const auto& info) { return std::to_string(info.param) + "dpi"; });

// Closing waits for nothing: the process ends while System Restore is still
// at work, and the change that waited is not made, nor journalled.
TEST_F(RestorePointInProgram, ClosingDuringTheWaitEndsTheProgramAndDropsTheChange)
{
    Start(60000);
    Click(::GetDlgItem(page, kBox));
    ASSERT_TRUE(WaitFor([&] { return NoteShown(); }, 10000));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program->WaitForExit(20000));
    EXPECT_EQ(Log(), (std::vector<std::string>{"begin Tavrin settings change"}))
        << "the process ended while the restore point was being made";
    EXPECT_FALSE(Written());
    EXPECT_FALSE(Tavrin::Core::JournalHoldsEntries());
    EXPECT_NE(Tavrin::Core::ReadJournal().state, Tavrin::Core::Journal::State::Damaged);
}
