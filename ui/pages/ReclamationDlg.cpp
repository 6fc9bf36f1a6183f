#include "ui/pages/ReclamationDlg.h"
#include "ui/controls/PageDrawing.h"

#include "core/reclaim/DiskCleanup.h"
#include "core/reclaim/Reclamation.h"
#include "core/settings/RestorePoint.h"
#include "framework/CWinApp.h"
#include "res/resource.h"
#include "ui/pages/PageMessages.h"

namespace {
constexpr UINT kMarqueeIntervalMs = 2;
}

CReclamationDlg::CReclamationDlg() : CBaseWnd(IDD_RECLAMATION) {}

CReclamationDlg::~CReclamationDlg()
{
    // The worker talks to this page's windows with synchronous calls, which
    // this thread could not serve while blocked in join(): take the windows
    // down first, so those calls fail at once instead of waiting on us.
    ::SetEvent(m_closing.Get());
    if (m_hWnd)
        DestroyWindow();
    if (m_cleanupThread.joinable())
        m_cleanupThread.join();
}

void CReclamationDlg::DoDataExchange()
{
    BindControl(IDC_CLEANUP_PROGRESS, m_progress);
    BindControl(IDC_CLEANUP_START, m_cleanButton);
    BindControl(IDOK, m_doneButton);
    BindControl(IDC_CLEANUP_HEADING, m_heading);
    BindControl(IDC_CLEANUP_WARNING, m_warning);
}

BOOL CReclamationDlg::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    m_header.SetPath(L"images/headers/reclamation-title.PNG");
    m_heading.SetTextColor(0xFF000000);
    m_heading.SetFont(CreateMessageFont(FontSpec::Regular(14), GetDpi()));
    m_warning.SetTextColor(0xFF000000);
    return TRUE;
}

BOOL CReclamationDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_CLEANUP_START:
            StartRun();
            return TRUE;
        case IDOK:
            ::SendMessageW(GetParent(), WM_PAGE_DONE, 0, 0);
            return TRUE;
        }
    }
    return CBaseWnd::OnCommand(wParam, lParam);
}

void CReclamationDlg::StartRun()
{
    if (m_cleanupThread.joinable())
        return;
    m_progress.EnableWindow(TRUE);
    m_progress.SetMarquee(true, kMarqueeIntervalMs);
    m_cleanButton.EnableWindow(FALSE);
    m_doneButton.EnableWindow(FALSE);
    m_cleanupThread =
        std::thread(&CReclamationDlg::Run, RunWindows{m_hWnd, m_doneButton.GetSafeHwnd(),
                                                      m_progress.GetSafeHwnd(), m_closing.Get()});
}

void CReclamationDlg::Run(RunWindows windows)
{
    DWORD startError = ERROR_SUCCESS;
    {
        // The flags are settings changes too: the run's restore point first.
        const auto gate = Tavrin::Core::RunRestorePoint::Instance().Start();
        const HANDLE waits[] = {gate->Get(), windows.closing};
        if (::WaitForMultipleObjects(2, waits, FALSE, Tavrin::Core::kLongestRestorePointWaitMs) ==
            WAIT_OBJECT_0 + 1)
            return; // the page went first: nothing was changed
        Tavrin::Core::Reclamation selection;
        startError = Tavrin::Core::RunDiskCleanup();
    }
    // When the program was closed during the run these windows are gone and
    // the calls fail at once.
    ::EnableWindow(windows.done, TRUE);
    ::SendMessageW(windows.progress, PBM_SETMARQUEE, FALSE, 0);
    ::EnableWindow(windows.progress, FALSE);
    if (::IsWindow(windows.page))
        ::MessageBoxW(windows.page, OutcomeMessage(startError), kMessageCaption, MB_OK);
}

const wchar_t* CReclamationDlg::OutcomeMessage(DWORD startError)
{
    switch (startError) {
    case ERROR_SUCCESS:
        return kCompletedMessage;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return kNotFoundMessage;
    default:
        // There, but not startable: a damaged file, no rights, no memory.
        return kNotStartedMessage;
    }
}

void CReclamationDlg::DrawContent(Gdiplus::Graphics& graphics)
{
    DrawHeaderAndWhitePanel(graphics, m_header.Get(), GetClientRect(), PageColors::kBlue, GetDpi(),
                            {Scaled(20), std::nullopt});
}
