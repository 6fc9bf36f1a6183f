#include "ui/pages/CCompatibilityDlg.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "core/compat/SystemTool.h"
#include "framework/CWinApp.h"
#include "platform/GdiHandles.h"
#include "res/resource.h"
#include "ui/controls/PageDrawing.h"
#include "ui/controls/TextFit.h"
#include "ui/pages/PageMessages.h"

using Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT;

namespace {

// The sections in display order, with their columns: the name column and,
// where rows carry a link, the link column (0 = none).
struct SectionInfo {
    UINT listId;
    int labelId;
    const wchar_t* title;
    int nameWidth;
    int linkWidth;
    const wchar_t* savedFile;
};
const SectionInfo kSectionInfo[] = {
    {IDC_LIST_DRIVERS, IDC_LABEL_DRIVERS, L"Drivers", 405, 200, Tavrin::Core::kDriversFile},
    {IDC_LIST_APPLICATIONS, IDC_LABEL_APPLICATIONS, L"Applications", 810, 0, Tavrin::Core::kApplicationsFile},
    {IDC_LIST_EXTENSIONS, IDC_LABEL_EXTENSIONS, L"Extensions", 405, 250, Tavrin::Core::kExtensionsFile},
};

// A saved file's name as the user finds it in the program's folder.
std::wstring ShownName(const wchar_t* savedFile)
{
    std::wstring name = savedFile;
    if (name.rfind(L"./", 0) == 0)
        name.erase(0, 2);
    return name;
}

constexpr size_t kSectionCount = std::size(kSectionInfo);

// Space between a section's header, its label and its list.
constexpr int kInnerGap = 6;

template <typename T> bool IsRowOf(int row, const std::vector<T>& rows)
{
    return row >= 0 && static_cast<size_t>(row) < rows.size();
}

// A cell of a section's list: the row's name in the first column, the
// section's link (null: its rows have none) in the second; nothing for a
// row the section does not have.
template <typename T>
std::wstring CellText(const std::vector<T>& rows, std::wstring T::*name, int row, int column,
                      const wchar_t* link)
{
    if (!IsRowOf(row, rows))
        return {};
    if (column == 0)
        return rows[static_cast<size_t>(row)].*name;
    if (column == 1 && link)
        return link;
    return {};
}

} // namespace

const wchar_t CCompatibilityDlg::kTitleImage[] = L"images/headers/compatability-title.png";
const wchar_t CCompatibilityDlg::kDeviceManagerLink[] = L"Link to Device Manager";
const wchar_t CCompatibilityDlg::kAssociationLink[] = L"Choose New Association";

CCompatibilityDlg::CCompatibilityDlg(const COMPATIBILITY_RESULT* result)
    : CBaseWnd(IDD_COMPATIBILITY), m_result(result)
{
}

CCompatibilityDlg::~CCompatibilityDlg()
{
    // The scroll helper must not touch a window that is going.
    m_scroller.DetachWnd();
}

std::vector<std::wstring> CCompatibilityDlg::ImagesReadAtCreation()
{
    std::vector<std::wstring> paths = {kTitleImage};
    paths.insert(paths.end(), kSectionCount, CButtonHeader::kClosedImage);
    return paths;
}

CCompatibilityDlg::Section* CCompatibilityDlg::Sections(size_t index)
{
    Section* sections[kSectionCount] = {&m_drivers, &m_applications, &m_extensions};
    return index < kSectionCount ? sections[index] : nullptr;
}

CCompatibilityDlg::Section* CCompatibilityDlg::SectionOf(UINT listId)
{
    for (size_t i = 0; i < kSectionCount; ++i)
        if (kSectionInfo[i].listId == listId)
            return Sections(i);
    return nullptr;
}

CCompatibilityDlg::Section* CCompatibilityDlg::SectionOf(const CButtonHeader* header)
{
    for (size_t i = 0; i < kSectionCount; ++i)
        if (&Sections(i)->header == header)
            return Sections(i);
    return nullptr;
}

void CCompatibilityDlg::DoDataExchange()
{
    CBaseWnd::DoDataExchange();
    for (size_t i = 0; i < kSectionCount; ++i)
        BindControl(kSectionInfo[i].labelId, Sections(i)->label);
}

BOOL CCompatibilityDlg::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    if (HWND done = GetDlgItem(IDOK)) {
        ::GetWindowRect(done, &m_doneRect);
        ScreenToClient(m_doneRect);
    }
    for (size_t i = 0; i < kSectionCount; ++i) {
        Section& section = *Sections(i);
        section.header.Create(this);
        section.header.ShowWindow(SW_SHOW);
        section.labelRect = section.label.GetRectInParent();
    }
    // The rows are measured by the text font when the lists are made.
    CreateFonts();
    CreateList(m_applications, IDC_LIST_APPLICATIONS);
    CreateList(m_drivers, IDC_LIST_DRIVERS);
    CreateList(m_extensions, IDC_LIST_EXTENSIONS);

    // Every section starts collapsed: only its header shows.
    for (size_t i = 0; i < kSectionCount; ++i) {
        Section& section = *Sections(i);
        RECT headerRect = section.header.GetRectInParent();
        m_headerHeight = std::max(m_headerHeight, static_cast<int>(headerRect.bottom - headerRect.top));
        section.header.SetWindowPos(nullptr, section.listRect.left, section.listRect.top,
                                    section.listRect.right - section.listRect.left,
                                    headerRect.bottom - headerRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
        section.header.SetTitle(kSectionInfo[i].title);
        section.list.ShowWindow(SW_HIDE);
        section.label.ShowWindow(SW_HIDE);
    }

    // Tab follows the page from top to bottom: "Done", then each section's
    // header bar and its list.
    ArrangeTabOrder({GetDlgItem(IDOK), m_drivers.header, m_drivers.list, m_applications.header,
                     m_applications.list, m_extensions.header, m_extensions.list});

    m_titleImage.SetPath(kTitleImage);
    m_layoutDpi = GetDpi();
    m_scroller.AttachWnd(this);
    m_initialised = true;
    Layout();

    FillDifferences();
    ShowUnreadableRecords();
    m_drivers.list.SetItemCount(static_cast<int>(missingDrivers.size()));
    m_applications.list.SetItemCount(static_cast<int>(removedApps.size()));
    m_extensions.list.SetItemCount(static_cast<int>(lostAssociations.size()));
    SetUpColumns(m_extensions, IDC_LIST_EXTENSIONS);
    SetUpColumns(m_applications, IDC_LIST_APPLICATIONS);
    SetUpColumns(m_drivers, IDC_LIST_DRIVERS);
    return TRUE;
}

void CCompatibilityDlg::CreateFonts()
{
    m_textFont.reset(CreateMessageFont(FontSpec::Regular(kTextPoints), GetDpi()));
    m_linkFont.reset(CreateMessageFont(FontSpec::Regular(kTextPoints).Underlined(), GetDpi()));
}

void CCompatibilityDlg::OnDpiChanged()
{
    // The template's controls are back at their places for the new DPI;
    // what the page placed itself is scaled from the old one.
    const UINT previous = m_layoutDpi;
    m_layoutDpi = GetDpi();
    auto rescale = [&](LONG value) { return static_cast<LONG>(::MulDiv(value, m_layoutDpi, previous)); };
    if (HWND done = GetDlgItem(IDOK)) {
        ::GetWindowRect(done, &m_doneRect);
        ScreenToClient(m_doneRect);
    }
    m_headerHeight = rescale(m_headerHeight);
    for (size_t i = 0; i < kSectionCount; ++i) {
        Section& section = *Sections(i);
        section.labelRect = section.label.GetRectInParent();
        section.listRect = RECT{rescale(section.listRect.left), rescale(section.listRect.top),
                                rescale(section.listRect.right), rescale(section.listRect.bottom)};
        if (section.list.GetSafeHwnd()) {
            for (int column = 0; column < 2; ++column)
                if (const int width = section.list.GetColumnWidth(column))
                    section.list.SetColumnWidth(column, rescale(width));
            for (const auto& [column, box] : std::map<int, RECT>(section.list.CellButtons()))
                section.list.SetCellButton(column, RECT{rescale(box.left), rescale(box.top),
                                                        rescale(box.right), rescale(box.bottom)});
        }
    }
    CreateFonts();
    Layout();
}

void CCompatibilityDlg::CreateList(Section& section, UINT listId)
{
    // The template's list view only marks the place: it goes, and an owner-
    // data list with the same identifier takes its place in the tab order.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_ALIGNLEFT;
    HWND insertAfter = HWND_TOP;
    if (HWND placeholder = GetDlgItem(static_cast<int>(listId))) {
        ::GetWindowRect(placeholder, &section.listRect);
        ScreenToClient(section.listRect);
        style = static_cast<DWORD>(::GetWindowLongPtrW(placeholder, GWL_STYLE));
        if (HWND previous = ::GetWindow(placeholder, GW_HWNDPREV))
            insertAfter = previous;
        // The new list must be the only window with this identifier before
        // it is created: its first messages are routed by identifier.
        ::DestroyWindow(placeholder);
    }
    if (!section.list.Create(style, section.listRect, this, listId))
        return;
    section.list.SetFont(GetFont(), FALSE);
    section.list.SetExtendedStyle(LVS_EX_DOUBLEBUFFER);
    section.list.SetWindowPos(insertAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CCompatibilityDlg::SetUpColumns(Section& section, UINT listId)
{
    const SectionInfo* info = nullptr;
    for (const SectionInfo& candidate : kSectionInfo)
        if (candidate.listId == listId)
            info = &candidate;
    if (!info || !section.list.GetSafeHwnd())
        return;
    section.list.InsertColumn(0, L"", LVCFMT_LEFT, Scaled(info->nameWidth));
    if (info->linkWidth > 0) {
        section.list.InsertColumn(1, L"", LVCFMT_LEFT, Scaled(info->linkWidth));
        section.list.SetCellButton(1, RECT{0, 0, Scaled(info->linkWidth), Scaled(kLinkHeight)});
    }
}

void CCompatibilityDlg::FillDifferences()
{
    if (!m_result)
        return;
    using Tavrin::Core::SavedFile::ReadState;
    ReadState drivers = ReadState::Read;
    ReadState apps = ReadState::Read;
    ReadState associations = ReadState::Read;
    // Indexed by row from here on; the rows are moved, not copied.
    auto driverRows = m_result->drivers.MissingDrivers(Tavrin::Core::kDriversFile, &drivers);
    missingDrivers.assign(std::make_move_iterator(driverRows.begin()),
                          std::make_move_iterator(driverRows.end()));
    auto appRows =
        Tavrin::Core::MissingApplications(m_result->installedApps, Tavrin::Core::kApplicationsFile, &apps);
    removedApps.assign(std::make_move_iterator(appRows.begin()), std::make_move_iterator(appRows.end()));
    auto associationRows =
        m_result->extensions.LostAssociations(Tavrin::Core::kExtensionsFile, &associations);
    lostAssociations.assign(std::make_move_iterator(associationRows.begin()),
                            std::make_move_iterator(associationRows.end()));
    // A missing file means nothing was recorded; one that is there but
    // cannot be read may have held anything, so its empty list proves nothing.
    m_drivers.recordUnreadable = drivers == ReadState::Unreadable;
    m_applications.recordUnreadable = apps == ReadState::Unreadable;
    m_extensions.recordUnreadable = associations == ReadState::Unreadable;
}

void CCompatibilityDlg::ShowUnreadableRecords()
{
    unreadableRecords.clear();
    for (size_t i = 0; i < kSectionCount; ++i) {
        Section& section = *Sections(i);
        if (!section.recordUnreadable)
            continue;
        const std::wstring file = ShownName(kSectionInfo[i].savedFile);
        unreadableRecords.push_back(file);
        section.header.SetTitle(std::wstring(kSectionInfo[i].title) + L" (record unreadable)");
        const std::wstring text = L"The record saved before the upgrade, " + file + L", could not be read.";
        section.label.SetText(text);
        section.label.SetWindowText(text);
    }
}

void CCompatibilityDlg::Layout()
{
    if (!m_initialised)
        return;
    // Showing or hiding a scroll bar during the update below sizes the page
    // again; that nested layout would place the sections for a scroll
    // position the window has not been scrolled to yet.
    if (m_layingOut)
        return;
    m_layingOut = true;
    // Where everything goes in content coordinates, first: the scroll
    // position follows from the content size.
    struct Placement {
        CWnd* window;
        RECT rect;
    };
    std::vector<Placement> placements;
    const int left = m_drivers.listRect.left;
    const int width = m_drivers.listRect.right - m_drivers.listRect.left;
    int right = std::max(static_cast<int>(m_doneRect.right), left + width);
    const int sectionGap = Scaled(kSectionGap);
    const int innerGap = Scaled(kInnerGap);
    int y = m_doneRect.bottom + sectionGap;
    for (size_t i = 0; i < kSectionCount; ++i) {
        Section& section = *Sections(i);
        placements.push_back({&section.header, {left, y, left + width, y + m_headerHeight}});
        y += m_headerHeight;
        if (section.header.IsOpened()) {
            y += innerGap;
            const RECT& label = section.labelRect;
            const int labelHeight = label.bottom - label.top;
            placements.push_back({&section.label, {label.left, y, label.right, y + labelHeight}});
            right = std::max(right, static_cast<int>(label.right));
            y += labelHeight + innerGap;
            const int listHeight = section.listRect.bottom - section.listRect.top;
            placements.push_back({&section.list, {left, y, left + width, y + listHeight}});
            y += listHeight;
        }
        y += sectionGap;
    }
    // Room for the white frame's margin below and beside the sections.
    m_contentHeight = y + Scaled(kWhiteMargin);
    m_contentWidth = right + 2 * Scaled(kWhiteMargin);
    if (m_titleImage)
        m_contentWidth =
            std::max(m_contentWidth, static_cast<int>(ImageSizeAt(m_titleImage.Get(), GetDpi()).cx));
    m_scroller.SetDisplaySize(m_contentWidth, m_contentHeight);
    // The update scrolls the whole client area (the template's controls
    // with it) to the new position; the sections are then put where that
    // position wants them.
    m_scroller.UpdateScrollInfo();
    const SIZE scroll = m_scroller.GetScrollPos();
    for (const Placement& placement : placements) {
        const RECT& r = placement.rect;
        placement.window->SetWindowPos(nullptr, r.left - scroll.cx, r.top - scroll.cy, r.right - r.left,
                                       r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_layingOut = false;
}

std::wstring CCompatibilityDlg::GetCellText(int row, int column, UINT listId)
{
    switch (listId) {
    case IDC_LIST_DRIVERS:
        return CellText(missingDrivers, &Tavrin::Core::SavedDriver::name, row, column, kDeviceManagerLink);
    case IDC_LIST_APPLICATIONS:
        return CellText(removedApps, &Tavrin::Core::InstalledApp::displayName, row, column, nullptr);
    case IDC_LIST_EXTENSIONS:
        return CellText(lostAssociations, &Tavrin::Core::SavedExtension::extension, row, column,
                        kAssociationLink);
    }
    return {};
}

void CCompatibilityDlg::OnCellButtonClick(int row, int /*column*/, UINT listId)
{
    // Only the link column has a cell button, so the list alone decides.
    // A row the page does not have is ignored rather than trusted.
    if (listId == IDC_LIST_DRIVERS && IsRowOf(row, missingDrivers)) {
        // The console of the system folder, by its full path: the program
        // runs elevated, so nothing found by name may start in its place.
        const std::wstring console = Tavrin::Core::SystemToolPath(L"mmc.exe");
        Tavrin::Core::StartSystemTool(L"mmc.exe", L"\"" + console + L"\" devmgmt.msc", {});
    } else if (listId == IDC_LIST_EXTENSIONS && IsRowOf(row, lostAssociations)) {
        // The control panel likewise, never found by name or through a
        // file association.
        const std::wstring panel = Tavrin::Core::SystemToolPath(L"control.exe");
        Tavrin::Core::StartSystemTool(
            L"control.exe", L"\"" + panel + L"\" /name Microsoft.DefaultPrograms /page pageFileAssoc", {});
    }
}

void CCompatibilityDlg::MeasureListItem(MEASUREITEMSTRUCT* item)
{
    if (!item)
        return;
    item->itemWidth = 10;
    // A row holds a line of the text font, whatever the user's font.
    int height = Scaled(kRowHeight);
    if (m_textFont) {
        Tavrin::Platform::WindowDc screen(nullptr);
        Gdiplus::Graphics graphics(screen.Get());
        const auto line = static_cast<int>(std::ceil(m_textFont->GetHeight(&graphics)));
        height = std::max(height, line + Scaled(kRowPadding));
    }
    item->itemHeight = static_cast<UINT>(height);
}

void CCompatibilityDlg::DrawListItem(DRAWITEMSTRUCT* item)
{
    if (!item || item->itemAction != ODA_DRAWENTIRE)
        return;
    Section* section = SectionOf(item->CtlID);
    if (!section)
        return;
    const int row = static_cast<int>(item->itemID);
    const std::wstring name = GetCellText(row, 0, item->CtlID);
    const std::wstring link = GetCellText(row, 1, item->CtlID);

    Gdiplus::Graphics graphics(item->hDC);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
    Gdiplus::StringFormat format;
    format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    // The list's tooltip shows a cut cell's whole text.
    format.SetTrimming(Gdiplus::StringTrimmingNone);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);

    const RECT& rect = item->rcItem;
    const auto top = static_cast<Gdiplus::REAL>(rect.top);
    const auto height = static_cast<Gdiplus::REAL>(rect.bottom - rect.top);
    const int nameColumn = section->list.GetColumnWidth(0);
    const int indent = Scaled(kTextIndent);
    const int nameWidth = nameColumn - indent;
    if (nameWidth > 0 && m_textFont) {
        Gdiplus::SolidBrush brush{Gdiplus::Color(kTextColor)};
        Gdiplus::RectF box(static_cast<Gdiplus::REAL>(rect.left + indent), top,
                           static_cast<Gdiplus::REAL>(nameWidth), height);
        const FittedText fitted = FitText(graphics, name, *m_textFont, box, format);
        graphics.DrawString(fitted.text.c_str(), static_cast<INT>(fitted.text.size()), m_textFont.get(), box,
                            &format, &brush);
    }
    if (!link.empty() && m_linkFont) {
        Gdiplus::SolidBrush brush{Gdiplus::Color(kLinkColor)};
        Gdiplus::RectF box(static_cast<Gdiplus::REAL>(rect.left + nameColumn + indent), top,
                           static_cast<Gdiplus::REAL>(section->list.GetColumnWidth(1) - indent), height);
        const FittedText fitted = FitText(graphics, link, *m_linkFont, box, format);
        graphics.DrawString(fitted.text.c_str(), static_cast<INT>(fitted.text.size()), m_linkFont.get(), box,
                            &format, &brush);
    }
}

void CCompatibilityDlg::OnHeaderToggled(CButtonHeader* header)
{
    Section* section = SectionOf(header);
    if (!section)
        return;
    const int show = header->IsOpened() ? SW_SHOW : SW_HIDE;
    section->list.ShowWindow(show);
    section->label.ShowWindow(show);
    Layout();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

BOOL CCompatibilityDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
        ::SendMessageW(GetParent(), WM_PAGE_DONE, 0, 0);
        return TRUE;
    }
    return CBaseWnd::OnCommand(wParam, lParam);
}

LRESULT CCompatibilityDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool scrolls = m_scroller.GetAttachedWnd() != nullptr;
    switch (message) {
    case WM_VSCROLL:
        if (scrolls && !lParam) {
            m_scroller.OnVScroll(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_HSCROLL:
        if (scrolls && !lParam) {
            m_scroller.OnHScroll(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_MOUSEWHEEL:
        if (scrolls && m_scroller.OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam)))
            return 0;
        break;
    case WM_SIZE: {
        // The host sizes the page to its client area after creating it.
        LRESULT result = CBaseWnd::WindowProc(message, wParam, lParam);
        Layout();
        return result;
    }
    case WM_DESTROY:
        m_scroller.DetachWnd();
        break;
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
}

void CCompatibilityDlg::DrawContent(Gdiplus::Graphics& graphics)
{
    const SIZE scroll = m_scroller.GetScrollPos();
    const RECT client = GetClientRect();
    // While the page scrolls the white frame runs with the content, so that
    // its bottom margin shows only at the content's end.
    const RECT area{-scroll.cx, -scroll.cy,
                    std::max(client.right, static_cast<LONG>(m_contentWidth)) - scroll.cx,
                    std::max(client.bottom, static_cast<LONG>(m_contentHeight) - scroll.cy)};
    DrawHeaderAndWhitePanel(graphics, m_titleImage.Get(), area, PageColors::kBlue, GetDpi(),
                            {Scaled(kWhiteMargin), std::nullopt});
}
