#include <gtest/gtest.h>

#include <string>

#include "platform/RegKey.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "tests/helpers/standins/SystemStandIns.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Test;

namespace {

constexpr wchar_t kVolumeCaches[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\";
const wchar_t* const kHandlers[] = {L"Previous Installations", L"Temporary Setup Files",
                                    L"Upgrade Discarded Files", L"Update Cleanup"};

void Post(HWND window, int id)
{
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(50);
    }
    return true;
}

} // namespace

// The real program on Windows 10: the user opens Reclamation, starts the
// cleanup and closes the main window while the (stand-in) tool still runs.
class ReclamationInTheProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Neither the congratulation nor the issues note: straight to the home view.
        Tavrin::Platform::RegKey marker, profile;
        marker.Create(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", KEY_WRITE);
        marker.SetString(L"", L"notFirstRun");
        profile.Create(HKEY_CURRENT_USER, L"Software\\Tavrin\\tavrin", KEY_WRITE);
        profile.SetDword(L"showCompatibility", 1);
        for (const wchar_t* handler : kHandlers)
            flags.emplace_back(std::make_unique<RegistryValueBackup>(
                HKEY_LOCAL_MACHINE, std::wstring(kVolumeCaches) + handler, L"StateFlags1111"));
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_LOG", folder.File(L"cleanmgr.log").c_str());
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_DELAY_MS", L"5000");
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_IMAGES", folder.File(L"images.log").c_str());
    }

    std::string Log() const { return ReadFileBytes(folder.File(L"cleanmgr.log")); }

    RegistryValueBackup firstRun{HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L""};
    RegistryValueBackup note{HKEY_CURRENT_USER, L"Software\\Tavrin\\tavrin", L"showCompatibility"};
    std::vector<std::unique_ptr<RegistryValueBackup>> flags;
    TempFolder folder;
};

TEST_F(ReclamationInTheProgram, ClosingDuringARunEndsTheProgramOnlyAfterTheTool)
{
    // The tool of the system folder runs elevated; copies beside the program
    // (its current folder too) and on the search path are never taken.
    SystemFolderStandIns system;
    ASSERT_TRUE(system.Place(L"cleanmgr.exe"));
    PlantedProgram beside(BinFolder(), L"cleanmgr.exe");
    ASSERT_TRUE(beside.Planted());
    ScopedSearchPath path(BinFolder() + L"\\standins");
    RunningProgram program;
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindowOf(program.Id(), ProgramWindow::MainWindow, 120000);
    ASSERT_NE(main, nullptr);

    Post(main, IDC_BTN_RECLAMATION);
    HWND page = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            page = FindChildDialogWith(main, IDC_CLEANUP_HEADING);
            return page && ::IsWindowVisible(page);
        },
        10000));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(page, IDC_CLEANUP_START)));

    Post(page, IDC_CLEANUP_START);
    ASSERT_TRUE(WaitFor([&] { return Log().find("start") != std::string::npos; }, 20000));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page, IDC_CLEANUP_START)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page, IDOK)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(page, IDC_CLEANUP_PROGRESS)));

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(main); }, 10000));
    // The window is gone but the process waits for the tool.
    EXPECT_EQ(Log().find("end"), std::string::npos);
    EXPECT_FALSE(program.WaitForExit(0));
    ASSERT_TRUE(program.WaitForExit(30000));
    EXPECT_EQ(Log(), "start cleanmgr.exe /sagerun:1111\nend\n");
    EXPECT_EQ(ReadFileBytes(folder.File(L"images.log")),
              Tavrin::Platform::Narrow(SystemFolder() + L"\\cleanmgr.exe", CP_UTF8) + "\n");

    for (const wchar_t* handler : kHandlers) {
        Tavrin::Platform::RegKey key;
        ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, std::wstring(kVolumeCaches) + handler, KEY_READ),
                  ERROR_SUCCESS);
        EXPECT_EQ(key.QueryDword(L"StateFlags1111").value_or(0), 2u) << handler;
    }
}
