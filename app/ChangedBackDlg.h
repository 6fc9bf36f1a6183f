#pragma once
#include <string>
#include <vector>

#include "ui/controls/CBaseWnd.h"
#include "ui/controls/CThemeLabel.h"
#include "ui/pages/SettingsChange.h"

// The settings Windows changed back since the user chose them in this
// program, one ticked row each: page, box text, what the user chose and what
// it is now. "Apply again" changes the ticked rows as clicks on their boxes
// would (after the run's restore point, journalled, recorded again); "Keep
// as it is now" records the ticked rows as they are, changing no setting.
// Either runs off the user-interface thread, then ends the dialog with IDOK;
// "Close" (and Escape) ends it with IDCANCEL and changes nothing.
class CChangedBackDlg : public CBaseWnd {
public:
    struct Item {
        const char* name; // the row's stable name
        std::wstring page;
        std::wstring box;
        bool chosen = false;
        bool now = false;
        bool asksRestart = false;
    };
    enum class Action { None, ApplyAgain, Keep };

    CChangedBackDlg(std::vector<Item> items, CWnd* parent);

    static constexpr wchar_t kTicked[] = L"Ticked";
    static constexpr wchar_t kCleared[] = L"Cleared";

    // What ended the dialog, the status it returned and whether a row it
    // applied asks for a restart of Windows.
    Action Done() const { return m_done; }
    LSTATUS Status() const { return m_status; }
    bool RestartNeeded() const { return m_restartNeeded; }

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnDpiChanged() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

private:
    void SetUpList();
    void SizeColumns();
    std::vector<const Item*> TickedItems() const;
    void EnableButtons(bool enable);
    void Start(Action action);

    std::vector<Item> m_items;
    CThemeLabel m_intro;
    SettingsChange m_change;
    Action m_pending = Action::None;
    Action m_done = Action::None;
    LSTATUS m_status = ERROR_SUCCESS;
    bool m_restartNeeded = false;
};
