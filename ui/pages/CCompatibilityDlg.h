#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/compat/CompatibilityResult.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/controls/CButtonHeader.h"
#include "ui/controls/CScrollHelper.h"
#include "ui/controls/CThemeLabel.h"
#include "ui/controls/CVirtualListCtrl.h"
#include "ui/controls/PageDrawing.h"
#include "ui/skin/LazyImage.h"

// The "Device & App Compatibility" page of the main window: what the
// upgrade lost compared with the inventories saved before it, in three
// collapsible sections (drivers of devices no longer present, removed
// applications, reset file associations). Driver rows link to the Device
// Manager, association rows to the Default Programs association page.
//
// The differences are computed once, when the page is created, from the
// saved files in the current folder and the inventories of the
// compatibility result. "Done" sends WM_PAGE_DONE to the parent.
class CCompatibilityDlg : public CBaseWnd,
                          public IHeaderParent,
                          public IVirtualListParent,
                          public IVirtualListDrawParent {
public:
    // `result` stays the caller's and must outlive the page's creation;
    // without one every section is empty.
    explicit CCompatibilityDlg(const Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT* result);
    ~CCompatibilityDlg() override;

    std::wstring GetCellText(int row, int column, UINT listId) override;
    void OnCellButtonClick(int row, int column, UINT listId) override;
    void DrawListItem(DRAWITEMSTRUCT* item) override;
    void MeasureListItem(MEASUREITEMSTRUCT* item) override;
    void OnHeaderToggled(CButtonHeader* header) override;

    CVirtualListCtrl& GetDriversList() { return m_drivers.list; }
    CVirtualListCtrl& GetApplicationsList() { return m_applications.list; }
    CVirtualListCtrl& GetExtensionsList() { return m_extensions.list; }
    CButtonHeader& GetDriversHeader() { return m_drivers.header; }
    CButtonHeader& GetApplicationsHeader() { return m_applications.header; }
    CButtonHeader& GetExtensionsHeader() { return m_extensions.header; }
    const std::vector<Tavrin::Core::SavedDriver>& MissingDrivers() const { return missingDrivers; }
    const std::vector<Tavrin::Core::InstalledApp>& RemovedApps() const { return removedApps; }
    const std::vector<Tavrin::Core::SavedExtension>& LostAssociations() const { return lostAssociations; }
    // The saved files that exist but could not be read, in section order;
    // their sections say so instead of listing nothing.
    const std::vector<std::wstring>& UnreadableRecords() const { return unreadableRecords; }
    const CScrollHelper& GetScroller() const { return m_scroller; }
    int GetContentHeight() const { return m_contentHeight; }

    // The images the page reads while it is created: its title, and each
    // section header's closed state.
    static std::vector<std::wstring> ImagesReadAtCreation();

    static constexpr Gdiplus::ARGB kTextColor = PageColors::kBlackText;
    static constexpr Gdiplus::ARGB kLinkColor = PageColors::kLinkBlue;
    static constexpr int kRowHeight = 25;
    // Space above and below a row's text when the user's font is taller.
    static constexpr int kRowPadding = 6;
    static constexpr int kLinkHeight = 20;
    static constexpr int kSectionGap = 10;
    static constexpr int kWhiteMargin = 20;
    static constexpr int kTextIndent = 10;
    static constexpr int kTextPoints = 11;
    static const wchar_t kTitleImage[];
    static const wchar_t kDeviceManagerLink[];
    static const wchar_t kAssociationLink[];

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnDpiChanged() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override {}
    void OnCancel() override {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

private:
    struct Section {
        explicit Section(CCompatibilityDlg* owner) : list(owner, owner), header(owner) {}
        CVirtualListCtrl list;
        CButtonHeader header;
        CThemeLabel label;
        // Whether its saved file exists but could not be read.
        bool recordUnreadable = false;
        // Where the template put the label and the list.
        RECT labelRect = {};
        RECT listRect = {};
    };

    void CreateFonts();
    void CreateList(Section& section, UINT listId);
    void SetUpColumns(Section& section, UINT listId);
    void FillDifferences();
    void ShowUnreadableRecords();
    void Layout();
    Section* SectionOf(UINT listId);
    Section* SectionOf(const CButtonHeader* header);
    // Display order, top to bottom.
    Section* Sections(size_t index);

    const Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT* m_result;
    Section m_drivers{this};
    Section m_applications{this};
    Section m_extensions{this};
    std::vector<Tavrin::Core::SavedDriver> missingDrivers;
    std::vector<Tavrin::Core::InstalledApp> removedApps;
    std::vector<Tavrin::Core::SavedExtension> lostAssociations;
    std::vector<std::wstring> unreadableRecords;
    CScrollHelper m_scroller;
    CLazyImage m_titleImage;
    std::unique_ptr<Gdiplus::Font> m_textFont;
    std::unique_ptr<Gdiplus::Font> m_linkFont;
    RECT m_doneRect = {};
    int m_headerHeight = 0;
    UINT m_layoutDpi = 96;
    int m_contentWidth = 0;
    int m_contentHeight = 0;
    bool m_initialised = false;
    bool m_layingOut = false;
};
