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
    // The worker only posts to this page, so nothing it does waits on this
    // thread; a run still waiting for the restore point ends at once.
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
    m_heading.SetTextColor(PageColors::kBlackText);
    m_heading.SetFont(CreateMessageFont(FontSpec::Regular(14), GetDpi()));
    m_warning.SetTextColor(PageColors::kBlackText);
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
    m_cleanupThread = std::thread(&CReclamationDlg::Run, m_hWnd, m_closing.Get());
}

void CReclamationDlg::Run(HWND page, HANDLE closing)
{
    // The flags are settings changes too: the run's restore point first.
    const auto gate = Tavrin::Core::RunRestorePoint::Instance().Start();
    const HANDLE waits[] = {gate->Get(), closing};
    if (::WaitForMultipleObjects(2, waits, FALSE, Tavrin::Core::kLongestRestorePointWaitMs) ==
        WAIT_OBJECT_0 + 1)
        return; // the page went first: nothing was changed
    DWORD startError = ERROR_SUCCESS;
    {
        Tavrin::Core::Reclamation selection;
        startError = Tavrin::Core::RunDiskCleanup();
    }
    // Posted, never sent: the page's thread may be waiting for this one.
    // A page that is gone makes the post fail.
    ::PostMessageW(page, WM_RECLAMATION_DONE, startError, 0);
}

void CReclamationDlg::OnRunDone(DWORD startError)
{
    m_doneButton.EnableWindow(TRUE);
    m_progress.SetMarquee(false, 0);
    m_progress.EnableWindow(FALSE);
    MessageBox(OutcomeMessage(startError), kMessageCaption, MB_OK);
}

LRESULT CReclamationDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RECLAMATION_DONE) {
        OnRunDone(static_cast<DWORD>(wParam));
        return 0;
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
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
