#include "app/ChangedBackDlg.h"

#include <commctrl.h>

#include "core/settings/ChosenStates.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"
#include "platform/WorkerThread.h"
#include "res/resource.h"
#include "ui/controls/PageDrawing.h"
#include "ui/pages/PageMessages.h"

namespace {

constexpr int kIntroPoints = 9;

const wchar_t* StateText(bool ticked)
{
    return ticked ? CChangedBackDlg::kTicked : CChangedBackDlg::kCleared;
}

} // namespace

CChangedBackDlg::CChangedBackDlg(std::vector<Item> items, CWnd* parent)
    : CBaseWnd(IDD_CHANGED_BACK, parent), m_items(std::move(items))
{
}

void CChangedBackDlg::DoDataExchange()
{
    BindControl(IDC_CHANGED_BACK_INTRO, m_intro);
}

BOOL CChangedBackDlg::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    m_intro.SetTextColor(PageColors::kBlackText);
    m_intro.SetFont(CreateMessageFont(FontSpec::Regular(kIntroPoints), GetDpi()));
    SetUpList();
    // The keyboard starts in the list, on its first row.
    FocusControl(GetDlgItem(IDC_CHANGED_BACK_LIST));
    return FALSE;
}

void CChangedBackDlg::OnDpiChanged()
{
    m_intro.SetFont(CreateMessageFont(FontSpec::Regular(kIntroPoints), GetDpi()));
    SizeColumns();
}

void CChangedBackDlg::SetUpList()
{
    const HWND list = GetDlgItem(IDC_CHANGED_BACK_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    const wchar_t* const headings[] = {L"Page", L"Setting", L"You chose", L"Now"};
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT;
        column.pszText = const_cast<wchar_t*>(headings[i]);
        ListView_InsertColumn(list, i, &column);
    }
    for (size_t i = 0; i < m_items.size(); ++i) {
        const Item& item = m_items[i];
        LVITEMW row = {};
        row.mask = LVIF_TEXT;
        row.iItem = static_cast<int>(i);
        row.pszText = const_cast<wchar_t*>(item.page.c_str());
        const int index = ListView_InsertItem(list, &row);
        ListView_SetItemText(list, index, 1, const_cast<wchar_t*>(item.box.c_str()));
        ListView_SetItemText(list, index, 2, const_cast<wchar_t*>(StateText(item.chosen)));
        ListView_SetItemText(list, index, 3, const_cast<wchar_t*>(StateText(item.now)));
        ListView_SetCheckState(list, index, TRUE);
    }
    ListView_SetItemState(list, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    SizeColumns();
}

void CChangedBackDlg::SizeColumns()
{
    const HWND list = GetDlgItem(IDC_CHANGED_BACK_LIST);
    RECT client = {};
    ::GetClientRect(list, &client);
    // The box's text takes what the page and the two states leave.
    const int width = client.right - client.left - ::GetSystemMetrics(SM_CXVSCROLL);
    const int shares[] = {16, 52, 16, 16};
    for (int i = 0; i < 4; ++i)
        ListView_SetColumnWidth(list, i, width * shares[i] / 100);
}

std::vector<const CChangedBackDlg::Item*> CChangedBackDlg::TickedItems() const
{
    std::vector<const Item*> ticked;
    const HWND list = GetDlgItem(IDC_CHANGED_BACK_LIST);
    for (size_t i = 0; i < m_items.size(); ++i)
        if (ListView_GetCheckState(list, static_cast<int>(i)))
            ticked.push_back(&m_items[i]);
    return ticked;
}

void CChangedBackDlg::EnableButtons(bool enable)
{
    const bool any = enable && !TickedItems().empty();
    ::EnableWindow(GetDlgItem(IDC_APPLY_AGAIN), any);
    ::EnableWindow(GetDlgItem(IDC_KEEP_AS_IS), any);
    ::EnableWindow(GetDlgItem(IDC_CHANGED_BACK_LIST), enable);
}

BOOL CChangedBackDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_APPLY_AGAIN:
            Start(Action::ApplyAgain);
            return TRUE;
        case IDC_KEEP_AS_IS:
            Start(Action::Keep);
            return TRUE;
        case IDOK:
            // Enter on the list: the default button's action.
            if (::IsWindowEnabled(GetDlgItem(IDC_APPLY_AGAIN)))
                Start(Action::ApplyAgain);
            return TRUE;
        case IDCANCEL:
            // Once started, the action is seen through: its outcome is the window's to show.
            if (m_pending != Action::None)
                return TRUE;
            break;
        }
    }
    return CBaseWnd::OnCommand(wParam, lParam);
}

BOOL CChangedBackDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == IDC_CHANGED_BACK_LIST && header->code == LVN_ITEMCHANGED &&
        m_pending == Action::None)
        EnableButtons(true);
    return CBaseWnd::OnNotify(wParam, lParam, result);
}

void CChangedBackDlg::Start(Action action)
{
    if (m_pending != Action::None)
        return;
    std::vector<const char*> names;
    std::vector<Tavrin::Core::SettingRequest> requests;
    bool restart = false;
    for (const Item* item : TickedItems()) {
        names.push_back(item->name);
        requests.push_back({item->name, item->chosen});
        restart = restart || (action == Action::ApplyAgain && item->asksRestart);
    }
    if (names.empty())
        return;
    bool started = false;
    if (action == Action::ApplyAgain) {
        // As clicks on the boxes: after the run's restore point, journalled and recorded.
        started = m_change.Start(m_hWnd, WM_CHANGED_BACK_DONE, [requests] {
            Tavrin::Core::SettingsBook book;
            const Tavrin::Core::ApplyOutcome outcome =
                book.ApplyAll(requests, Tavrin::Core::PerUserRowsReachable());
            return outcome.failed.empty() && outcome.skipped.empty() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
        });
    } else {
        // No setting changes, so no restore point; reading the rows may
        // still take the policy object's time.
        const HWND window = m_hWnd;
        started = Tavrin::Platform::StartWorkerThread([window, names] {
            LSTATUS status = ERROR_SUCCESS;
            {
                const Tavrin::Platform::ComApartment com;
                status = Tavrin::Core::RecordChosenStates(names);
            }
            ::PostMessageW(window, WM_CHANGED_BACK_DONE, static_cast<WPARAM>(status), 0);
        });
    }
    if (!started)
        return;
    m_pending = action;
    m_restartNeeded = restart;
    EnableButtons(false);
    ::EnableWindow(GetDlgItem(IDCANCEL), FALSE);
}

LRESULT CChangedBackDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORBTN:
        // The buttons sit on the white panel.
        ::SetBkColor(reinterpret_cast<HDC>(wParam), ToColorRef(PageColors::kWhite));
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    case WM_CHANGED_BACK_DONE:
        if (m_pending == Action::None)
            return 0;
        m_change.Done();
        m_done = m_pending;
        m_pending = Action::None;
        m_status = static_cast<LSTATUS>(wParam);
        EndDialog(IDOK);
        return 0;
    case WM_DESTROY:
        m_change.Drop();
        break;
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
}

void CChangedBackDlg::DrawContent(Gdiplus::Graphics& graphics)
{
    DrawHeaderAndWhitePanel(graphics, nullptr, GetClientRect(), PageColors::kBlue, GetDpi(),
                            {Scaled(6), Scaled(6)});
}
