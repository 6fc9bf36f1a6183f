#pragma once
#include <memory>
#include <vector>

#include "core/settings/SettingsCatalogue.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/controls/CThemeLabel.h"
#include "ui/skin/LazyImage.h"
#include "ui/controls/CTransButton.h"

// What one settings page is made of; the rest of the pattern is shared.
struct SettingsPageLayout {
    UINT templateId;
    const wchar_t* headerImage; // relative to the program's folder
    std::vector<int> boxIds;    // check boxes bound to members, in member order
    std::vector<int> textIds;   // italic explanations, in binding order
    int introductionId;         // the upright introduction; 0 for none
    // The privacy page clears its boxes before it puts the values back; the
    // other pages put the values back first.
    bool clearBoxesBeforeReset;
};

// A section page of the main window that shows one settings model as check
// boxes: a click runs the box's row of the model's catalogue at once, "Reset
// to Windows Defaults" (command 2) runs the catalogue's reset, "Done"
// (command 1) sends WM_PAGE_DONE to the hosting window.
//
// The pages sit below the application in the layering, so the application's
// "restart required" flag reaches them as a pointer the hosting window hands
// over (SetRestartFlag); rows that ask for a restart set it.
template <typename Model> class CSettingsPage : public CBaseWnd {
public:
    explicit CSettingsPage(const SettingsPageLayout& layout);

    void SetRestartFlag(bool* restartRequired) { m_restartRequired = restartRequired; }
    const Model& GetModel() const { return m_model; }
    Gdiplus::Image* GetHeaderImage() const { return m_header.Get(); }
    const SettingsPageLayout& GetLayout() const { return m_layout; }
    // Sets every box from the registry as it is now; the page does so when
    // it is initialised, its host after the registry changed under it.
    void ShowRegistryState();

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnDpiChanged() override { SetUpFonts(); }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

    // The blue ground, the header centred at the top and the white panel 20
    // pixels inside the edges, all moved up by `scroll`; the panel's bottom
    // is moved down by `panelExtension`.
    void DrawPageBackground(Gdiplus::Graphics& graphics, int scroll, int panelExtension);

private:
    void OnBoxClicked(int controlId);
    void OnReset();
    void ClearBoxes();
    void SetUpFonts();

    const SettingsPageLayout& m_layout;
    std::vector<CTransButton> m_boxes;
    Model m_model;
    CLazyImage m_header;
    std::vector<CThemeLabel> m_labels; // the explanations, then the introduction
    bool* m_restartRequired = nullptr;
};
