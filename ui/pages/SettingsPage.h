#pragma once
#include <memory>
#include <string_view>
#include <vector>

#include "core/settings/SettingsCatalogue.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/controls/CProgressNote.h"
#include "ui/controls/CThemeLabel.h"
#include "ui/controls/CTransButton.h"
#include "ui/pages/SettingsChange.h"
#include "ui/skin/LazyImage.h"

// A check box of a settings page and the catalogue row it shows, by the
// row's stable name; null for a box that is no row.
struct SettingBox {
    int id;
    const char* row;
};

// What one settings page is made of; the rest of the pattern is shared.
struct SettingsPageLayout {
    UINT templateId;
    const wchar_t* headerImage;    // relative to the program's folder
    std::vector<SettingBox> boxes; // in row order
    std::vector<int> textIds;      // italic explanations, in binding order
    int introductionId;            // the upright introduction; 0 for none
    // The privacy page clears its boxes before it puts the values back; the
    // other pages put the values back first.
    bool clearBoxesBeforeReset;
};

// The id of the box of `layout` that shows the row of that name; 0 for none.
int BoxOf(const SettingsPageLayout& layout, std::string_view row);
// The catalogue row a box of `layout` shows; null for a box that is no row
// and for a control that is no box.
template <typename Model>
const Tavrin::Core::SettingRow<Model>* RowOfBox(const SettingsPageLayout& layout, int id)
{
    for (const SettingBox& box : layout.boxes)
        if (box.id == id)
            return box.row ? Tavrin::Core::FindRow<Model>(box.row) : nullptr;
    return nullptr;
}

// A section page of the main window that shows one settings model as check
// boxes: a click runs the box's row of the model's catalogue at once, "Reset
// to Windows Defaults" (command 2) runs the catalogue's reset, "Done"
// (command 1) sends WM_PAGE_DONE to the hosting window.
//
// A change is made off the user-interface thread (SettingsChange): it waits
// for the run's restore point, then is applied. Meanwhile the page's boxes
// and buttons are disabled; after a second a note says that a restore point
// is being made and offers to go on without it. A change that fails puts
// the boxes back as the registry has them and tells the user, once per run.
//
// The pages sit below the application in the layering, so the application's
// "restart required" flag reaches them as a pointer the hosting window hands
// over (SetRestartFlag); rows that ask for a restart set it.
template <typename Model> class CSettingsPage : public CBaseWnd {
public:
    explicit CSettingsPage(const SettingsPageLayout& layout);

    static constexpr wchar_t kRestorePointNote[] =
        L"Windows is making a restore point before the change, so that the change can be rolled back.";
    static constexpr wchar_t kGoOnWithout[] = L"Go on without it";
    static constexpr wchar_t kChangeNotMade[] =
        L"Tavrin did not change this setting. Either it could not record the setting's current value, which "
        L"it needs to undo the change, or Windows did not accept the change. The box shows the setting as it "
        L"is now.";
    static constexpr wchar_t kMessageCaption[] = L"Orvane Tools";
    // How long a change waits before the note comes up.
    static constexpr UINT kNoteDelayMs = 1000;

    void SetRestartFlag(bool* restartRequired) { m_restartRequired = restartRequired; }
    const Model& GetModel() const { return *m_model; }
    Gdiplus::Image* GetHeaderImage() const { return m_header.Get(); }
    const SettingsPageLayout& GetLayout() const { return m_layout; }
    // Sets every box from the registry as it is now; the page does so when
    // it is initialised, its host after the registry changed under it (while
    // a change is pending, once the change is done).
    void ShowRegistryState();
    // A click or reset that is not done yet.
    bool IsChangePending() const { return m_change.Pending(); }
    const CProgressNote& GetRestorePointNote() const { return m_note; }

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnDpiChanged() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

    // The blue ground, the header centred at the top and the white panel 20
    // pixels inside the edges, all moved up by `scroll`; the panel's bottom
    // is moved down by `panelExtension`.
    void DrawPageBackground(Gdiplus::Graphics& graphics, int scroll, int panelExtension);

private:
    // What the page does when its pending change is done.
    struct Pending {
        const Tavrin::Core::SettingRow<Model>* row = nullptr; // null for the reset
        bool reread = false;  // the host asked for the registry state meanwhile
        HWND focus = nullptr; // the page's control that had the focus
    };

    void OnBoxClicked(int controlId);
    void OnReset();
    bool StartChange(const Tavrin::Core::SettingRow<Model>* row, SettingsChange::Apply apply);
    void OnChangeDone(LSTATUS status);
    void ShowRestorePointNote();
    void PlaceRestorePointNote();
    void EnableControls(bool enable);
    void RestoreFocus(HWND control);
    void ClearBoxes();
    void SetUpFonts();

    const SettingsPageLayout& m_layout;
    std::vector<CTransButton> m_boxes;
    // Shared with a change being applied, which may outlive the page.
    std::shared_ptr<Model> m_model;
    SettingsChange m_change;
    Pending m_pending;
    CProgressNote m_note;
    CLazyImage m_header;
    std::vector<CThemeLabel> m_labels; // the explanations, then the introduction
    bool* m_restartRequired = nullptr;
};
