#include "ui/pages/SettingsPage.h"

#include "core/settings/Location.h"
#include "core/settings/Privacy.h"
#include "core/settings/RestorePoint.h"
#include "core/settings/Security.h"
#include "core/settings/ThemeSettings.h"
#include "framework/CWinApp.h"
#include "res/resource.h"
#include "ui/controls/PageDrawing.h"
#include "ui/pages/PageMessages.h"

namespace {

constexpr UINT_PTR kNoteTimer = 1;
// The user hears once per run that a change was not made; the boxes show
// every later one.
bool toldChangeNotMade = false;

} // namespace

int BoxOf(const SettingsPageLayout& layout, std::string_view row)
{
    for (const SettingBox& box : layout.boxes)
        if (box.row && row == box.row)
            return box.id;
    return 0;
}

template <typename Model>
CSettingsPage<Model>::CSettingsPage(const SettingsPageLayout& layout)
    : CBaseWnd(layout.templateId), m_layout(layout), m_boxes(layout.boxes.size()),
      m_model(std::make_shared<Model>()), m_labels(layout.textIds.size() + (layout.introductionId ? 1 : 0))
{
    const Gdiplus::ARGB textColor = theSkin.GetColor(L"general/checkbox/text");
    for (CTransButton& box : m_boxes)
        box.SetTextColor(textColor);
}

template <typename Model> void CSettingsPage<Model>::DoDataExchange()
{
    for (size_t i = 0; i < m_boxes.size(); ++i)
        BindControl(m_layout.boxes[i].id, m_boxes[i]);
    for (size_t i = 0; i < m_layout.textIds.size(); ++i)
        BindControl(m_layout.textIds[i], m_labels[i]);
    if (m_layout.introductionId)
        BindControl(m_layout.introductionId, m_labels.back());
}

template <typename Model> BOOL CSettingsPage<Model>::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    m_header.SetPath(m_layout.headerImage);
    ShowRegistryState();
    // Tab goes through the boxes first, then "Reset to Windows Defaults" and
    // "Done", which the templates list first.
    for (int id : {IDCANCEL, IDOK})
        if (HWND button = GetDlgItem(id))
            ::SetWindowPos(button, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetUpFonts();
    return TRUE;
}

template <typename Model> void CSettingsPage<Model>::SetUpFonts()
{
    for (size_t i = 0; i < m_labels.size(); ++i) {
        const bool introduction = m_layout.introductionId && i + 1 == m_labels.size();
        m_labels[i].SetFont(CreateMessageFont(FontSpec::Regular(8).Italic(!introduction), GetDpi()));
    }
}

template <typename Model> void CSettingsPage<Model>::OnDpiChanged()
{
    SetUpFonts();
    PlaceRestorePointNote();
}

template <typename Model> void CSettingsPage<Model>::ShowRegistryState()
{
    // The boxes stay as they are while a change is pending; they show the
    // registry once it is done.
    if (m_change.Pending()) {
        m_pending.reread = true;
        return;
    }
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        // A bound box without a row (the theme page's hidden accent box) has
        // no registry state to show.
        if (const auto* row = RowOfBox<Model>(m_layout, m_layout.boxes[i].id))
            m_boxes[i].SetCheck(Tavrin::Core::IsTicked(*m_model, *row) ? BST_CHECKED : BST_UNCHECKED);
    }
    EnableControls(true);
}

template <typename Model> void CSettingsPage<Model>::EnableControls(bool enable)
{
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        const auto* row = RowOfBox<Model>(m_layout, m_layout.boxes[i].id);
        // A tick that could write nothing must not look as if it worked.
        if (row)
            m_boxes[i].EnableWindow(enable && Tavrin::Core::IsAvailable(*m_model, *row));
    }
    for (int id : {IDCANCEL, IDOK})
        if (HWND button = GetDlgItem(id))
            ::EnableWindow(button, enable);
}

template <typename Model> BOOL CSettingsPage<Model>::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return CBaseWnd::OnCommand(wParam, lParam);
    switch (LOWORD(wParam)) {
    case IDC_RESTORE_POINT_GO_ON:
        // For this change and the run's later ones; the restore point, if
        // it comes, still ends with the run.
        Tavrin::Core::RunRestorePoint::Instance().GoOnWithout();
        return TRUE;
    case IDOK:
        ::SendMessageW(GetParent(), WM_PAGE_DONE, 0, 0);
        return TRUE;
    case IDCANCEL:
        OnReset();
        return TRUE;
    }
    OnBoxClicked(LOWORD(wParam));
    return TRUE;
}

template <typename Model> LRESULT CSettingsPage<Model>::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // Template controls that the page leaves to the system (the theme
        // page's logon-background box and its text) sit on the white panel,
        // not on the dialog's grey.
        if (!CWnd::FromHandlePermanent(reinterpret_cast<HWND>(lParam))) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetBkColor(dc, ToColorRef(PageColors::kWhite));
            ::SetTextColor(dc, ToColorRef(theSkin.GetColor(L"general/checkbox/text")));
            return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
        }
        break;
    case WM_SETTINGS_CHANGE_DONE:
        OnChangeDone(static_cast<LSTATUS>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kNoteTimer) {
            ::KillTimer(m_hWnd, kNoteTimer);
            if (m_change.Pending())
                ShowRestorePointNote();
            return 0;
        }
        break;
    case WM_DESTROY:
        // Closing waits for nothing: a change still waiting for the restore
        // point is not made.
        m_change.Drop();
        break;
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
}

template <typename Model> void CSettingsPage<Model>::OnBoxClicked(int controlId)
{
    const auto* row = RowOfBox<Model>(m_layout, controlId);
    if (!row)
        return;
    const bool ticked = ::IsDlgButtonChecked(m_hWnd, controlId) == BST_CHECKED;
    const bool started = StartChange(
        row, [model = m_model, row, ticked] { return Tavrin::Core::Apply(*model, *row, ticked); });
    // A click that reached a box while a change was pending changes nothing.
    if (!started)
        ::CheckDlgButton(m_hWnd, controlId, ticked ? BST_UNCHECKED : BST_CHECKED);
}

template <typename Model> void CSettingsPage<Model>::ClearBoxes()
{
    for (CTransButton& box : m_boxes)
        box.SetCheck(BST_UNCHECKED);
}

template <typename Model> void CSettingsPage<Model>::OnReset()
{
    if (m_change.Pending())
        return;
    if (m_layout.clearBoxesBeforeReset)
        ClearBoxes();
    StartChange(nullptr, [model = m_model] { return Tavrin::Core::Reset(*model); });
}

template <typename Model>
bool CSettingsPage<Model>::StartChange(const Tavrin::Core::SettingRow<Model>* row,
                                       SettingsChange::Apply apply)
{
    if (!m_change.Start(m_hWnd, WM_SETTINGS_CHANGE_DONE, std::move(apply)))
        return false;
    // Disabling the focused box takes the focus away; it comes back when
    // the change is done, so that the keyboard goes on where it was.
    const HWND focus = ::GetFocus();
    m_pending = Pending{row, false, ::IsChild(m_hWnd, focus) ? focus : nullptr};
    EnableControls(false);
    ::SetTimer(m_hWnd, kNoteTimer, kNoteDelayMs, nullptr);
    return true;
}

template <typename Model> void CSettingsPage<Model>::OnChangeDone(LSTATUS status)
{
    if (!m_change.Pending())
        return;
    m_change.Done();
    ::KillTimer(m_hWnd, kNoteTimer);
    m_note.Hide();
    const Pending done = m_pending;
    m_pending = Pending{};
    if (status != ERROR_SUCCESS) {
        ShowRegistryState();
        RestoreFocus(done.focus);
        if (!toldChangeNotMade) {
            toldChangeNotMade = true;
            MessageBox(kChangeNotMade, kMessageCaption, MB_OK | MB_ICONWARNING);
        }
        return;
    }
    if (!done.row && !m_layout.clearBoxesBeforeReset)
        ClearBoxes();
    if (done.row && done.row->asksRestart && m_restartRequired)
        *m_restartRequired = true;
    if (done.reread)
        ShowRegistryState();
    else
        EnableControls(true);
    RestoreFocus(done.focus);
}

template <typename Model> void CSettingsPage<Model>::RestoreFocus(HWND control)
{
    const HWND focus = ::GetFocus();
    if (focus && ::IsWindowEnabled(focus) && ::IsWindowVisible(focus))
        return;
    if (!control || !::IsWindowEnabled(control))
        control = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
    if (control)
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

template <typename Model> void CSettingsPage<Model>::ShowRestorePointNote()
{
    if (!m_note.GetSafeHwnd() && !m_note.Create(m_hWnd, IDC_RESTORE_POINT_NOTE, IDC_RESTORE_POINT_GO_ON,
                                                kRestorePointNote, kGoOnWithout))
        return;
    PlaceRestorePointNote();
    // The focus was on a box that is disabled now.
    const HWND focus = ::GetFocus();
    if (!focus || !::IsWindowEnabled(focus))
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_note.GetButton()), TRUE);
}

template <typename Model> void CSettingsPage<Model>::PlaceRestorePointNote()
{
    if (!m_note.GetSafeHwnd() || !m_change.Pending())
        return;
    // Under "Done", right-aligned with it, over whatever lies there.
    RECT done = {};
    ::GetWindowRect(GetDlgItem(IDOK), &done);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&done), 2);
    m_note.ShowAt(POINT{done.right, done.bottom + Scaled(8)}, GetDpi());
}

template <typename Model> void CSettingsPage<Model>::DrawContent(Gdiplus::Graphics& graphics)
{
    DrawPageBackground(graphics, 0, 0);
}

template <typename Model>
void CSettingsPage<Model>::DrawPageBackground(Gdiplus::Graphics& graphics, int scroll, int panelExtension)
{
    const RECT client = GetClientRect();
    const RECT area{0, -scroll, client.right - client.left, client.bottom - client.top + panelExtension};
    DrawHeaderAndWhitePanel(graphics, m_header.Get(), area, PageColors::kBlue, GetDpi(),
                            {Scaled(20), std::nullopt});
}

template class CSettingsPage<Tavrin::Core::CPrivacy>;
template class CSettingsPage<Tavrin::Core::CSecurity>;
template class CSettingsPage<Tavrin::Core::CLocation>;
template class CSettingsPage<Tavrin::Core::CThemeSettings>;
