#include <gtest/gtest.h>

#include <atomic>

#include "core/settings/RestorePoint.h"
#include "platform/Module.h"
#include "platform/RegKey.h"
#include "res/resource.h"
#include "tests/helpers/standins/SystemStandIns.h"
#include "tests/support/PageHostSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/pages/ReclamationDlg.h"

using namespace Tavrin::Test;

namespace {

const wchar_t kVolumeCaches[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\";
const wchar_t* const kHandlers[] = {L"Previous Installations", L"Temporary Setup Files",
                                    L"Upgrade Discarded Files", L"Update Cleanup"};

class ReclamationPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        theSkin.Load(BinFolder() + L"\\ui.xml", ::GetModuleHandleW(nullptr));
        for (const wchar_t* handler : kHandlers)
            backups.emplace_back(std::make_unique<RegistryValueBackup>(
                HKEY_LOCAL_MACHINE, std::wstring(kVolumeCaches) + handler, L"StateFlags1111"));
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_LOG", folder.File(L"cleanmgr.log").c_str());
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_DELAY_MS", L"2500");

        ASSERT_TRUE(host.Create());
        ASSERT_TRUE(page->Create(IDD_RECLAMATION, &host));
        RECT client = host.GetClientRect();
        page->MoveWindow(client);
        page->ShowWindow(SW_SHOW);
        PumpMessages();
    }
    void TearDown() override
    {
        Tavrin::Core::RunRestorePoint::Instance().UseSystemCall();
        // As in the program: the top-level window goes first, then the page
        // object, which waits for its worker. A worker still inside its
        // message box (a case that failed before answering it) is answered.
        MessageBoxCloser closer;
        host.DestroyWindow();
        page.reset();
        theSkin.Reset();
    }

    HWND Item(int id) const { return page->GetDlgItem(id); }
    std::string Log() const { return ReadFileBytes(folder.File(L"cleanmgr.log")); }
    static bool ClearFirstFlags()
    {
        Tavrin::Platform::RegKey key;
        return key.Create(HKEY_LOCAL_MACHINE, std::wstring(kVolumeCaches) + kHandlers[0],
                          KEY_WRITE | KEY_WOW64_64KEY) == ERROR_SUCCESS &&
               key.SetDword(L"StateFlags1111", 0) == ERROR_SUCCESS;
    }
    static DWORD FirstFlags()
    {
        Tavrin::Platform::RegKey key;
        key.Open(HKEY_LOCAL_MACHINE, std::wstring(kVolumeCaches) + kHandlers[0], KEY_READ | KEY_WOW64_64KEY);
        return key.QueryDword(L"StateFlags1111").value_or(0);
    }
    bool ToolFinished() const { return Log().find("end\n") != std::string::npos; }

    TempFolder folder;
    std::vector<std::unique_ptr<RegistryValueBackup>> backups;
    PageHost host;
    std::unique_ptr<CReclamationDlg> page = std::make_unique<CReclamationDlg>();
};

} // namespace

TEST_F(ReclamationPage, RunSelectsTheHandlersRunsTheToolAndReportsCompletion)
{
    SystemFolderStandIns system;
    ASSERT_TRUE(system.Place(L"cleanmgr.exe"));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_CLEANUP_START)));
    SaveScreenshot(*page, L"reclamation-idle");

    // The flags are changes of the run: the restore point comes first.
    ASSERT_TRUE(ClearFirstFlags());
    const DWORD flagsBefore = FirstFlags();
    std::vector<DWORD> flagsAtRestorePoint;
    Tavrin::Core::RunRestorePoint::Instance().SetCall([&](RESTOREPOINTINFOW& info, STATEMGRSTATUS&) {
        if (info.dwEventType == BEGIN_SYSTEM_CHANGE)
            flagsAtRestorePoint.push_back(FirstFlags());
        return TRUE;
    });
    MessageBoxAnswerer answer(IDOK, CReclamationDlg::kMessageCaption, 30000);
    Click(Item(IDC_CLEANUP_START));

    // While the tool runs: both buttons off, the progress bar on.
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_CLEANUP_START)));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDOK)));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_CLEANUP_PROGRESS)));
    ASSERT_TRUE(PumpUntil([&] { return Log().find("start") != std::string::npos; }, 10000));
    SaveScreenshot(*page, L"reclamation-running");

    ASSERT_TRUE(answer.Wait(30000));
    EXPECT_TRUE(ToolFinished());
    EXPECT_EQ(answer.Text(), CReclamationDlg::kCompletedMessage);
    EXPECT_EQ(answer.Caption(), L"Orvane Tools");
    EXPECT_EQ(Log(), "start cleanmgr.exe /sagerun:1111\nend\n");
    EXPECT_EQ(flagsAtRestorePoint, std::vector<DWORD>{flagsBefore});

    PumpUntil([&] { return ::IsWindowEnabled(Item(IDOK)) != FALSE; });
    EXPECT_TRUE(::IsWindowEnabled(Item(IDOK)));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_CLEANUP_PROGRESS)));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_CLEANUP_START))); // one run per program start
    SaveScreenshot(*page, L"reclamation-finished");

    for (const wchar_t* handler : kHandlers) {
        Tavrin::Platform::RegKey key;
        ASSERT_EQ(
            key.Open(HKEY_LOCAL_MACHINE, std::wstring(kVolumeCaches) + handler, KEY_READ | KEY_WOW64_64KEY),
            ERROR_SUCCESS)
            << handler;
        EXPECT_EQ(key.QueryDword(L"StateFlags1111").value_or(0), 2u) << handler;
    }
}

TEST_F(ReclamationPage, AToolThatCannotStartIsReportedHonestly)
{
    // No tool in the system folder, and one that is no program.
    const std::wstring notAProgram = folder.File(L"text.exe");
    ASSERT_TRUE(WriteFileBytes(notAProgram, "this is not a program\r\n"));
    struct Case {
        bool placed;
        const wchar_t* message;
    };
    for (const Case& c :
         {Case{false, CReclamationDlg::kNotFoundMessage}, Case{true, CReclamationDlg::kNotStartedMessage}}) {
        SystemFolderStandIns system;
        if (c.placed) {
            ASSERT_TRUE(system.Place(L"cleanmgr.exe", notAProgram));
        }
        page = std::make_unique<CReclamationDlg>();
        ASSERT_TRUE(page->Create(IDD_RECLAMATION, &host));
        MessageBoxAnswerer answer(IDOK, CReclamationDlg::kMessageCaption, 30000);
        Click(Item(IDC_CLEANUP_START));
        ASSERT_TRUE(answer.Wait(30000));
        EXPECT_EQ(answer.Text(), c.message);
        // Shown by the window's own thread, which may be waiting for the
        // worker: a worker's box would hang both when the page goes.
        EXPECT_EQ(answer.Thread(), ::GetCurrentThreadId());
        PumpUntil([&] { return ::IsWindowEnabled(Item(IDOK)) != FALSE; });
        EXPECT_TRUE(::IsWindowEnabled(Item(IDOK)));
        EXPECT_FALSE(::IsWindowEnabled(Item(IDC_CLEANUP_START)));
        EXPECT_EQ(Log(), "");
    }
}

// System Restore may take minutes: a page that goes meanwhile changes
// nothing and does not wait for it.
TEST_F(ReclamationPage, APageThatGoesWhileTheRestorePointIsMadeChangesNothingAndWaitsForNothing)
{
    SystemFolderStandIns system;
    ASSERT_TRUE(system.Place(L"cleanmgr.exe"));
    ASSERT_TRUE(ClearFirstFlags());
    Tavrin::Platform::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> begun{false}, returned{false};
    Tavrin::Core::RunRestorePoint::Instance().SetCall([&](RESTOREPOINTINFOW&, STATEMGRSTATUS&) {
        begun = true;
        ::WaitForSingleObject(release.Get(), 30000);
        returned = true;
        return TRUE;
    });
    Click(Item(IDC_CLEANUP_START));
    ASSERT_TRUE(PumpUntil([&] { return begun.load(); }, 10000));
    host.DestroyWindow();
    page.reset();
    EXPECT_FALSE(returned.load()) << "the page waited for the restore point";
    ::SetEvent(release.Get());
    ASSERT_TRUE(PumpUntil([&] { return returned.load(); }, 10000));
    EXPECT_EQ(FirstFlags(), 0u);
    EXPECT_EQ(Log(), "");
}

TEST_F(ReclamationPage, DoneSendsThePageDoneMessageToTheHost)
{
    Click(Item(IDOK));
    EXPECT_EQ(host.DoneCount(), 1);
}

TEST_F(ReclamationPage, DestroyingThePageDuringARunWaitsForTheTool)
{
    SystemFolderStandIns system;
    ASSERT_TRUE(system.Place(L"cleanmgr.exe"));
    Click(Item(IDC_CLEANUP_START));
    ASSERT_TRUE(PumpUntil([&] { return Log().find("start") != std::string::npos; }, 10000));
    EXPECT_FALSE(ToolFinished());
    page.reset();
    EXPECT_TRUE(ToolFinished());
}
