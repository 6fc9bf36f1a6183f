#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <string>

#include "app/TavrinApp.h"
#include "app/TavrinDlg.h"
#include "res/resource.h"
#include "tests/app/MainWindowSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "tests/ui/LinkStandIns.h"

using namespace Tavrin::Test;
using Tavrin::Core::InstalledApp;
using Tavrin::Core::SavedDriver;
using Tavrin::Core::SavedExtension;

namespace {

constexpr wchar_t kAppName[] = L"TavrinUpgradeTests";
constexpr wchar_t kFirstRunKey[] = L"Software\\Tavrin";
constexpr wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kKeptApp[] = L"TavrinUpgradeKeptTool";
constexpr wchar_t kUserChoice[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.MP3\\UserChoice";
constexpr wchar_t kKeptProgId[] = L"TavrinUpgrade.mp3";

bool WriteString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    return ::RegSetKeyValueW(root, path.c_str(), name, REG_SZ, value.c_str(),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// A PC upgraded to Windows 10: the saved files an older system wrote beside
// the program (here: the current folder) and the inventories gathered now
// from this prefix, which keeps one application, one device and one file
// association of the old system and has lost one of each.
class UpgradedSystem : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareMainWindow(app, kAppName, result);
        if (HasFatalFailure())
            return;
        WriteString(HKEY_LOCAL_MACHINE, kFirstRunKey, L"", L"notFirstRun");
        ASSERT_TRUE(inFolder.Entered());

        // What is installed now, besides what the prefix brings.
        ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, std::wstring(kUninstall) + L"\\" + kKeptApp,
                                L"DisplayName", L"Kept Tool"));
        ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kUserChoice, L"Progid", kKeptProgId));
        // Wine's classes root is the machine's alone.
        ASSERT_TRUE(
            WriteString(HKEY_LOCAL_MACHINE,
                        std::wstring(L"Software\\Classes\\") + kKeptProgId + L"\\shell\\open\\command",
                        nullptr, L"notepad.exe \"%1\""));

        Tavrin::Core::EnumerateInstalledApps(result.installedApps, true);
        Tavrin::Core::EnumerateInstalledApps(result.installedApps, false);
        result.extensions.CollectAssociations();
        result.drivers.CollectDrivers();
        ASSERT_FALSE(result.drivers.current.empty()) << "the prefix shows no devices";

        std::list<InstalledApp> apps = {
            {Tavrin::Core::kUsersRoot, L"S-1-5-21\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
             kKeptApp, L"Kept Tool"},
            {Tavrin::Core::kMachineRoot, kUninstall, L"{7A1B0C3D-TAVRIN-GONE}", L"Gone Editor 2.1"}};
        ASSERT_TRUE(Tavrin::Core::SaveInstalledApps(apps));
        Tavrin::Core::Drivers oldDrivers;
        oldDrivers.current = {result.drivers.current.front(),
                              {L"Old USB Webcam", L"USB\\VID_DEAD&PID_BEEF&REV_0001",
                               L"{ca3e7ab9-b4c3-4ae6-8251-579ef933890f}"}};
        ASSERT_TRUE(oldDrivers.SaveDrivers());
        Tavrin::Core::Extensions oldExtensions;
        oldExtensions.current = {{L".MP3", kKeptProgId, L"hash", L"notepad.exe \"%1\""},
                                 {L".PDF", L"AcroExch.Document.DC", L"hash", L"acrord32.exe \"%1\""}};
        ASSERT_TRUE(oldExtensions.SaveAssociations());
    }
    void TearDown() override
    {
        window.reset();
        PumpMessages();
        DeleteTree(HKEY_CURRENT_USER, std::wstring(kUninstall) + L"\\" + kKeptApp);
        DeleteTree(HKEY_CURRENT_USER, kUserChoice);
        DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + kKeptProgId);
        DeleteTree(HKEY_CURRENT_USER, std::wstring(L"Software\\Tavrin\\") + kAppName);
        theSkin.Reset();
    }

    TempFolder folder;
    ScopedCurrentFolder inFolder{folder.Path()};
    RegistryValueBackup firstRun{HKEY_LOCAL_MACHINE, kFirstRunKey, L""};
    CTavrinApp app;
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT result;
    std::unique_ptr<CTavrinDlg> window;
};

POINT LinkPoint(CVirtualListCtrl& list, int row)
{
    RECT cell;
    list.GetSubItemRect(row, 1, LVIR_BOUNDS, cell);
    return {cell.left + 30, cell.top + 10};
}

} // namespace

TEST_F(UpgradedSystem, TheCompatibilityPageListsExactlyWhatWentMissingAndItsLinksWork)
{
    LinkStandIns standIns(folder.Path());
    ASSERT_TRUE(standIns.Ready());
    window = std::make_unique<CTavrinDlg>(&result);
    ASSERT_TRUE(window->Create(IDD_TAVRIN_DIALOG, nullptr));
    window->ShowWindow(SW_SHOW);
    PumpMessages();
    EXPECT_EQ(window->CountCompatibilityIssues(), 3u);

    CCompatibilityDlg& page = window->GetCompatibilityPage();
    Click(window->GetDlgItem(IDC_BTN_COMPATIBILITY));
    ASSERT_TRUE(PumpUntil([&] { return page.IsWindowVisible() != FALSE; }));

    ASSERT_EQ(page.GetDriversList().GetItemCount(), 1);
    EXPECT_EQ(page.GetCellText(0, 0, IDC_LIST_DRIVERS), L"Old USB Webcam");
    ASSERT_EQ(page.GetApplicationsList().GetItemCount(), 1);
    EXPECT_EQ(page.GetCellText(0, 0, IDC_LIST_APPLICATIONS), L"Gone Editor 2.1");
    ASSERT_EQ(page.GetExtensionsList().GetItemCount(), 1);
    EXPECT_EQ(page.GetCellText(0, 0, IDC_LIST_EXTENSIONS), L".PDF");

    for (CButtonHeader* header :
         {&page.GetDriversHeader(), &page.GetApplicationsHeader(), &page.GetExtensionsHeader()}) {
        Click(header->GetButton());
        ASSERT_TRUE(PumpUntil([&] { return header->IsOpened(); }));
    }
    EXPECT_TRUE(page.GetExtensionsList().IsWindowVisible());
    SaveScreenshot(*window, L"MainWindow_CompatibilityPage");

    Click(page.GetDriversList(), LinkPoint(page.GetDriversList(), 0));
    ASSERT_TRUE(standIns.WaitForRuns(1)) << standIns.Log();
    Click(page.GetExtensionsList(), LinkPoint(page.GetExtensionsList(), 0));
    ASSERT_TRUE(standIns.WaitForRuns(2)) << standIns.Log();
    const std::string log = standIns.Log();
    EXPECT_EQ(log, LinkStandIns::DeviceManagerRun() + LinkStandIns::AssociationPageRun());

    // "Done" returns to the home view.
    Click(page.GetDlgItem(IDOK));
    EXPECT_TRUE(PumpUntil([&] { return !page.IsWindowVisible(); }));
    EXPECT_TRUE(::IsWindowVisible(window->GetDlgItem(IDC_BTN_COMPATIBILITY)));
}
