#pragma once
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "core/compat/CompatibilityResult.h"
#include "framework/CButton.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/controls/CThemeLabel.h"

namespace Tavrin::UI {

// The verdict of the results page: 0 ready, 1 ready with issues, 2 not ready.
enum ResultsOutcome { kOutcomeReady = 0, kOutcomeIssues = 1, kOutcomeNotReady = 2 };

// What the results page says about a measured PC, decided without a window.
struct ResultsReport {
    int outcome = kOutcomeReady;
    std::list<std::wstring> issues;
    std::list<std::wstring> failures;
    std::list<std::wstring> notes;
    std::wstring title;
    std::wstring subtitle;
    bool upgradeVisible = true;
};

// Every message starts with this, except the note on the drive's total size.
extern const wchar_t kMessagePrefix[];
// The issue shown when the scan could not save every file of its record.
extern const wchar_t kRecordNotSavedText[];
extern const wchar_t kDisclaimerText[];
// The upgrade page the "Upgrade Now" button opens.
extern const wchar_t kUpgradePageAddress[];

// recordSaved: whether the scan saved every file of the record of this PC.
ResultsReport BuildResultsReport(const Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT& result,
                                 bool recordSaved = true);

// The lines each message gets when they need `needed` lines each and the
// page has room for `room`: all they need when that fits; else every
// message keeps at least one, and each takes what the ones after it leave.
std::vector<int> ShareMessageLines(const std::vector<int>& needed, int room);

} // namespace Tavrin::UI

// The last page of the pre-upgrade dialog: the verdict, its reasons, and the
// way to the upgrade itself.
class CResulstDlg : public CBaseWnd {
public:
    CResulstDlg();
    ~CResulstDlg() override;

    // Builds the lists, the outcome and the texts from `result` and whether
    // the scan saved its record (replacing what an earlier call built) and
    // shows them. Works before the page's window exists; the labels then
    // take the texts when they are bound.
    void FillResults(const Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT* result,
                     bool recordSaved = true);

    int Outcome() const { return m_outcome; }
    const std::list<std::wstring>& Issues() const { return m_issues; }
    const std::list<std::wstring>& Failures() const { return m_failures; }
    const std::list<std::wstring>& Notes() const { return m_notes; }
    // The message lines as the page draws them: failures, issues, notes.
    std::list<std::wstring> Lines() const;
    const CThemeLabel& Title() const { return m_title; }
    const CThemeLabel& Subtitle() const { return m_subtitle; }
    const CThemeLabel& Disclaimer() const { return m_disclaimer; }
    // The message lines the last paint had to end with an ellipsis; the
    // tooltip shows each of them whole.
    const std::vector<std::wstring>& CutLines() const { return m_cutLines; }
    // Where the last paint put each message line, in the order of Lines().
    const std::vector<RECT>& MessageBoxes() const { return m_messageBoxes; }
    // Whether the page shows "Upgrade Now" once it is visible.
    bool UpgradeOffered() const { return m_upgradeOffered; }

    // Opens the upgrade web page, as a click on "Upgrade Now" does.
    void OnUpgradeNow();

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

private:
    void ShowTexts();
    void ShowCutLinesInToolTip(const std::vector<RECT>& boxes);
    int MessagesBottom(int top) const;

    const Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT* m_result = nullptr;
    CThemeLabel m_title;
    CThemeLabel m_subtitle;
    CButton m_upgradeNow;
    std::unique_ptr<Gdiplus::Image> m_passHeader;
    std::unique_ptr<Gdiplus::Image> m_issuesHeader;
    std::unique_ptr<Gdiplus::Image> m_checkedMark;
    std::unique_ptr<Gdiplus::Image> m_issuesMark;
    std::unique_ptr<Gdiplus::Image> m_failedMark;
    int m_outcome = Tavrin::UI::kOutcomeReady;
    std::list<std::wstring> m_issues;
    std::list<std::wstring> m_failures;
    std::list<std::wstring> m_notes;
    CThemeLabel m_disclaimer;
    std::wstring m_titleText;
    std::wstring m_subtitleText;
    bool m_upgradeOffered = true;
    std::vector<std::wstring> m_cutLines;
    std::vector<RECT> m_cutBoxes;
    std::vector<RECT> m_messageBoxes;
    CToolTipCtrl m_lineTips;
};
