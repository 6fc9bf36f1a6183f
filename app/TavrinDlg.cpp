#include "app/TavrinDlg.h"
#include "ui/controls/PageDrawing.h"

#include <commctrl.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>

#include "app/ChangedBackDlg.h"
#include "app/RestartSystem.h"
#include "app/TavrinApp.h"
#include "core/DeploymentPolicy.h"
#include "core/settings/ChangeJournal.h"
#include "core/settings/SettingsBook.h"
#include "framework/CAccessible.h"
#include "platform/ComPtr.h"
#include "platform/GdiHandles.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "platform/UserHive.h"
#include "platform/WorkerThread.h"
#include "res/resource.h"
#include "ui/pages/PageMessages.h"

namespace {

using Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT;

// The size of a link's text in the link's font.
SIZE LinkTextSize(HWND link, const std::wstring& shown)
{
    Tavrin::Platform::WindowDc dc(link);
    const Tavrin::Platform::SelectedObject font(
        dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(link, WM_GETFONT, 0, 0)));
    SIZE text = {};
    ::GetTextExtentPoint32W(dc.Get(), shown.c_str(), static_cast<int>(shown.size()), &text);
    return text;
}

bool* ApplicationRestartFlag()
{
    auto* app = dynamic_cast<CTavrinApp*>(AfxGetApp());
    return app ? app->RestartRequiredFlag() : nullptr;
}

} // namespace

CTavrinDlg::CTavrinDlg(COMPATIBILITY_RESULT* result)
    : CBaseWnd(IDD_TAVRIN_DIALOG), m_result(result), m_compatibilityPage(result),
      m_icon(::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_restartRequired(ApplicationRestartFlag()), m_restart([] { RestartSystem(); })
{
    m_securityPage.SetRestartFlag(m_restartRequired);
    m_privacyPage.SetRestartFlag(m_restartRequired);
    m_locationPage.SetRestartFlag(m_restartRequired);
    m_themePage.SetRestartFlag(m_restartRequired);
    // The undo link of the template is a SysLink, which the dialog manager
    // can create only once its class is registered.
    INITCOMMONCONTROLSEX link = {sizeof(link), ICC_LINK_CLASS};
    ::InitCommonControlsEx(&link);
}

// Icons loaded from resources with LoadIcon are shared and never destroyed.
CTavrinDlg::~CTavrinDlg() = default;

void CTavrinDlg::DoDataExchange()
{
    BindControl(IDC_TITLE, m_title);
    BindControl(IDC_ISSUES_NOTE, m_issuesNote);
    for (const Section& section : Sections())
        BindControl(section.info->buttonId, *section.button);
}

BOOL CTavrinDlg::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    SetIcon(m_icon, TRUE);
    SetIcon(m_icon, FALSE);
    m_header.reset(LoadImageFile(AfxGetInstanceHandle(), kHeaderImage));
    m_title.SetTextColor(PageColors::kBlackText);
    m_title.SetFont(CreateMessageFont(FontSpec::Regular(kTitlePoints), GetDpi()));
    // An administrator who elevated for the person at the keyboard sees that
    // person's settings, and must not take them for their own.
    const Tavrin::Platform::UserHive& user = Tavrin::Platform::UserHive::Current();
    if (user.IsOtherUser()) {
        const std::wstring title =
            kOtherUserTitle + (user.User().name.empty() ? user.User().sid : user.User().name);
        m_title.SetText(title);
        // What a screen reader reads.
        m_title.SetWindowText(title);
    }
    SetUpButtons();
    // The template lists the buttons column by column; Tab goes in reading order.
    const std::vector<HWND> buttons = SectionButtons();
    for (size_t i = 1; i < buttons.size(); ++i)
        ArrangeTabOrder({buttons[i - 1], buttons[i]});
    Tavrin::Platform::DebugLine(L"startup: main window controls set up");
    CreatePages();
    Tavrin::Platform::DebugLine(L"startup: pages created");
    SetUpIssuesNote();
    PlaceLinks();
    UpdateUndoLink(true);
    if (m_result && m_result->windowsVersion == Tavrin::Core::WindowsVersionCode::Windows10)
        RunFirstRunCheck();
    ReportJournalProblem();
    // After the congratulation and the issues note.
    if (m_result && m_result->windowsVersion == Tavrin::Core::WindowsVersionCode::Windows10)
        StartChangedBackCheck();
    return TRUE;
}

std::vector<std::wstring> CTavrinDlg::ImagesReadAtStart()
{
    std::vector<std::wstring> paths = {kHeaderImage};
    for (const SectionInfo& section : kSections)
        paths.push_back(ButtonImagePath(section.imageStem, L".png"));
    for (const std::wstring& path : CCompatibilityDlg::ImagesReadAtCreation())
        paths.push_back(path);
    return paths;
}

std::wstring CTavrinDlg::ButtonImagePath(const wchar_t* stem, const wchar_t* suffix)
{
    return std::wstring(L"images/buttons/") + stem + suffix;
}

void CTavrinDlg::SetUpButtons()
{
    for (const Section& section : Sections()) {
        const wchar_t* stem = section.info->imageStem;
        section.button->SetImages(ButtonImagePath(stem, L".png"), ButtonImagePath(stem, L"_over.png"),
                                  ButtonImagePath(stem, L".png"), L"");
        section.button->SizeToImage();
    }
}

void CTavrinDlg::CreatePages()
{
    std::array<Section, 6> sections = Sections();
    std::sort(sections.begin(), sections.end(),
              [](const Section& a, const Section& b) { return a.info->creationRank < b.info->creationRank; });
    for (const Section& section : sections) {
        section.page->Create(section.info->templateId, this);
        Tavrin::Platform::DebugLine(section.info->createdLine);
    }
}

void CTavrinDlg::SetUpIssuesNote()
{
    CWinApp* app = AfxGetApp();
    const int shown = app ? static_cast<int>(app->GetProfileIntW(L"", kShowCompatibilityEntry, 0)) : 0;
    if (shown != 0) {
        m_issuesNote.ShowWindow(SW_HIDE);
        return;
    }
    m_showIssuesNote = true;
    size_t unreadable = 0;
    const size_t count = CountCompatibilityIssues(&unreadable);
    if (app)
        app->WriteProfileInt(L"", kShowCompatibilityEntry, 1);
    std::wstring text = L"* You have " + std::to_wstring(count) + L" compatibility issues";
    if (unreadable == 0) {
        text += L" to review in the Devices & App Compatibility section";
    } else {
        // Shorter, so that the longer count still fits the note's one line.
        text += L" and " + std::to_wstring(unreadable) +
                (unreadable == 1 ? L" unreadable record" : L" unreadable records") +
                L" to review in Devices & App Compatibility";
    }
    m_issuesNote.SetText(text);
    m_issuesNote.SetTextColor(PageColors::kWarningText);
    m_issuesNote.SetFont(CreateMessageFont(FontSpec::Regular(kIssuesNotePoints), GetDpi()));
}

void CTavrinDlg::OnDpiChanged()
{
    m_title.SetFont(CreateMessageFont(FontSpec::Regular(kTitlePoints), GetDpi()));
    if (m_showIssuesNote)
        m_issuesNote.SetFont(CreateMessageFont(FontSpec::Regular(kIssuesNotePoints), GetDpi()));
    // The page on show covers the client area at its new size.
    for (const Section& section : Sections()) {
        section.button->SizeToImage();
        if (section.page->GetSafeHwnd())
            section.page->MoveWindow(GetClientRect(), section.page->IsWindowVisible());
    }
    // The links' places come from the buttons, not from the template.
    PlaceLinks();
    UpdateChangedBackNotice(VisiblePage() == nullptr);
}

size_t CTavrinDlg::CountCompatibilityIssues(size_t* unreadable) const
{
    if (unreadable)
        *unreadable = 0;
    if (!m_result)
        return 0;
    using Tavrin::Core::SavedFile::ReadState;
    ReadState saved[3] = {};
    size_t count =
        Tavrin::Core::MissingApplications(m_result->installedApps, Tavrin::Core::kApplicationsFile, &saved[0])
            .size();
    count += m_result->drivers.MissingDrivers(Tavrin::Core::kDriversFile, &saved[1]).size();
    count += m_result->extensions.LostAssociations(Tavrin::Core::kExtensionsFile, &saved[2]).size();
    if (unreadable)
        *unreadable =
            static_cast<size_t>(std::count(std::begin(saved), std::end(saved), ReadState::Unreadable));
    return count;
}

void CTavrinDlg::RunFirstRunCheck()
{
    Tavrin::Platform::RegKey key;
    LSTATUS status = key.Create(HKEY_LOCAL_MACHINE, kFirstRunKey, KEY_ALL_ACCESS);
    if (status != ERROR_SUCCESS) {
        Tavrin::Platform::DebugLine(L"first run: the marker key cannot be opened");
        return;
    }

    // The marker is read as into a buffer of 16 characters: a longer value
    // is not the marker, however it begins.
    std::wstring text;
    status = key.QueryFixedText(L"", 16, text);
    bool firstRun = true;
    if (status != ERROR_SUCCESS) {
        Tavrin::Platform::DebugLine(L"first run: the marker cannot be read, status " +
                                    std::to_wstring(status));
    } else {
        firstRun = text != kFirstRunMarker;
    }
    if (firstRun && key.SetString(L"", kFirstRunMarker) != ERROR_SUCCESS)
        Tavrin::Platform::DebugLine(L"first run: the marker cannot be saved");
    key.Close();

    if (firstRun) {
        MessageBox(kCongratulation, nullptr, MB_OK);
    }
}

BOOL CTavrinDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == BN_CLICKED) {
        for (const Section& section : Sections()) {
            if (section.button->GetSafeHwnd() && LOWORD(wParam) == section.button->GetDlgCtrlID()) {
                ShowPage(*section.page, *section.button);
                return TRUE;
            }
        }
    }
    return CBaseWnd::OnCommand(wParam, lParam);
}

BOOL CTavrinDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    // A click on the link, or Enter while it has the focus.
    if (header && (header->idFrom == IDC_UNDO_LINK || header->idFrom == IDC_PROFILES_LINK) &&
        (header->code == NM_CLICK || header->code == NM_RETURN)) {
        if (header->idFrom == IDC_UNDO_LINK)
            OnUndoLink();
        else
            OnProfilesLink();
        *result = 0;
        return TRUE;
    }
    if (header && header->idFrom == IDC_CHANGED_BACK_LINK &&
        (header->code == NM_CLICK || header->code == NM_RETURN)) {
        OpenChangedBackList();
        *result = 0;
        return TRUE;
    }
    return CBaseWnd::OnNotify(wParam, lParam, result);
}

LRESULT CTavrinDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        // The links sit on the white part of the home view.
        if (reinterpret_cast<HWND>(lParam) == ::GetDlgItem(m_hWnd, IDC_UNDO_LINK) ||
            reinterpret_cast<HWND>(lParam) == ::GetDlgItem(m_hWnd, IDC_PROFILES_LINK) ||
            reinterpret_cast<HWND>(lParam) == ::GetDlgItem(m_hWnd, IDC_CHANGED_BACK_LINK)) {
            ::SetBkColor(reinterpret_cast<HDC>(wParam), ToColorRef(PageColors::kWhite));
            return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
        }
        break;
    case WM_PAGE_DONE:
        OnPageDone();
        return 0;
    case WM_UNDO_DONE:
        OnUndoDone(lParam);
        return 0;
    case WM_CHANGED_BACK_CHECKED:
        OnChangedBackChecked(lParam);
        return 0;
    case WM_CLOSE:
        // The title bar's close button; Escape ends the dialog without asking.
        AskForRestart();
        break;
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
}

const CTavrinDlg::SectionInfo CTavrinDlg::kSections[6] = {
    {IDC_BTN_PRIVACY, L"privacy", IDD_PRIVACY, 1, L"startup: privacy page created"},
    {IDC_BTN_LOCATION, L"location", IDD_LOCATION, 2, L"startup: location page created"},
    {IDC_BTN_SECURITY, L"security", IDD_SECURITY, 0, L"startup: security page created"},
    {IDC_BTN_THEMES, L"themes", IDD_THEME, 3, L"startup: theme page created"},
    {IDC_BTN_RECLAMATION, L"reclamation", IDD_RECLAMATION, 5, L"startup: reclamation page created"},
    {IDC_BTN_COMPATIBILITY, L"compatibility", IDD_COMPATIBILITY, 4, L"startup: compatibility page created"},
};

std::array<CTavrinDlg::Section, 6> CTavrinDlg::Sections()
{
    return {{{&m_privacyButton, &m_privacyPage, &kSections[0]},
             {&m_locationButton, &m_locationPage, &kSections[1]},
             {&m_securityButton, &m_securityPage, &kSections[2]},
             {&m_themesButton, &m_themePage, &kSections[3]},
             {&m_reclamationButton, &m_reclamationPage, &kSections[4]},
             {&m_compatibilityButton, &m_compatibilityPage, &kSections[5]}}};
}

std::vector<HWND> CTavrinDlg::SectionButtons()
{
    std::vector<HWND> buttons;
    for (const Section& section : Sections())
        buttons.push_back(section.button->GetSafeHwnd());
    return buttons;
}

CWnd* CTavrinDlg::VisiblePage()
{
    for (const Section& section : Sections())
        if (section.page->GetSafeHwnd() && section.page->IsWindowVisible())
            return section.page;
    return nullptr;
}

BOOL CTavrinDlg::PreTranslateMessage(MSG* message)
{
    const bool enterOrEscape =
        message->message == WM_KEYDOWN && (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE);
    if (!enterOrEscape || (message->hwnd != m_hWnd && !::IsChild(m_hWnd, message->hwnd)))
        return CBaseWnd::PreTranslateMessage(message);
    // A held key repeats: one press, one action.
    const bool repeated = (message->lParam & (1 << 30)) != 0;
    if (CWnd* page = VisiblePage()) {
        // Left to the dialog manager these keys would reach this window as
        // IDOK or IDCANCEL (ending the program) or as the command of a
        // focused page button such as "Reset to Windows Defaults".
        if (!repeated)
            PressDone(*page);
        return TRUE;
    }
    if (message->wParam == VK_ESCAPE)
        return CBaseWnd::PreTranslateMessage(message);
    const HWND focus = ::GetFocus();
    for (HWND button : SectionButtons())
        if (button == focus && !repeated)
            ::SendMessageW(button, BM_CLICK, 0, 0);
    return TRUE;
}

void CTavrinDlg::PressDone(CWnd& page)
{
    // "Done" of a running reclamation is disabled, and so is its key.
    HWND done = page.GetDlgItem(IDOK);
    if (done && ::IsWindowEnabled(done))
        page.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(done));
}

void CTavrinDlg::ShowPage(CWnd& page, CThemeButton& from)
{
    page.MoveWindow(GetClientRect(), TRUE);
    ShowHomeView(false);
    page.ShowWindow(SW_SHOW);
    // The focus must not stay on a hidden section button, where keys would
    // go nowhere: it starts on the page's first control.
    m_openedFrom = &from;
    FocusControl(::GetNextDlgTabItem(page, nullptr, FALSE));
}

void CTavrinDlg::ShowHomeView(bool show)
{
    const int command = show ? SW_SHOW : SW_HIDE;
    m_title.ShowWindow(command);
    m_issuesNote.ShowWindow(show && m_showIssuesNote ? SW_SHOW : SW_HIDE);
    for (const Section& section : Sections())
        section.button->ShowWindow(command);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_PROFILES_LINK), command);
    UpdateUndoLink(show);
    UpdateChangedBackNotice(show);
}

void CTavrinDlg::PlaceLinks()
{
    // The buttons take the size of their images, so the place of the links
    // is taken from them: on the title's line, each as wide as its text so
    // that no part of it covers anything, the undo link's end under the end
    // of the top row and "Profiles..." before it, where it stays whether the
    // undo link shows or not.
    RECT button = {}, title = {};
    ::GetWindowRect(m_securityButton.GetSafeHwnd(), &button);
    ::GetWindowRect(m_title.GetSafeHwnd(), &title);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&button), 2);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&title), 2);
    int end = button.right;
    const std::pair<int, const wchar_t*> links[] = {{IDC_UNDO_LINK, L"Undo all changes made by Tavrin"},
                                                    {IDC_PROFILES_LINK, L"Profiles..."}};
    for (const auto& [id, shown] : links) {
        HWND link = ::GetDlgItem(m_hWnd, id);
        if (!link)
            continue;
        const SIZE text = LinkTextSize(link, shown);
        const int width = text.cx + 4, height = text.cy + 4;
        ::MoveWindow(link, end - width, title.bottom - height, width, height, FALSE);
        end -= width + Scaled(16);
    }
}

void CTavrinDlg::UpdateUndoLink(bool homeViewShown)
{
    // Read afresh: the pages' changes fill the journal, an undo empties it.
    // This thread does not wait for another copy that holds the journal:
    // the link then stays as it was.
    if (homeViewShown) {
        const Tavrin::Core::Journal journal = Tavrin::Core::ReadJournal(kJournalGlanceMs);
        if (journal.state != Tavrin::Core::Journal::State::Busy)
            m_showUndoLink = journal.state == Tavrin::Core::Journal::State::Holding;
    }
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_UNDO_LINK), homeViewShown && m_showUndoLink ? SW_SHOW : SW_HIDE);
}

void CTavrinDlg::ReportJournalProblem()
{
    if (Tavrin::Core::TakeJournalProblem())
        MessageBox(kJournalProblem, kRestartCaption, MB_OK | MB_ICONWARNING);
}

void CTavrinDlg::OnUndoLink()
{
    if (m_undoRunning || MessageBox(kUndoQuestion, kRestartCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // The undo saves policy objects, flushes keys and may wait for another
    // copy's hold on the journal: none of it on this thread. Closing the
    // window does not wait for it; the journal keeps what was not put back.
    m_undoRunning = true;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_UNDO_LINK), FALSE);
    const HWND window = m_hWnd;
    const bool started = Tavrin::Platform::StartWorkerThread([window] {
        auto undone = std::make_unique<Tavrin::Core::UndoResult>(Tavrin::Core::UndoAllChanges());
        if (::PostMessageW(window, WM_UNDO_DONE, 0, reinterpret_cast<LPARAM>(undone.get())))
            undone.release();
    });
    if (!started) {
        m_undoRunning = false;
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_UNDO_LINK), TRUE);
        MessageBox(kUndoIncomplete, kRestartCaption, MB_OK | MB_ICONWARNING);
    }
}

void CTavrinDlg::ShowChangedSettings()
{
    // The pages show the registry as it was left when they open next.
    ShowRegistryStateOnPages();
    UpdateUndoLink(VisiblePage() == nullptr);
    ReportJournalProblem();
}

void CTavrinDlg::OnProfilesLink()
{
    CProfilesDlg dialog(this);
    if (m_pickProfileFile)
        dialog.SetFilePicker(m_pickProfileFile);
    dialog.DoModal();
    if (dialog.SettingsChanged()) {
        ShowChangedSettings();
        StartChangedBackCheck();
    }
    if (dialog.RestartNeeded()) {
        if (m_restartRequired)
            *m_restartRequired = true;
        AskForRestart();
    }
}

void CTavrinDlg::OnUndoDone(LPARAM result)
{
    const std::unique_ptr<Tavrin::Core::UndoResult> undone(
        reinterpret_cast<Tavrin::Core::UndoResult*>(result));
    m_undoRunning = false;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_UNDO_LINK), TRUE);
    ShowChangedSettings();
    if (undone->journalBusy)
        MessageBox(kUndoBusy, kRestartCaption, MB_OK | MB_ICONWARNING);
    else if (undone->failed)
        MessageBox(kUndoIncomplete, kRestartCaption, MB_OK | MB_ICONWARNING);
    if (undone->restartNeeded) {
        if (m_restartRequired)
            *m_restartRequired = true;
        AskForRestart();
    }
}

void CTavrinDlg::ShowRegistryStateOnPages()
{
    m_securityPage.ShowRegistryState();
    m_privacyPage.ShowRegistryState();
    m_locationPage.ShowRegistryState();
    m_themePage.ShowRegistryState();
}

std::wstring CTavrinDlg::ChangedBackNotice(size_t count)
{
    return L"Windows changed back " + std::to_wstring(count) + L" of your settings";
}

void CTavrinDlg::StartChangedBackCheck()
{
    // A domain administrator may switch the check off.
    if (m_changedBackCheckRunning ||
        Tavrin::Core::IsPolicySet(Tavrin::Core::DeploymentPolicy::DisableDriftCheck))
        return;
    // Reading every row, some through the policy object, takes its time:
    // not on this thread. Closing the window does not wait for it.
    m_changedBackCheckRunning = true;
    const HWND window = m_hWnd;
    const bool started = Tavrin::Platform::StartWorkerThread([window] {
        auto check = std::make_unique<Tavrin::Core::ChosenStatesCheck>();
        {
            const Tavrin::Platform::ComApartment com;
            Tavrin::Core::SettingsBook book;
            *check = Tavrin::Core::CheckChosenStates(book);
        }
        if (::PostMessageW(window, WM_CHANGED_BACK_CHECKED, 0, reinterpret_cast<LPARAM>(check.get())))
            check.release();
    });
    m_changedBackCheckRunning = started;
}

void CTavrinDlg::OnChangedBackChecked(LPARAM result)
{
    const std::unique_ptr<Tavrin::Core::ChosenStatesCheck> check(
        reinterpret_cast<Tavrin::Core::ChosenStatesCheck*>(result));
    m_changedBackCheckRunning = false;
    m_changedBack = std::move(check->changed);
    UpdateChangedBackNotice(VisiblePage() == nullptr);
}

void CTavrinDlg::UpdateChangedBackNotice(bool homeViewShown)
{
    const HWND link = ::GetDlgItem(m_hWnd, IDC_CHANGED_BACK_LINK);
    if (!link)
        return;
    if (!m_changedBack.empty()) {
        const std::wstring notice = ChangedBackNotice(m_changedBack.size());
        ::SetWindowTextW(link, (L"<a>" + notice + L"</a>").c_str());
        // As wide as its text, in the gap under the bottom row of buttons,
        // which take the size of their images, and above the issues note.
        const SIZE text = LinkTextSize(link, notice);
        RECT button = {};
        ::GetWindowRect(m_themesButton.GetSafeHwnd(), &button);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&button), 2);
        ::MoveWindow(link, button.left, button.bottom + Scaled(2), text.cx + 4, text.cy + 2, FALSE);
    }
    ::ShowWindow(link, homeViewShown && !m_changedBack.empty() ? SW_SHOW : SW_HIDE);
}

void CTavrinDlg::OpenChangedBackList()
{
    if (m_changedBack.empty() || m_changedBackCheckRunning)
        return;
    std::vector<CChangedBackDlg::Item> items;
    for (const Tavrin::Core::ChangedBack& changed : m_changedBack) {
        const Tavrin::Core::SettingsBook::Row* row = Tavrin::Core::SettingsBook::Find(changed.name);
        if (!row)
            continue;
        // The box's text as its page shows it; the pages in SettingsBook's order.
        const std::pair<CWnd*, const SettingsPageLayout*> pages[] = {
            {&m_privacyPage, &m_privacyPage.GetLayout()},
            {&m_securityPage, &m_securityPage.GetLayout()},
            {&m_locationPage, &m_locationPage.GetLayout()},
            {&m_themePage, &m_themePage.GetLayout()},
        };
        const auto& [page, layout] = pages[static_cast<int>(row->page)];
        wchar_t box[256] = {};
        ::GetWindowTextW(page->GetDlgItem(BoxOf(*layout, row->name)), box, 256);
        items.push_back({changed.name, Tavrin::Core::SettingsBook::PageName(row->page), StripMnemonics(box),
                         changed.chosen, changed.now, row->asksRestart});
    }
    CChangedBackDlg list(std::move(items), this);
    if (list.DoModal() != IDOK)
        return;
    if (list.Done() == CChangedBackDlg::Action::ApplyAgain) {
        ShowRegistryStateOnPages();
        UpdateUndoLink(VisiblePage() == nullptr);
        if (list.Status() != ERROR_SUCCESS)
            MessageBox(kNotAllAppliedAgain, kRestartCaption, MB_OK | MB_ICONWARNING);
        if (list.RestartNeeded() && m_restartRequired) {
            *m_restartRequired = true;
            AskForRestart();
        }
    }
    // What is still changed back, afresh.
    StartChangedBackCheck();
}

void CTavrinDlg::OnPageDone()
{
    for (const Section& section : Sections())
        section.page->ShowWindow(SW_HIDE);
    ShowHomeView(true);
    FocusControl(m_openedFrom ? m_openedFrom->GetSafeHwnd() : m_privacyButton.GetSafeHwnd());
    AskForRestart();
}

void CTavrinDlg::AskForRestart()
{
    if (!m_restartRequired || !*m_restartRequired)
        return;
    if (MessageBox(kRestartQuestion, kRestartCaption, MB_YESNO) == IDYES && m_restart)
        m_restart();
}

void CTavrinDlg::DrawContent(Gdiplus::Graphics& graphics)
{
    DrawHeaderAndWhitePanel(graphics, m_header.get(), GetClientRect(), PageColors::kWhite, GetDpi());
}
