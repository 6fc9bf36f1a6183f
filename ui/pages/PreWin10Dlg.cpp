#include "ui/pages/PreWin10Dlg.h"
#include "ui/controls/PageDrawing.h"

#include "framework/CWinApp.h"
#include "res/resource.h"

using Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT;

namespace {

// Sent by the scan thread when the last file is written.
constexpr UINT WM_SCAN_FINISHED = WM_APP + 0x160;

// Waits for `event` while answering the messages other threads send to this
// thread's windows, so that a thread blocked in such a call can finish.
// Posted messages stay queued.
void WaitAnsweringSentMessages(HANDLE event)
{
    for (;;) {
        DWORD wait = ::MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_SENDMESSAGE);
        if (wait != WAIT_OBJECT_0 + 1)
            return;
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

} // namespace

CPreWin10Dlg::CPreWin10Dlg(COMPATIBILITY_RESULT* result) : CPreWin10Dlg(result, ScanPacing{}) {}

CPreWin10Dlg::CPreWin10Dlg(COMPATIBILITY_RESULT* result, ScanPacing pacing)
    : CBaseWnd(IDD_PREWIN10), m_result(result), m_pacing(pacing)
{
}

CPreWin10Dlg::~CPreWin10Dlg()
{
    // The scan thread calls into this dialog's windows synchronously. Once
    // they are gone those calls fail at once; a call already on its way is
    // answered while we wait. Joining while the windows lived and nothing
    // answered would hang both threads.
    if (m_hWnd)
        DestroyWindow();
    if (m_scanThread.joinable()) {
        WaitAnsweringSentMessages(m_scanEnded.Get());
        m_scanThread.join();
    }
}

BOOL CPreWin10Dlg::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    m_icon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SetIcon(m_icon, TRUE);
    SetIcon(m_icon, FALSE);
    m_scanPage.Create(IDD_SCAN, this);
    m_resultsPage.Create(IDD_RESULTS, this);
    m_header.reset(LoadImageFile(AfxGetInstanceHandle(), L"images/headers/pre-title.PNG"));
    return TRUE;
}

BOOL CPreWin10Dlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_START_SCAN && HIWORD(wParam) == BN_CLICKED) {
        StartScan();
        return TRUE;
    }
    return CBaseWnd::OnCommand(wParam, lParam);
}

LRESULT CPreWin10Dlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SCAN_FINISHED) {
        ShowResults(wParam != 0);
        return 0;
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
}

BOOL CPreWin10Dlg::PreTranslateMessage(MSG* message)
{
    if (message->message != WM_KEYDOWN || message->wParam != VK_RETURN ||
        (message->hwnd != m_hWnd && !::IsChild(m_hWnd, message->hwnd)))
        return CBaseWnd::PreTranslateMessage(message);
    if (message->lParam & (1 << 30))
        return TRUE; // a held key: one press, one action
    if (!m_scanThread.joinable()) {
        StartScan();
        return TRUE;
    }
    // The dialog manager would send a results-page button's command to this
    // dialog, which does not know it, or IDOK, which would end the dialog.
    const HWND focus = ::GetFocus();
    if (focus && ::IsChild(m_resultsPage, focus) &&
        (::SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
        ::SendMessageW(focus, BM_CLICK, 0, 0);
    return TRUE;
}

void CPreWin10Dlg::StartScan()
{
    // One scan per dialog: the button is gone once it has started.
    if (!m_hWnd || m_scanThread.joinable() || !m_result)
        return;
    m_scanEnded.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_scanEnded)
        return;
    m_scanPage.MoveWindow(GetClientRect(), TRUE);
    m_scanPage.ShowWindow(SW_SHOW);
    ::ShowWindow(GetDlgItem(IDC_START_SCAN), SW_HIDE);
    m_dialogWindow = m_hWnd;
    m_scanWindow = m_scanPage.GetSafeHwnd();
    m_scanThread = std::thread([this] {
        Scan();
        ::SetEvent(m_scanEnded.Get());
    });
}

void CPreWin10Dlg::MarkStep(int index, std::int32_t state, DWORD pause)
{
    m_scanPage.SetStepState(index, state);
    ::InvalidateRect(m_scanWindow, nullptr, TRUE);
    ::Sleep(pause);
}

void CPreWin10Dlg::Scan()
{
    const bool requirements[CScanDlg::kRequirementSteps] = {m_result->osEligible, m_result->memoryOk,
                                                            m_result->diskOk,     m_result->directXOk,
                                                            m_result->displayOk,  m_result->processorOk};
    for (int index = 0; index < CScanDlg::kRequirementSteps; ++index)
        MarkStep(index, requirements[index] ? CScanDlg::kPassed : CScanDlg::kFailed,
                 m_pacing.requirementPause);

    // An inventory that could not be saved is no step passed: after the
    // upgrade nothing could show what it held. The measurements, written
    // last, have no step of their own.
    using Tavrin::Core::WindowsUpdate::RecordFile;
    const bool recordSaved =
        Tavrin::Core::WindowsUpdate::SaveRecord(*m_result, [this](RecordFile file, bool saved) {
            if (file != RecordFile::Results)
                MarkStep(6 + static_cast<int>(file), saved ? CScanDlg::kPassed : CScanDlg::kFailed,
                         m_pacing.inventoryPause);
        });

    // The pages are filled and switched on their own thread; after the
    // dialog is gone this call fails and nothing more happens.
    ::SendMessageW(m_dialogWindow, WM_SCAN_FINISHED, recordSaved ? 1 : 0, 0);
}

void CPreWin10Dlg::ShowResults(bool recordSaved)
{
    m_resultsPage.FillResults(m_result, recordSaved);
    m_resultsPage.MoveWindow(GetClientRect(), TRUE);
    m_scanPage.ShowWindow(SW_HIDE);
    m_resultsPage.ShowWindow(SW_SHOW);
}

void CPreWin10Dlg::DrawContent(Gdiplus::Graphics& graphics)
{
    DrawHeaderAndWhitePanel(graphics, m_header.get(), GetClientRect(), PageColors::kPreUpgrade, GetDpi());
}
