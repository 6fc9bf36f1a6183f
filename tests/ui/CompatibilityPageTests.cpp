#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "core/compat/CompatibilityResult.h"
#include "platform/Module.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "tests/support/PageHostSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "tests/ui/LinkStandIns.h"
#include "ui/pages/CCompatibilityDlg.h"

using namespace Tavrin::Test;
using Tavrin::Core::Drivers;
using Tavrin::Core::Extensions;
using Tavrin::Core::InstalledApp;
using Tavrin::Core::SavedDriver;
using Tavrin::Core::SavedExtension;

namespace {

InstalledApp App(const std::wstring& key, const std::wstring& name)
{
    return {Tavrin::Core::kMachineRoot, Tavrin::Core::kUninstallPath, key, name};
}

// The system after the upgrade: Alpha stayed, the network adapter is still
// present, .txt keeps its program and .mp3 went to another one.
void SetCurrentInventories(Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT& result)
{
    result.installedApps = {App(L"{A}", L"Alpha Suite 2"), App(L"{Z}", L"Zeta")};
    result.drivers.current = {{L"Network", L"PCI\\VEN_8086&DEV_100E", L""}};
    result.extensions.current = {{L".txt", L"txtfile", L"other", L"other"},
                                 {L".mp3", L"VLC.mp3", L"h", L"vlc.exe"}};
}

// An upgrade as the page sees it: the saved files an older system left in
// the program's folder (the current folder) and the inventories of now.
class CompatibilityPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            theSkin.Load(Tavrin::Platform::JoinPath(BinFolder(), L"ui.xml"), ::GetModuleHandleW(nullptr)));
        ASSERT_TRUE(inFolder.Entered());
    }
    void TearDown() override
    {
        page.reset();
        if (host.GetSafeHwnd())
            host.DestroyWindow();
        theSkin.Reset();
    }

    void WriteSavedFiles()
    {
        std::list<InstalledApp> savedApps = {App(L"{A}", L"Alpha Suite"), App(L"{B}", L"Beta Player"),
                                             App(L"{C}", L"C:\\Program Files\\Gamma\\Editor\\")};
        ASSERT_TRUE(Tavrin::Core::SaveInstalledApps(savedApps));
        Drivers savedDrivers;
        savedDrivers.current = {
            {L"USB Camera", L"USB\\VID_1234&PID_0001", L"{ca3e7ab9-b4c3-4ae6-8251-579ef933890f}"},
            {L"PCI Network Adapter", L"PCI\\VEN_8086&DEV_100E", L"{4d36e972-e325-11ce-bfc1}"},
            {L"HD Audio Device", L"HDAUDIO\\FUNC_01", L"{4d36e96c-e325-11ce-bfc1}"}};
        ASSERT_TRUE(savedDrivers.SaveDrivers());
        Extensions savedExtensions;
        savedExtensions.current = {{L".pdf", L"AcroExch.Document", L"h1", L"acrobat.exe \"%1\""},
                                   {L".txt", L"txtfile", L"h2", L"notepad.exe \"%1\""},
                                   {L".mp3", L"WMP11.AssocFile.MP3", L"h3", L"wmplayer.exe \"%1\""}};
        ASSERT_TRUE(savedExtensions.SaveAssociations());

        SetCurrentInventories(result);
    }

    void CreatePage(int width = 0, int height = 0)
    {
        ASSERT_TRUE(host.CreateIndirect(form.Get(), nullptr));
        page = std::make_unique<CCompatibilityDlg>(&result);
        ASSERT_TRUE(page->Create(IDD_COMPATIBILITY, &host));
        RECT client = host.GetClientRect();
        page->SetWindowPos(nullptr, 0, 0, width ? width : client.right, height ? height : client.bottom,
                           SWP_NOZORDER | SWP_SHOWWINDOW);
        PumpMessages();
    }

    RECT RectOf(CWnd& window) { return window.GetRectInParent(); }
    RECT RectOf(HWND window)
    {
        RECT rect;
        ::GetWindowRect(window, &rect);
        ::MapWindowPoints(HWND_DESKTOP, *page, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    void Toggle(CButtonHeader& header)
    {
        Click(header.GetButton());
        PumpMessages();
    }

    // A point in a row's cell of a list, `down` pixels below the row's top.
    POINT CellPoint(CVirtualListCtrl& list, int row, int column, int down = 10)
    {
        RECT cell;
        list.GetSubItemRect(row, column, LVIR_BOUNDS, cell);
        return {cell.left + 20, cell.top + down};
    }

    TempFolder folder;
    ScopedCurrentFolder inFolder{folder.Path()};
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT result;
    DialogTemplate form{WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 790, 440, L"Compatibility"};
    PageHost host;
    std::unique_ptr<CCompatibilityDlg> page;
};

} // namespace

TEST_F(CompatibilityPageTest, EachListShowsWhatWentMissingInSavedOrder)
{
    WriteSavedFiles();
    CreatePage();
    CCompatibilityDlg& p = *page;
    ASSERT_EQ(p.GetDriversList().GetItemCount(), 2);
    ASSERT_EQ(p.GetApplicationsList().GetItemCount(), 2);
    ASSERT_EQ(p.GetExtensionsList().GetItemCount(), 2);

    EXPECT_EQ(p.GetCellText(0, 0, IDC_LIST_DRIVERS), L"USB Camera");
    EXPECT_EQ(p.GetCellText(1, 0, IDC_LIST_DRIVERS), L"HD Audio Device");
    EXPECT_EQ(p.GetCellText(1, 1, IDC_LIST_DRIVERS), L"Link to Device Manager");
    EXPECT_EQ(p.GetCellText(0, 0, IDC_LIST_APPLICATIONS), L"Beta Player");
    EXPECT_EQ(p.GetCellText(1, 0, IDC_LIST_APPLICATIONS), L"C:\\Program Files\\Gamma\\Editor\\");
    EXPECT_EQ(p.GetCellText(0, 1, IDC_LIST_APPLICATIONS), L"");
    EXPECT_EQ(p.GetCellText(0, 0, IDC_LIST_EXTENSIONS), L".pdf");
    EXPECT_EQ(p.GetCellText(1, 0, IDC_LIST_EXTENSIONS), L".mp3");
    EXPECT_EQ(p.GetCellText(0, 1, IDC_LIST_EXTENSIONS), L"Choose New Association");
    // Cells that do not exist are empty.
    EXPECT_EQ(p.GetCellText(2, 0, IDC_LIST_DRIVERS), L"");
    EXPECT_EQ(p.GetCellText(-1, 0, IDC_LIST_EXTENSIONS), L"");
    EXPECT_EQ(p.GetCellText(0, 2, IDC_LIST_EXTENSIONS), L"");
    EXPECT_EQ(p.GetCellText(0, 0, 4242), L"");

    // The lists are the page's own: they answer the system's text requests.
    wchar_t text[64] = {};
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = 64;
    p.GetApplicationsList().SendMessage(LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(text), L"Beta Player");
}

TEST_F(CompatibilityPageTest, ListsHaveTheirColumnsLinkAreasAndDoubleBuffering)
{
    WriteSavedFiles();
    CreatePage();
    CCompatibilityDlg& p = *page;
    EXPECT_EQ(p.GetDriversList().GetDlgCtrlID(), IDC_LIST_DRIVERS);
    EXPECT_EQ(p.GetApplicationsList().GetDlgCtrlID(), IDC_LIST_APPLICATIONS);
    EXPECT_EQ(p.GetExtensionsList().GetDlgCtrlID(), IDC_LIST_EXTENSIONS);
    EXPECT_EQ(::GetDlgItem(*page, IDC_LIST_DRIVERS), p.GetDriversList().GetSafeHwnd());

    EXPECT_EQ(p.GetDriversList().GetColumnCount(), 2);
    EXPECT_EQ(p.GetDriversList().GetColumnWidth(0), 405);
    EXPECT_EQ(p.GetDriversList().GetColumnWidth(1), 200);
    EXPECT_EQ(p.GetApplicationsList().GetColumnCount(), 1);
    EXPECT_EQ(p.GetApplicationsList().GetColumnWidth(0), 810);
    EXPECT_EQ(p.GetExtensionsList().GetColumnWidth(0), 405);
    EXPECT_EQ(p.GetExtensionsList().GetColumnWidth(1), 250);

    ASSERT_EQ(p.GetDriversList().CellButtons().size(), 1u);
    RECT driverLink = p.GetDriversList().CellButtons().at(1);
    EXPECT_TRUE(driverLink.left == 0 && driverLink.top == 0 && driverLink.right == 200 &&
                driverLink.bottom == 20);
    RECT extensionLink = p.GetExtensionsList().CellButtons().at(1);
    EXPECT_TRUE(extensionLink.right == 250 && extensionLink.bottom == 20);
    EXPECT_TRUE(p.GetApplicationsList().CellButtons().empty());

    for (CVirtualListCtrl* list : {&p.GetDriversList(), &p.GetApplicationsList(), &p.GetExtensionsList()}) {
        EXPECT_NE(list->GetExtendedStyle() & LVS_EX_DOUBLEBUFFER, 0u);
        EXPECT_NE(list->GetStyle() & LVS_OWNERDATA, 0u);
        EXPECT_NE(list->GetStyle() & LVS_OWNERDRAWFIXED, 0u);
        RECT row;
        ASSERT_TRUE(list->GetItemRect(0, row, LVIR_BOUNDS));
        EXPECT_EQ(row.bottom - row.top, 25);
    }
}

TEST_F(CompatibilityPageTest, WithoutSavedFilesEverySectionIsEmpty)
{
    result.installedApps = {App(L"{A}", L"Alpha")};
    result.drivers.current = {{L"Network", L"PCI\\X", L""}};
    CreatePage();
    EXPECT_EQ(page->GetDriversList().GetItemCount(), 0);
    EXPECT_EQ(page->GetApplicationsList().GetItemCount(), 0);
    EXPECT_EQ(page->GetExtensionsList().GetItemCount(), 0);
    EXPECT_TRUE(page->MissingDrivers().empty());
    EXPECT_TRUE(page->RemovedApps().empty());
    EXPECT_TRUE(page->LostAssociations().empty());
    // Nothing recorded is nothing unreadable.
    EXPECT_TRUE(page->UnreadableRecords().empty());
}

TEST_F(CompatibilityPageTest, TheDifferencesAreComputedOnceWhenThePageIsCreated)
{
    WriteSavedFiles();
    CreatePage();
    // An association chosen again afterwards does not change the page.
    result.extensions.current.push_back({L".pdf", L"AcroExch.Document", L"", L""});
    ::DeleteFileW(L"applications.saved");
    Toggle(page->GetExtensionsHeader());
    Toggle(page->GetApplicationsHeader());
    EXPECT_EQ(page->GetExtensionsList().GetItemCount(), 2);
    EXPECT_EQ(page->GetCellText(0, 0, IDC_LIST_EXTENSIONS), L".pdf");
    EXPECT_EQ(page->GetApplicationsList().GetItemCount(), 2);
}

TEST_F(CompatibilityPageTest, SectionsStartCollapsedAndStackBelowDone)
{
    WriteSavedFiles();
    CreatePage();
    CCompatibilityDlg& p = *page;
    EXPECT_EQ(p.GetDriversHeader().GetTitle().GetText(), L"Drivers");
    EXPECT_EQ(p.GetApplicationsHeader().GetTitle().GetText(), L"Applications");
    EXPECT_EQ(p.GetExtensionsHeader().GetTitle().GetText(), L"Extensions");
    for (int id : {IDC_LIST_DRIVERS, IDC_LIST_APPLICATIONS, IDC_LIST_EXTENSIONS, IDC_LABEL_DRIVERS,
                   IDC_LABEL_APPLICATIONS, IDC_LABEL_EXTENSIONS})
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(*page, id))) << id;

    RECT done = RectOf(::GetDlgItem(*page, IDOK));
    RECT drivers = RectOf(p.GetDriversHeader());
    RECT applications = RectOf(p.GetApplicationsHeader());
    RECT extensions = RectOf(p.GetExtensionsHeader());
    EXPECT_TRUE(p.GetDriversHeader().IsWindowVisible());
    EXPECT_EQ(drivers.top, done.bottom + 10);
    EXPECT_EQ(applications.top, drivers.bottom + 10);
    EXPECT_EQ(extensions.top, applications.bottom + 10);
    EXPECT_EQ(p.GetContentHeight(), extensions.bottom + 10 + 20);
    SaveScreenshot(host, L"CompatibilityPage_Collapsed");
}

TEST_F(CompatibilityPageTest, AHeaderToggleShowsItsSectionAndMovesTheOnesBelow)
{
    WriteSavedFiles();
    CreatePage();
    CCompatibilityDlg& p = *page;
    RECT applicationsBefore = RectOf(p.GetApplicationsHeader());
    int contentBefore = p.GetContentHeight();

    Toggle(p.GetDriversHeader());
    ASSERT_TRUE(p.GetDriversHeader().IsOpened());
    HWND label = ::GetDlgItem(*page, IDC_LABEL_DRIVERS);
    EXPECT_TRUE(::IsWindowVisible(label));
    EXPECT_TRUE(p.GetDriversList().IsWindowVisible());
    EXPECT_FALSE(p.GetApplicationsList().IsWindowVisible());
    RECT header = RectOf(p.GetDriversHeader());
    RECT labelRect = RectOf(label);
    RECT list = RectOf(p.GetDriversList());
    EXPECT_GT(labelRect.top, header.bottom);
    EXPECT_GT(list.top, labelRect.bottom);
    RECT applications = RectOf(p.GetApplicationsHeader());
    EXPECT_EQ(applications.top, list.bottom + 10);
    EXPECT_EQ(p.GetContentHeight() - contentBefore, applications.top - applicationsBefore.top);

    Toggle(p.GetDriversHeader());
    EXPECT_FALSE(p.GetDriversHeader().IsOpened());
    EXPECT_FALSE(::IsWindowVisible(label));
    EXPECT_FALSE(p.GetDriversList().IsWindowVisible());
    applications = RectOf(p.GetApplicationsHeader());
    EXPECT_EQ(applications.top, applicationsBefore.top);
    EXPECT_EQ(p.GetContentHeight(), contentBefore);
}

TEST_F(CompatibilityPageTest, ExpandedSectionsAreDrawnWithNamesAndLinks)
{
    WriteSavedFiles();
    CreatePage();
    CCompatibilityDlg& p = *page;
    Toggle(p.GetDriversHeader());
    Toggle(p.GetApplicationsHeader());
    Toggle(p.GetExtensionsHeader());
    EXPECT_TRUE(p.GetExtensionsList().IsWindowVisible());
    SaveScreenshot(host, L"CompatibilityPage_Expanded");

    WindowCapture drivers = CaptureWindow(p.GetDriversList());
    ASSERT_FALSE(drivers.Empty());
    RECT row;
    ASSERT_TRUE(p.GetDriversList().GetItemRect(0, row, LVIR_BOUNDS));
    RECT name = {row.left, row.top, row.left + 405, row.bottom};
    RECT link = {row.left + 405, row.top, row.left + 405 + 200, row.bottom};
    // Black names, blue links (anti-aliasing leaves some pixels in between).
    EXPECT_GT(drivers.Count(RGB(0, 0, 0), name), 20);
    EXPECT_EQ(drivers.Count(RGB(0, 0, 255), name), 0);
    EXPECT_GT(drivers.Count(RGB(0, 0, 255), link), 20);
    // The name starts 10 pixels into the row.
    RECT indent = {row.left, row.top, row.left + 10, row.bottom};
    EXPECT_EQ(drivers.Count(RGB(0, 0, 0), indent), 0);
    // The page is blue around a white frame.
    WindowCapture whole = CaptureWindow(*page);
    EXPECT_EQ(whole.At(5, whole.Height() - 5), RGB(0x0A, 0x70, 0xC5));
    EXPECT_EQ(whole.At(25, whole.Height() - 25), RGB(0xFF, 0xFF, 0xFF));
}

TEST_F(CompatibilityPageTest, AHoveredLinkIsHot)
{
    WriteSavedFiles();
    CreatePage();
    Toggle(page->GetExtensionsHeader());
    CVirtualListCtrl& list = page->GetExtensionsList();
    MouseMove(list, CellPoint(list, 1, 1));
    EXPECT_EQ(list.GetHotRow(), 1);
    EXPECT_EQ(list.GetActiveColumn(), 1);
    PumpMessages();
    SaveScreenshot(host, L"CompatibilityPage_HoveredLink");
}

TEST_F(CompatibilityPageTest, DoneSendsThePageDoneMessageToTheHost)
{
    CreatePage();
    ::SendMessageW(::GetDlgItem(*page, IDOK), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(host.DoneCount(), 1);
    EXPECT_TRUE(page->IsWindowVisible());
}

TEST_F(CompatibilityPageTest, APageHigherThanItsWindowScrolls)
{
    WriteSavedFiles();
    CreatePage(900, 420);
    CCompatibilityDlg& p = *page;
    Toggle(p.GetDriversHeader());
    Toggle(p.GetApplicationsHeader());
    Toggle(p.GetExtensionsHeader());
    ASSERT_GT(p.GetContentHeight(), 420);
    EXPECT_GT(p.GetScroller().GetPageSize().cy, 0);
    EXPECT_NE(p.GetStyle() & WS_VSCROLL, 0u);
    RECT before = RectOf(p.GetExtensionsHeader());
    EXPECT_EQ(MouseWheel(p, -120), 0);
    PumpMessages();
    EXPECT_EQ(p.GetScroller().GetScrollPos().cy, 60);
    RECT after = RectOf(p.GetExtensionsHeader());
    EXPECT_EQ(after.top, before.top - 60);

    // A toggle while scrolled keeps the sections where the scroll put them.
    Toggle(p.GetDriversHeader());
    RECT drivers = RectOf(p.GetDriversHeader());
    RECT done = RectOf(::GetDlgItem(*page, IDOK));
    EXPECT_EQ(drivers.top, done.bottom + 10);
    SaveScreenshot(host, L"CompatibilityPage_Scrolled");
}

TEST_F(CompatibilityPageTest, CollapsingAndExpandingWhileScrolledKeepsTheStackInPlace)
{
    WriteSavedFiles();
    CreatePage(900, 420);
    CCompatibilityDlg& p = *page;
    CButtonHeader* headers[] = {&p.GetDriversHeader(), &p.GetApplicationsHeader(), &p.GetExtensionsHeader()};
    CVirtualListCtrl* lists[] = {&p.GetDriversList(), &p.GetApplicationsList(), &p.GetExtensionsList()};
    // Every section's header sits 10 pixels below what is above it: "Done"
    // (which scrolls with the page), or the list of an open section, or the
    // header of a closed one; the first is where the scroll position says.
    auto expectStacked = [&](const char* when) {
        SCOPED_TRACE(when);
        RECT above = RectOf(::GetDlgItem(*page, IDOK));
        for (size_t i = 0; i < std::size(headers); ++i) {
            const RECT header = RectOf(*headers[i]);
            EXPECT_EQ(header.top, above.bottom + 10) << i;
            above = headers[i]->IsOpened() ? RectOf(*lists[i]) : header;
        }
        EXPECT_EQ(above.bottom + p.GetScroller().GetScrollPos().cy + 10 + 20, p.GetContentHeight());
    };
    for (CButtonHeader* header : headers)
        Toggle(*header);
    // To the end of the content, then collapse and expand each section in
    // turn: the collapses take the scroll bar away on the way.
    for (int i = 0; i < 20; ++i)
        ::SendMessageW(p, WM_VSCROLL, SB_PAGEDOWN, 0);
    PumpMessages();
    ASSERT_GT(p.GetScroller().GetScrollPos().cy, 0);
    expectStacked("scrolled to the end");
    for (CButtonHeader* header : headers) {
        Toggle(*header);
        expectStacked("collapsed one more");
    }
    EXPECT_EQ(p.GetScroller().GetScrollPos().cy, 0);
    EXPECT_EQ(p.GetStyle() & WS_VSCROLL, 0u);
    for (CButtonHeader* header : headers) {
        Toggle(*header);
        ::SendMessageW(p, WM_VSCROLL, SB_PAGEDOWN, 0);
        PumpMessages();
        expectStacked("expanded one more and scrolled");
    }
    SaveScreenshot(host, L"CompatibilityPage_ReLaidWhileScrolled");
}

TEST_F(CompatibilityPageTest, HeaderBarsTellScreenReadersTheirTitleAndStateAndComeInReadingOrder)
{
    WriteSavedFiles();
    CreatePage();
    CCompatibilityDlg& p = *page;
    CButtonHeader* headers[] = {&p.GetDriversHeader(), &p.GetApplicationsHeader(), &p.GetExtensionsHeader()};
    CVirtualListCtrl* lists[] = {&p.GetDriversList(), &p.GetApplicationsList(), &p.GetExtensionsList()};
    for (CButtonHeader* header : headers) {
        const std::wstring title = header->GetTitle().GetText();
        for (HWND window : {header->GetSafeHwnd(), header->GetButton().GetSafeHwnd()}) {
            const AccessibleFacts facts = DescribeAccessible(window);
            ASSERT_TRUE(facts.found);
            EXPECT_EQ(facts.name, title);
            EXPECT_EQ(facts.role, ROLE_SYSTEM_PUSHBUTTON);
        }
        EXPECT_NE(DescribeAccessible(*header).state & STATE_SYSTEM_COLLAPSED, 0);
        EXPECT_EQ(DoAccessibleDefaultAction(*header), S_OK);
        EXPECT_TRUE(PumpUntil([&] { return header->IsOpened(); }));
        EXPECT_NE(DescribeAccessible(*header).state & STATE_SYSTEM_EXPANDED, 0);
    }
    // Tab from "Done": each header's button, then its list.
    std::vector<HWND> expected = {::GetDlgItem(*page, IDOK)};
    for (size_t i = 0; i < std::size(headers); ++i) {
        expected.push_back(headers[i]->GetButton());
        expected.push_back(*lists[i]);
    }
    HWND at = expected.front();
    for (size_t i = 1; i < expected.size(); ++i) {
        at = ::GetNextDlgTabItem(host, at, FALSE);
        EXPECT_EQ(at, expected[i]) << i;
    }
}

TEST_F(CompatibilityPageTest, LinksStartTheDeviceManagerAndTheAssociationPage)
{
    WriteSavedFiles();
    LinkStandIns standIns(folder.Path());
    ASSERT_TRUE(standIns.Ready());
    PlantedProgramHandler planted(folder.Path());
    ASSERT_TRUE(planted.Ready());
    CreatePage();
    Toggle(page->GetDriversHeader());
    Toggle(page->GetExtensionsHeader());

    CVirtualListCtrl& drivers = page->GetDriversList();
    Click(drivers, CellPoint(drivers, 1, 1));
    ASSERT_TRUE(standIns.WaitForRuns(1)) << standIns.Log();
    EXPECT_EQ(standIns.Log(), LinkStandIns::DeviceManagerRun());

    CVirtualListCtrl& extensions = page->GetExtensionsList();
    Click(extensions, CellPoint(extensions, 0, 1, 19));
    ASSERT_TRUE(standIns.WaitForRuns(2)) << standIns.Log();
    std::string log = standIns.Log();
    // The control panel of the system folder, by its full path.
    EXPECT_EQ(log, LinkStandIns::DeviceManagerRun() + LinkStandIns::AssociationPageRun());

    // From the keyboard: Space on a focused row follows its link; the
    // applications list has none.
    for (CVirtualListCtrl* list : {&page->GetApplicationsList(), &drivers}) {
        list->SetFocus();
        LVITEMW focused = {};
        focused.stateMask = focused.state = LVIS_FOCUSED | LVIS_SELECTED;
        list->SendMessage(LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focused));
        list->SendMessage(WM_KEYDOWN, VK_SPACE, 0);
        list->SendMessage(WM_KEYUP, VK_SPACE, 0xC0000001);
    }
    ASSERT_TRUE(standIns.WaitForRuns(3)) << standIns.Log();
    log = standIns.Log();
    EXPECT_EQ(log.compare(log.size() - LinkStandIns::DeviceManagerRun().size(),
                          LinkStandIns::DeviceManagerRun().size(), LinkStandIns::DeviceManagerRun()),
              0)
        << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 6) << log;
    EXPECT_EQ(planted.Log(), "");
}

TEST_F(CompatibilityPageTest, ClicksOnNamesBelowTheLinkAreaOrOnApplicationsStartNothing)
{
    WriteSavedFiles();
    LinkStandIns standIns(folder.Path());
    ASSERT_TRUE(standIns.Ready());
    CreatePage();
    for (CButtonHeader* header :
         {&page->GetDriversHeader(), &page->GetApplicationsHeader(), &page->GetExtensionsHeader()})
        Toggle(*header);
    CVirtualListCtrl& applications = page->GetApplicationsList();
    ASSERT_TRUE(applications.IsWindowVisible());
    for (CVirtualListCtrl* list : {&page->GetDriversList(), &page->GetExtensionsList()}) {
        ASSERT_TRUE(list->IsWindowVisible());
        for (int row = 0; row < 2; ++row) {
            Click(*list, CellPoint(*list, row, 0));
            Click(*list, CellPoint(*list, row, 1, 21));
            Click(*list, CellPoint(*list, row, 1, 24));
        }
    }
    for (int row = 0; row < 2; ++row)
        for (int down : {5, 15, 22})
            Click(applications, CellPoint(applications, row, 0, down));
    // Whatever would have started has had time to write its line.
    PumpMessagesFor(3000);
    EXPECT_EQ(standIns.Log(), "");
    // The same stand-ins do answer a click on a link.
    Click(page->GetExtensionsList(), CellPoint(page->GetExtensionsList(), 1, 1));
    EXPECT_TRUE(standIns.WaitForRuns(1)) << standIns.Log();
}

TEST_F(CompatibilityPageTest, ADamagedRecordIsNamedInItsSectionWhileAMissingOneStaysQuiet)
{
    WriteSavedFiles();
    // The drivers' record cut short, as a crash during its write once left
    // it; the associations' record never written.
    const std::string whole = ReadFileBytes(folder.File(Tavrin::Core::kDriversFile));
    ASSERT_TRUE(WriteFileBytes(folder.File(Tavrin::Core::kDriversFile), whole.substr(0, whole.size() / 2)));
    ASSERT_TRUE(::DeleteFileW(folder.File(Tavrin::Core::kExtensionsFile).c_str()));
    CreatePage();
    const std::wstring applicationsLabel = page->GetDlgItemText(IDC_LABEL_APPLICATIONS);
    Toggle(page->GetDriversHeader());
    Toggle(page->GetApplicationsHeader());
    Toggle(page->GetExtensionsHeader());

    EXPECT_EQ(page->GetDriversList().GetItemCount(), 0);
    EXPECT_EQ(page->UnreadableRecords(), std::vector<std::wstring>{Tavrin::Core::kDriversFile});
    // Named where the drivers would be listed, on the bar and in its label.
    EXPECT_NE(page->GetDriversHeader().GetTitle().GetText().find(L"unreadable"), std::wstring::npos);
    const std::wstring drivers = page->GetDlgItemText(IDC_LABEL_DRIVERS);
    EXPECT_NE(drivers.find(Tavrin::Core::kDriversFile), std::wstring::npos)
        << Tavrin::Platform::Narrow(drivers);
    EXPECT_NE(drivers.find(L"could not be read"), std::wstring::npos);
    // The sections whose records were read, or never made, read as before.
    EXPECT_EQ(page->GetDlgItemText(IDC_LABEL_APPLICATIONS), applicationsLabel);
    EXPECT_EQ(page->GetApplicationsList().GetItemCount(), 2);
    EXPECT_EQ(page->GetDlgItemText(IDC_LABEL_EXTENSIONS).find(L".saved"), std::wstring::npos);
    EXPECT_EQ(page->GetExtensionsList().GetItemCount(), 0);
    SaveScreenshot(*page, L"compatibility-unreadable-record");
}
