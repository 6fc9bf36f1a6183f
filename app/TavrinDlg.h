#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SectionPages.h"
#include "core/compat/CompatibilityResult.h"
#include "core/settings/ChosenStates.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/controls/CThemeButton.h"
#include "ui/controls/CThemeLabel.h"
#include "ui/pages/LocationDlg.h"
#include "ui/pages/PrivacyDlg.h"
#include "ui/pages/ProfilesDlg.h"
#include "ui/pages/SecurityDlg.h"
#include "ui/pages/ThemeDlg.h"

// The window a Windows 10 system gets: a home view of six section buttons
// over the tools header, and the six section pages, one of which at a time
// covers the whole client area. On its first opening for a user it announces
// the compatibility issues found since the upgrade; on the first start on a
// machine it congratulates the user on the upgrade. Returning from a page and
// closing the window ask for a restart of Windows when a page wrote a setting
// that needs one.
class CTavrinDlg : public CBaseWnd {
public:
    // `result` stays the caller's. The restart flag is the application's
    // (CTavrinApp::restartRequired) when the application object is one.
    explicit CTavrinDlg(Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT* result);
    ~CTavrinDlg() override;

    static constexpr wchar_t kRestartQuestion[] =
        L"A system reboot is required to apply your Windows setting changes. Would you like to restart now?";
    static constexpr wchar_t kRestartCaption[] = L"Orvane Tools";
    // The title when the settings shown are the session user's, not the
    // process's own user's; the account name follows.
    static constexpr wchar_t kOtherUserTitle[] = L"Windows 10 Settings for ";
    static constexpr wchar_t kCongratulation[] = L"Congratulations on upgrading to Windows 10!";
    static constexpr wchar_t kFirstRunKey[] = L"Software\\Tavrin";
    static constexpr wchar_t kFirstRunMarker[] = L"notFirstRun";
    static constexpr wchar_t kShowCompatibilityEntry[] = L"showCompatibility";
    static constexpr wchar_t kUndoQuestion[] =
        L"Undo all changes made by Tavrin? Every Windows setting that Tavrin changed goes back to the value "
        L"it had before Tavrin first changed it.";
    static constexpr wchar_t kUndoIncomplete[] =
        L"Some settings could not be restored. Tavrin keeps them recorded, so that undoing them can be tried "
        L"again.";
    static constexpr wchar_t kUndoBusy[] =
        L"Another copy of Tavrin is using the record of the settings it changed. Nothing was undone; try "
        L"again when it has finished.";
    static constexpr wchar_t kNotAllAppliedAgain[] =
        L"Some settings could not be applied again. The notice on the home view still counts them.";
    static constexpr wchar_t kJournalProblem[] =
        L"The record of the settings Tavrin changed is damaged or cannot be read, so it is ignored: the "
        L"changes it held cannot be undone by Tavrin.";

    // What Yes to the restart question does; RestartSystem unless replaced
    // (the tests must not restart the machine they run on).
    void SetRestartAction(std::function<void()> restart) { m_restart = std::move(restart); }
    // The profiles dialog asks with this instead of the common item dialogs.
    void SetProfileFilePicker(CProfilesDlg::FilePicker picker) { m_pickProfileFile = std::move(picker); }

    // The number the issues note announces: the missing applications and
    // drivers and the lost file associations, each computed afresh from the
    // saved files and the current inventories. unreadable (when given)
    // receives the number of saved files that exist but cannot be read,
    // which the note counts apart: they may have held anything.
    size_t CountCompatibilityIssues(size_t* unreadable = nullptr) const;

    bool IsIssuesNoteShown() const { return m_showIssuesNote; }
    const CThemeLabel& GetIssuesNote() const { return m_issuesNote; }
    const CThemeLabel& GetTitleLabel() const { return m_title; }
    bool IsUndoLinkShown() const { return m_showUndoLink; }

    // "Windows changed back N of your settings", the home view's notice.
    static std::wstring ChangedBackNotice(size_t count);
    // The rows the start's check found changed back, shown in the notice
    // while there are any; whether that check (or the one after the list's
    // action) is done.
    size_t ChangedBackCount() const { return m_changedBack.size(); }
    bool IsChangedBackCheckDone() const { return !m_changedBackCheckRunning; }
    // Opens the list of the rows changed back, as the notice's link does.
    void OpenChangedBackList();

    CSecurityDlg& GetSecurityPage() { return m_securityPage; }
    CPrivacyDlg& GetPrivacyPage() { return m_privacyPage; }
    CLocationDlg& GetLocationPage() { return m_locationPage; }
    CThemeDlg& GetThemePage() { return m_themePage; }
    CompatibilityPage& GetCompatibilityPage() { return m_compatibilityPage; }
    ReclamationPage& GetReclamationPage() { return m_reclamationPage; }

    // The images the window reads as it opens: its header, each section
    // button's normal state, and those its pages read when they are created.
    static std::vector<std::wstring> ImagesReadAtStart();

    // The section buttons in reading order, which is also their tab order.
    std::vector<HWND> SectionButtons();
    // The page shown now, or null on the home view.
    CWnd* VisiblePage();

    // Enter and Escape: on a page both mean "Done"; on the home view Enter
    // opens the focused section and Escape ends the window at once. The
    // rest of the keyboard is the dialog manager's.
    BOOL PreTranslateMessage(MSG* message) override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnDpiChanged() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

private:
    static constexpr int kTitlePoints = 14;
    static constexpr int kIssuesNotePoints = 12;
    static constexpr wchar_t kHeaderImage[] = L"images/headers/tools-title.PNG";
    // What the home view knows of each section, in the reading order of
    // its buttons: the button's control and images, the page's template,
    // the place of the page in the order the pages are made (which is the
    // order of their windows) and the line the start-up trace then writes.
    struct SectionInfo {
        UINT buttonId;
        const wchar_t* imageStem;
        UINT templateId;
        size_t creationRank;
        const wchar_t* createdLine;
    };
    static const SectionInfo kSections[6];

    static std::wstring ButtonImagePath(const wchar_t* stem, const wchar_t* suffix);

    void SetUpButtons();
    void CreatePages();
    void SetUpIssuesNote();
    void RunFirstRunCheck();
    // A section: its button on the home view and the page it opens.
    struct Section {
        CThemeButton* button;
        CDialogEx* page;
        const SectionInfo* info;
    };
    // The sections in the reading order of their buttons.
    std::array<Section, 6> Sections();
    void ShowPage(CWnd& page, CThemeButton& from);
    void PressDone(CWnd& page);
    void ShowHomeView(bool show);
    void OnPageDone();
    void AskForRestart();
    void PlaceLinks();
    void UpdateUndoLink(bool homeViewShown);
    // After an undo or a profile: the pages, the undo link, the journal's news.
    void ShowChangedSettings();
    void OnProfilesLink();
    void ReportJournalProblem();
    void OnUndoLink();
    void OnUndoDone(LPARAM result);
    // Compares the record of the states the user chose with the registry,
    // off this thread; the notice follows when it is done.
    void StartChangedBackCheck();
    void OnChangedBackChecked(LPARAM result);
    void UpdateChangedBackNotice(bool homeViewShown);
    void ShowRegistryStateOnPages();

    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT* m_result;
    std::unique_ptr<Gdiplus::Image> m_header;
    CSecurityDlg m_securityPage;
    CPrivacyDlg m_privacyPage;
    CLocationDlg m_locationPage;
    CThemeDlg m_themePage;
    CompatibilityPage m_compatibilityPage;
    ReclamationPage m_reclamationPage;
    CThemeLabel m_title;
    CThemeLabel m_issuesNote;
    CThemeButton m_privacyButton;
    CThemeButton m_locationButton;
    CThemeButton m_securityButton;
    CThemeButton m_themesButton;
    CThemeButton m_reclamationButton;
    CThemeButton m_compatibilityButton;
    bool m_showIssuesNote = false;
    bool m_showUndoLink = false; // the journal holds something to undo
    // How long the window's thread waits for another copy's hold on the
    // journal when it only looks whether there is something to undo.
    static constexpr DWORD kJournalGlanceMs = 200;
    bool m_undoRunning = false; // on a thread of its own; the link is disabled meanwhile
    std::vector<Tavrin::Core::ChangedBack> m_changedBack;
    bool m_changedBackCheckRunning = false;
    // The button whose page is shown, where the focus goes back to.
    CThemeButton* m_openedFrom = nullptr;
    HICON m_icon;

    bool* m_restartRequired = nullptr;
    std::function<void()> m_restart;
    CProfilesDlg::FilePicker m_pickProfileFile;
};
