#include "app/TavrinDlg.h"
#include "ui/controls/PageDrawing.h"

#include <commctrl.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "app/RestartSystem.h"
#include "app/TavrinApp.h"
#include "core/settings/ChangeJournal.h"
#include "platform/GdiHandles.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "platform/UserHive.h"
#include "res/resource.h"
#include "ui/pages/PageMessages.h"

namespace {

using Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT;

void DebugLine(const std::wstring& line)
{
    ::OutputDebugStringW(line.c_str());
}

bool* ApplicationRestartFlag()
{
    auto* app = dynamic_cast<CTavrinApp*>(AfxGetApp());
    return app ? &app->restartRequired : nullptr;
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
    BindControl(IDC_BTN_PRIVACY, m_privacyButton);
    BindControl(IDC_BTN_LOCATION, m_locationButton);
    BindControl(IDC_BTN_SECURITY, m_securityButton);
    BindControl(IDC_BTN_THEMES, m_themesButton);
    BindControl(IDC_BTN_RECLAMATION, m_reclamationButton);
    BindControl(IDC_BTN_COMPATIBILITY, m_compatibilityButton);
}

BOOL CTavrinDlg::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    SetIcon(m_icon, TRUE);
    SetIcon(m_icon, FALSE);
    m_header.reset(LoadImageFile(AfxGetInstanceHandle(), kHeaderImage));
    m_title.SetTextColor(0xFF000000);
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
    PlaceUndoLink();
    UpdateUndoLink(true);
    DebugLine(L"running win10 check\n");
    if (m_result && m_result->windowsVersion == Tavrin::Core::WindowsVersionCode::Windows10)
        RunFirstRunCheck();
    ReportJournalProblem();
    return TRUE;
}

std::vector<std::wstring> CTavrinDlg::ImagesReadAtStart()
{
    std::vector<std::wstring> paths = {kHeaderImage};
    for (const wchar_t* stem : kButtonImageStems)
        paths.push_back(ButtonImagePath(stem, L".png"));
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
    CThemeButton* buttons[] = {&m_privacyButton, &m_locationButton,    &m_securityButton,
                               &m_themesButton,  &m_reclamationButton, &m_compatibilityButton};
    static_assert(std::size(buttons) == std::size(kButtonImageStems));
    for (size_t i = 0; i < std::size(buttons); ++i) {
        const wchar_t* stem = kButtonImageStems[i];
        buttons[i]->SetImages(ButtonImagePath(stem, L".png"), ButtonImagePath(stem, L"_over.png"),
                              ButtonImagePath(stem, L".png"), L"");
        buttons[i]->SizeToImage();
    }
}

void CTavrinDlg::CreatePages()
{
    const struct {
        CDialogEx& page;
        UINT templateId;
        const wchar_t* line;
    } pages[] = {
        {m_securityPage, IDD_SECURITY, L"startup: security page created"},
        {m_privacyPage, IDD_PRIVACY, L"startup: privacy page created"},
        {m_locationPage, IDD_LOCATION, L"startup: location page created"},
        {m_themePage, IDD_THEME, L"startup: theme page created"},
        {m_compatibilityPage, IDD_COMPATIBILITY, L"startup: compatibility page created"},
        {m_reclamationPage, IDD_RECLAMATION, L"startup: reclamation page created"},
    };
    for (const auto& entry : pages) {
        entry.page.Create(entry.templateId, this);
        Tavrin::Platform::DebugLine(entry.line);
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
    m_issuesNote.SetTextColor(0xFFFF0000);
    m_issuesNote.SetFont(CreateMessageFont(FontSpec::Regular(kIssuesNotePoints), GetDpi()));
}

void CTavrinDlg::OnDpiChanged()
{
    m_title.SetFont(CreateMessageFont(FontSpec::Regular(kTitlePoints), GetDpi()));
    if (m_showIssuesNote)
        m_issuesNote.SetFont(CreateMessageFont(FontSpec::Regular(kIssuesNotePoints), GetDpi()));
    for (CThemeButton* button : {&m_privacyButton, &m_locationButton, &m_securityButton, &m_themesButton,
                                 &m_reclamationButton, &m_compatibilityButton})
        button->SizeToImage();
    // The page on show covers the client area at its new size.
    for (CWnd* page : std::initializer_list<CWnd*>{&m_privacyPage, &m_securityPage, &m_locationPage,
                                                   &m_themePage, &m_compatibilityPage, &m_reclamationPage})
        if (page->GetSafeHwnd())
            page->MoveWindow(GetClientRect(), page->IsWindowVisible());
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
        DebugLine(L"error opening firstrun reg key\n");
        return;
    }

    // The marker is read as into a buffer of 16 characters: a longer value
    // is not the marker, however it begins.
    std::wstring text;
    status = key.QueryFixedText(L"", 16, text);
    bool firstRun = true;
    if (status != ERROR_SUCCESS) {
        DebugLine(L"error reading firstrun reg key: " + std::to_wstring(status) + L"\n");
    } else {
        DebugLine(L"regData: " + text + L"\n");
        firstRun = text != kFirstRunMarker;
    }
    if (firstRun && key.SetString(L"", kFirstRunMarker) != ERROR_SUCCESS)
        DebugLine(L"error saving firstrun reg key\n");
    key.Close();

    if (firstRun) {
        DebugLine(L"showing first run workflow\n");
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
    if (header && header->idFrom == IDC_UNDO_LINK &&
        (header->code == NM_CLICK || header->code == NM_RETURN)) {
        OnUndoLink();
        *result = 0;
        return TRUE;
    }
    return CBaseWnd::OnNotify(wParam, lParam, result);
}

LRESULT CTavrinDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        // The link sits on the white part of the home view.
        if (reinterpret_cast<HWND>(lParam) == ::GetDlgItem(m_hWnd, IDC_UNDO_LINK)) {
            ::SetBkColor(reinterpret_cast<HDC>(wParam), RGB(0xFF, 0xFF, 0xFF));
            return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
        }
        break;
    case WM_PAGE_DONE:
        OnPageDone();
        return 0;
    case WM_UNDO_DONE:
        OnUndoDone(lParam);
        return 0;
    case WM_CLOSE:
        // The title bar's close button; Escape ends the dialog without asking.
        AskForRestart();
        break;
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
}

std::array<CTavrinDlg::Section, 6> CTavrinDlg::Sections()
{
    return {{{&m_privacyButton, &m_privacyPage},
             {&m_locationButton, &m_locationPage},
             {&m_securityButton, &m_securityPage},
             {&m_themesButton, &m_themePage},
             {&m_reclamationButton, &m_reclamationPage},
             {&m_compatibilityButton, &m_compatibilityPage}}};
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
    for (CThemeButton* button : {&m_privacyButton, &m_locationButton, &m_securityButton, &m_themesButton,
                                 &m_reclamationButton, &m_compatibilityButton})
        button->ShowWindow(command);
    UpdateUndoLink(show);
}

void CTavrinDlg::PlaceUndoLink()
{
    // The buttons take the size of their images, so the place of the link
    // is taken from them: on the title's line, its end under the end of the
    // top row, as wide as its text, so that no part of it covers anything.
    HWND link = ::GetDlgItem(m_hWnd, IDC_UNDO_LINK);
    if (!link)
        return;
    Tavrin::Platform::WindowDc dc(link);
    HGDIOBJ previous =
        ::SelectObject(dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(link, WM_GETFONT, 0, 0)));
    SIZE text = {};
    const std::wstring shown = L"Undo all changes made by Tavrin";
    ::GetTextExtentPoint32W(dc.Get(), shown.c_str(), static_cast<int>(shown.size()), &text);
    ::SelectObject(dc.Get(), previous);
    RECT button = {}, title = {};
    ::GetWindowRect(m_securityButton.GetSafeHwnd(), &button);
    ::GetWindowRect(m_title.GetSafeHwnd(), &title);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&button), 2);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&title), 2);
    const int width = text.cx + 4, height = text.cy + 4;
    ::MoveWindow(link, button.right - width, title.bottom - height, width, height, FALSE);
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
    std::thread([window] {
        auto undone = std::make_unique<Tavrin::Core::UndoResult>(Tavrin::Core::UndoAllChanges());
        if (::PostMessageW(window, WM_UNDO_DONE, 0, reinterpret_cast<LPARAM>(undone.get())))
            undone.release();
    }).detach();
}

void CTavrinDlg::OnUndoDone(LPARAM result)
{
    const std::unique_ptr<Tavrin::Core::UndoResult> undone(
        reinterpret_cast<Tavrin::Core::UndoResult*>(result));
    m_undoRunning = false;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_UNDO_LINK), TRUE);
    // The pages show the registry as the undo left it when they open next.
    m_securityPage.ShowRegistryState();
    m_privacyPage.ShowRegistryState();
    m_locationPage.ShowRegistryState();
    m_themePage.ShowRegistryState();
    UpdateUndoLink(VisiblePage() == nullptr);
    ReportJournalProblem();
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

void CTavrinDlg::OnPageDone()
{
    for (CWnd* page : std::initializer_list<CWnd*>{&m_privacyPage, &m_securityPage, &m_locationPage,
                                                   &m_themePage, &m_compatibilityPage, &m_reclamationPage})
        page->ShowWindow(SW_HIDE);
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
