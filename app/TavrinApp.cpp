#include "app/TavrinApp.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "app/AdminModes.h"
#include "app/CommandLineParser.h"
#include "app/InteractiveInstance.h"
#include "app/ProfileModes.h"
#include "app/ProgramFolder.h"
#include "app/StartMode.h"
#include "app/TavrinDlg.h"
#include "app/VerifyMode.h"
#include "core/DeploymentPolicy.h"
#include "core/settings/ChangeJournal.h"
#include "core/settings/RestorePoint.h"
#include "framework/CMFCVisualManager.h"
#include "net/InstallerSettings.h"
#include "net/Scheduler.h"
#include "net/SurveyReport.h"
#include "net/UpdateCheck.h"
#include "platform/Module.h"
#include "platform/Text.h"
#include "platform/UserHive.h"
#include "ui/pages/PreWin10Dlg.h"
#include "ui/skin/ImagePreload.h"
#include "ui/skin/Skin.h"

namespace {

// The scan's pauses, shortened by the installer's REG_DWORD
// "ScanPauseMilliseconds" (which the tests set); it never lengthens them.
CPreWin10Dlg::ScanPacing ConfiguredScanPacing()
{
    CPreWin10Dlg::ScanPacing pacing;
    if (std::optional<DWORD> pause = Tavrin::Net::InstallerDword(L"ScanPauseMilliseconds")) {
        pacing.requirementPause = std::min(pacing.requirementPause, *pause);
        pacing.inventoryPause = std::min(pacing.inventoryPause, *pause);
    }
    return pacing;
}

// "/undo": every journalled value back, without a window. Administrators
// run it from a prompt or a script, so the outcome goes to the standard
// streams and the exit code.
int RunUndoMode()
{
    const Tavrin::Core::UndoResult result = Tavrin::Core::UndoAllChanges([] {
        std::puts("Another copy of Tavrin is using the journal of changes; waiting for it to finish.");
        std::fflush(stdout);
    });
    if (result.journalBusy)
        std::fputs("Another copy of Tavrin kept the journal of changes busy; nothing was restored. Run /undo "
                   "again.\n",
                   stderr);
    if (Tavrin::Core::TakeJournalProblem())
        std::fputs("The journal of changes made by Tavrin is damaged or cannot be read; it is ignored.\n",
                   stderr);
    std::printf("Values restored: %u; not restored: %u\n", static_cast<unsigned>(result.restored),
                static_cast<unsigned>(result.failed));
    if (result.failed)
        std::fputs("The values not restored stay in the journal; run /undo again to retry.\n", stderr);
    if (result.restartNeeded)
        std::fputs("Restart Windows for the restored settings to take effect.\n", stdout);
    std::fflush(stdout);
    std::fflush(stderr);
    return result.Succeeded() ? 0 : 1;
}

// The first step of "/install": the program folder gets the access list it
// keeps. A failure is reported and the install goes on; its exit code
// tells the administrator who ran it.
int RunLockProgramFolder()
{
    const DWORD error = Tavrin::App::LockProgramFolder();
    if (error == ERROR_SUCCESS)
        return 0;
    std::fprintf(stderr, "The access list of the program folder could not be set (error %lu).\n",
                 static_cast<unsigned long>(error));
    std::fflush(stderr);
    return 1;
}

std::wstring StartFolder()
{
    std::wstring folder(32768, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    folder.resize(length < folder.size() ? length : 0);
    return folder;
}

} // namespace

CTavrinApp::CTavrinApp()
{
    m_dwRestartManagerSupportFlags = RestartOnly;
}

int CTavrinApp::ExitInstance()
{
    CWinApp::ExitInstance();
    return exitCode;
}

BOOL CTavrinApp::InitInstance()
{
    Tavrin::Platform::DebugLine(L"startup: program entered");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    // A file named on the command line is relative to the folder the
    // program was started in, which the next line leaves.
    const std::wstring startFolder = StartFolder();
    programFolder = Tavrin::Platform::FolderOf(Tavrin::Platform::ModuleFileName(nullptr));
    ::SetCurrentDirectoryW(programFolder.c_str());

    CCommandLineParser parser;
    parser.Parse(m_lpCmdLine);
    switch (SelectStartMode(parser)) {
    case StartMode::Install:
        exitCode = RunLockProgramFolder();
        Tavrin::Net::ConfigureUpdateTask(true);
        // The outcome of the report changes nothing.
        if (!Tavrin::Core::IsPolicySet(Tavrin::Core::DeploymentPolicy::DisableUsageReport))
            Tavrin::Net::MakeInstallReport().Send(false);
        break;
    case StartMode::Uninstall:
        Tavrin::Net::ConfigureUpdateTask(false);
        break;
    case StartMode::Update:
        if (!Tavrin::Core::IsPolicySet(Tavrin::Core::DeploymentPolicy::DisableUpdateCheck))
            Tavrin::Net::CheckForUpdate();
        break;
    case StartMode::Undo:
        exitCode = RunUndoMode();
        break;
    case StartMode::RestoreTask:
        // The rollback of an uninstall that removed the task: the task as
        // "/install" makes it, but no install report, since nothing was
        // installed.
        exitCode = Tavrin::Net::ConfigureUpdateTask(true) ? 0 : 1;
        break;
    case StartMode::Export:
        exitCode = RunExportMode(*parser.Find(L"export"), startFolder);
        break;
    case StartMode::Apply:
        exitCode = RunApplyMode(*parser.Find(L"apply"), startFolder);
        break;
    case StartMode::Scan:
        exitCode = RunScanMode(*parser.Find(L"scan"));
        break;
    case StartMode::Report:
        exitCode = RunReportMode(*parser.Find(L"report"), startFolder);
        break;
    case StartMode::Verify:
        exitCode = RunVerifyMode(*parser.Find(L"verify"));
        break;
    case StartMode::Interactive: {
        // Held until the window has closed, then the next start may open one.
        CInteractiveInstance instance;
        if (instance.Claim())
            RunInteractive();
        else
            exitCode = CInteractiveInstance::kAlreadyRunning;
        break;
    }
    }
    // Every change of the run is behind us (the cleanup thread is joined).
    Tavrin::Core::RunRestorePoint::Instance().EndOfRun();
    return FALSE;
}

void CTavrinApp::RunInteractive()
{
    // Without its skin no window of the program can be drawn.
    if (!theSkin.Load(Tavrin::Platform::JoinPath(programFolder, L"ui.xml"), m_hInstance)) {
        AfxMessageBox(L"Failed to initialize UI: Please reinstall the application", MB_OK);
        return;
    }
    // The framework has no shell manager to create: nothing here browses the
    // shell. Its controls take the system's native look.
    CMFCVisualManager::SetDefaultManager<CMFCVisualManagerWindows>();
    SetRegistryKey(L"Tavrin");
    Tavrin::Platform::DebugLine(L"startup: skin loaded");
    // Whose settings the run shows is decided once, before the inventories
    // and the windows read any of them.
    Tavrin::Platform::UserHive::Current();

    // Measured once, before any window exists, on every Windows version.
    // Meanwhile a worker reads the images the main window opens with, so
    // they are not read one by one while its window is created.
    CImagePreload startImages(m_hInstance, CTavrinDlg::ImagesReadAtStart());
    Tavrin::Core::WindowsUpdate::RunCompatibilityCheck(compatibilityResult);
    startImages.Finish();
    Tavrin::Platform::DebugLine(L"startup: compatibility check done");

    CTavrinDlg mainWindow(&compatibilityResult);
    // Destroyed before the main window; waits for a scan still running.
    CPreWin10Dlg preWin10(&compatibilityResult, ConfiguredScanPacing());
    Tavrin::Platform::DebugLine(L"startup: windows constructed");
    if (compatibilityResult.windowsVersion == Tavrin::Core::WindowsVersionCode::Windows10) {
        m_pMainWnd = &mainWindow;
        mainWindow.DoModal();
    } else {
        m_pMainWnd = &preWin10;
        preWin10.DoModal();
    }
    m_pMainWnd = nullptr;
}
