#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "app/TavrinApp.h"
#include "app/TavrinDlg.h"
#include "core/settings/ChangeJournal.h"
#include "core/settings/RestorePoint.h"
#include "framework/CMFCVisualManager.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "tests/app/MainWindowSupport.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

// An administrator elevated the program for Alice, a standard user at the
// keyboard: the window names her, the pages read and change her hive, the
// journal keys the changes by her SID and the undo puts her hive back, while
// the process's own HKEY_CURRENT_USER stays exactly as it was. Wine has a
// single user: her hive is loaded under HKEY_USERS as Windows loads it at
// logon, and she is made the session's user through the seam.

using namespace Tavrin::Test;

namespace {

constexpr wchar_t kAppName[] = L"TavrinOtherUserTests";
const std::wstring kProfileKey = std::wstring(L"Software\\Tavrin\\") + kAppName;
const std::wstring kAlice = L"S-1-5-21-1111111111-2222222222-3333333333-1001";

// Where a per-user property's value is in Alice's hive.
template <typename Property> std::wstring InHerHive(const Property& property)
{
    return kAlice + L"\\" + property.KeyPath();
}

// The process's own hive, whole. Wine makes the volatile key where it keeps
// system parameters set for the session only the first time a window of the
// process reads the mouse's; that key is Wine's own doing and left out.
std::vector<std::string> OwnHive()
{
    std::vector<std::string> lines = ExportTree(HKEY_CURRENT_USER);
    const std::string wines = "Software\\Wine\\Temporary System Parameters";
    lines.erase(
        std::remove_if(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.compare(0, wines.size(), wines) == 0; }),
        lines.end());
    return lines;
}

} // namespace

class OtherUser : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareMainWindow(app, kAppName, result);
        if (HasFatalFailure())
            return;
        WriteString(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L"", L"notFirstRun");
        Tavrin::Core::RunRestorePoint::Instance().SetCall({});
        // The administrator's own values: none, but a denied camera.
        ClearCatalogue(restorer, privacy);
        ClearCatalogue(restorer, location);
        ClearCatalogue(restorer, theme);
        WriteString(HKEY_CURRENT_USER, privacy.cameraAccess.KeyPath(), privacy.cameraAccess.ValueName(),
                    L"Deny");
        // Alice's: the dark theme on, apps kept from her location.
        ASSERT_TRUE(hive.Loaded());
        const auto& dark = theme.appsUseLightThemeUser;
        WriteDword(HKEY_USERS, InHerHive(dark), dark.ValueName(), 0);
        const auto& access = location.locationAccess;
        WriteString(HKEY_USERS, InHerHive(access), access.ValueName(), L"Deny");
        const auto& sensor = location.sensorPermission;
        WriteDword(HKEY_USERS, InHerHive(sensor), sensor.ValueName(), 0);
        userBefore = OwnHive();
        session.emplace(kAlice, L"Alice");
    }
    void TearDown() override
    {
        window.reset();
        PumpMessages();
        session.reset();
        DeleteTree(HKEY_CURRENT_USER, kProfileKey);
        Tavrin::Core::RunRestorePoint::Instance().UseSystemCall();
    }

    void Open()
    {
        window = std::make_unique<CTavrinDlg>(&result);
        window->SetRestartAction([] {});
        ASSERT_TRUE(window->Create(IDD_TAVRIN_DIALOG, nullptr));
        window->ShowWindow(SW_SHOW);
        PumpMessages();
    }

    template <typename Model> void OpenPage(CSettingsPage<Model>& page, int sectionButton)
    {
        Click(window->GetDlgItem(sectionButton));
        ASSERT_TRUE(PumpUntil([&] { return page.IsWindowVisible() != FALSE; })) << sectionButton;
    }

    template <typename Model> void LeavePage(CSettingsPage<Model>& page)
    {
        MessageBoxAnswerer restart(IDNO, L"Orvane Tools", 4000);
        Click(page.GetDlgItem(IDOK));
        PumpMessagesFor(200);
    }

    ClearedJournal journal;
    RegistryValueBackup firstRun{HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L""};
    RegistryRestorer restorer;
    Tavrin::Core::CPrivacy privacy;
    Tavrin::Core::CLocation location;
    Tavrin::Core::CThemeSettings theme;
    LoadedHive hive{kAlice};
    std::optional<SessionUserOverride> session;
    std::vector<std::string> userBefore;
    CTavrinApp app;
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT result;
    std::unique_ptr<CTavrinDlg> window;
};

TEST_F(OtherUser, WindowNamesHerAndTickResetAndUndoChangeOnlyHerHive)
{
    Open();
    const std::wstring title = std::wstring(CTavrinDlg::kOtherUserTitle) + L"Alice";
    EXPECT_EQ(window->GetTitleLabel().GetText(), title);
    EXPECT_EQ(TextOf(window->GetDlgItem(IDC_TITLE)), title);
    SaveScreenshot(*window, L"other-user-home-view");
    EXPECT_TRUE(
        ReadStored(HKEY_USERS, kAlice + L"\\" + kProfileKey, CTavrinDlg::kShowCompatibilityEntry).IsDword(1))
        << "the issues note is marked shown in her profile";
    const std::vector<std::string> herHiveBefore = ExportTree(HKEY_USERS, kAlice);

    // The boxes show her settings, not the administrator's.
    CPrivacyDlg& privacyPage = window->GetPrivacyPage();
    CLocationDlg& locationPage = window->GetLocationPage();
    EXPECT_EQ(privacyPage.IsDlgButtonChecked(IDC_PRIVACY_CAMERA), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(window->GetThemePage().IsDlgButtonChecked(IDC_THEME_DARK_THEME),
              static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(locationPage.IsDlgButtonChecked(IDC_LOCATION_APP_ACCESS), static_cast<UINT>(BST_CHECKED));

    OpenPage(privacyPage, IDC_BTN_PRIVACY);
    EXPECT_TRUE(ClickSetting(privacyPage.GetDlgItem(IDC_PRIVACY_CAMERA)));
    LeavePage(privacyPage);
    OpenPage(locationPage, IDC_BTN_LOCATION);
    EXPECT_TRUE(ClickSetting(locationPage.GetDlgItem(IDCANCEL)));
    LeavePage(locationPage);

    const auto& camera = privacy.cameraAccess;
    EXPECT_TRUE(ReadStored(HKEY_USERS, InHerHive(camera), camera.ValueName()).IsString(L"Deny"));
    const auto& access = location.locationAccess;
    EXPECT_FALSE(ReadStored(HKEY_USERS, InHerHive(access), access.ValueName()).present);
    const auto& sensor = location.sensorPermission;
    EXPECT_FALSE(ReadStored(HKEY_USERS, InHerHive(sensor), sensor.ValueName()).present);
    EXPECT_EQ(ExportDifference(userBefore, OwnHive()), "");
    size_t hers = 0;
    for (const auto& entry : Tavrin::Core::ReadJournal().entries) {
        if (entry.place.root != Tavrin::Core::RegistryPlace::Root::User)
            continue;
        EXPECT_EQ(entry.userSid, kAlice) << Tavrin::Platform::Narrow(entry.Name());
        ++hers;
    }
    EXPECT_EQ(hers, 3u) << "her camera, location access and sensor permission";

    HWND link = window->GetDlgItem(IDC_UNDO_LINK);
    ASSERT_TRUE(::IsWindowVisible(link));
    {
        MessageBoxAnswerer yes(IDYES, L"Orvane Tools");
        Click(link, POINT{10, 6});
        EXPECT_TRUE(yes.Wait());
        EXPECT_EQ(yes.Text(), CTavrinDlg::kUndoQuestion);
    }
    ASSERT_TRUE(PumpUntil([&] { return !window->IsUndoLinkShown(); }, 30000));
    EXPECT_EQ(ExportDifference(herHiveBefore, ExportTree(HKEY_USERS, kAlice)), "");
    EXPECT_EQ(ExportDifference(userBefore, OwnHive()), "");
    EXPECT_EQ(privacyPage.IsDlgButtonChecked(IDC_PRIVACY_CAMERA), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(locationPage.IsDlgButtonChecked(IDC_LOCATION_APP_ACCESS), static_cast<UINT>(BST_CHECKED));
}

// A later "/undo" of a run whose session user is the process's own puts her
// values back in her hive while it is loaded.
TEST_F(OtherUser, UndoModeOfAnotherRunFindsHerHiveBySid)
{
    const std::vector<std::string> herHiveBefore = ExportTree(HKEY_USERS, kAlice);
    const auto* row = Tavrin::Core::FindRow<Tavrin::Core::CThemeSettings>("theme.dark-theme");
    ASSERT_NE(row, nullptr);
    ASSERT_EQ(Tavrin::Core::Apply(theme, *row, false), ERROR_SUCCESS);
    ASSERT_NE(ExportTree(HKEY_USERS, kAlice), herHiveBefore);
    session.reset();

    const ProcessResult undo = RunProcess(L"\"" + BinFolder() + L"\\tavrin.exe\" /undo", 120000, BinFolder());
    EXPECT_EQ(undo.exitCode, 0u) << undo.output;
    EXPECT_NE(undo.output.find("not restored: 0"), std::string::npos) << undo.output;
    EXPECT_EQ(ExportDifference(herHiveBefore, ExportTree(HKEY_USERS, kAlice)), "");
    EXPECT_EQ(ExportDifference(userBefore, OwnHive()), "");
}
