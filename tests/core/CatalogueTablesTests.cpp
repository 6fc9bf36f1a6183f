// The catalogues written out again, independently of their sources: every
// member's place and default, every row's test, its steps in order, and every
// reset, in the notation of SettingsTestSupport.h (entries numbered from 1 in
// member order; "4=0" writes, "-4" deletes).
#include <gtest/gtest.h>

#include <variant>

#include "core/settings/Location.h"
#include "core/settings/Privacy.h"
#include "core/settings/Security.h"
#include "core/settings/ThemeSettings.h"
#include "tests/core/SettingsTestSupport.h"

using namespace Tavrin::Core;
using namespace Tavrin::Test;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY POLICY = nullptr; // bound to the group policy object, absent under Wine
const wchar_t* const NUMBER = nullptr;

struct Member {
    HKEY root;
    const wchar_t* path;
    const wchar_t* name;
    const wchar_t* text; // the default of a string member, NUMBER for numbers
    DWORD number;        // the default of a number member
};

struct Row {
    const char* name;
    const char* text;
};

template <typename Model> void ExpectMembers(const std::vector<Member>& expected)
{
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PolicyServer::kClassKey));
    Model model;
    const auto& members = CatalogueOf<Model>().members;
    ASSERT_EQ(members.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i + 1));
        EntryPlace place = PlaceOf(model, members[i]);
        EXPECT_EQ(place.root, expected[i].root);
        EXPECT_EQ(place.policyBound, expected[i].root == POLICY);
        EXPECT_EQ(place.path, expected[i].path);
        EXPECT_EQ(place.name, expected[i].name);
        EXPECT_EQ(place.isString, expected[i].text != NUMBER);
        if (expected[i].text != NUMBER)
            EXPECT_EQ(place.textDefault, expected[i].text);
        else
            EXPECT_EQ(place.numberDefault, expected[i].number);
        // Member order is declaration order: no entry appears twice.
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(members[j] == members[i]) << "entry " << j + 1 << " repeated";
    }
}

template <typename Model> void ExpectRows(const std::vector<Row>& expected)
{
    const auto& rows = CatalogueOf<Model>().rows;
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(std::string(rows[i].name), expected[i].name);
        EXPECT_EQ(RowText(rows[i]), expected[i].text) << "row " << expected[i].name;
        EXPECT_EQ(FindRow<Model>(expected[i].name), &rows[i]);
    }
}

const wchar_t kDeviceAccess[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeviceAccess\\Global\\";

std::wstring DeviceAccess(const wchar_t* deviceClass)
{
    return std::wstring(kDeviceAccess) + deviceClass;
}

} // namespace

TEST(CatalogueTables, PrivacyMembersInOrder)
{
    const std::wstring calendar = DeviceAccess(L"{D89823BA-7180-4B81-B50C-7E471E6121A3}");
    const std::wstring camera = DeviceAccess(L"{E5323777-F976-4f5b-9B55-B94699C46E44}");
    const std::wstring microphone = DeviceAccess(L"{2EEF81BE-33FA-4800-9670-1CD474972C3F}");
    const std::wstring messaging = DeviceAccess(L"{992AFA70-6F47-4148-B3E9-3003349C1548}");
    ExpectMembers<CPrivacy>({
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\TabletPC", L"PreventHandwritingDataSharing", NUMBER,
         0},
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppCompat", L"DisableInventory", NUMBER, 0},
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Personalization", L"NoLockScreenCamera", NUMBER, 0},
        {HKLM, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\AdvertisingInfo", L"Enabled", NUMBER, 1},
        {HKCU, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\AdvertisingInfo", L"Enabled", NUMBER, 1},
        {POLICY, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppPrivacy", L"LetAppsAccessAccountInfo", NUMBER,
         0},
        {HKCU, L"SOFTWARE\\Microsoft\\Input\\TIPC", L"Enabled", NUMBER, 1},
        {HKCU, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PushNotifications", L"ToastEnabled", NUMBER,
         1},
        {HKCU, calendar.c_str(), L"Value", L"", 0},
        {HKCU, camera.c_str(), L"Value", L"", 0},
        {HKCU, microphone.c_str(), L"Value", L"", 0},
        {HKCU, messaging.c_str(), L"Value", L"", 0},
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Biometrics", L"Enabled", NUMBER, 1},
        {HKCU, L"Control Panel\\International\\User Profile", L"HttpAcceptLanguageOptOut", NUMBER, 0},
        {HKCU, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\AppHost", L"EnableWebContentEvaluation",
         NUMBER, 1},
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search", L"AllowCortana", NUMBER, 1},
        {HKCU, L"SOFTWARE\\Microsoft\\Personalization\\Settings", L"AcceptedPrivacyPolicy", NUMBER, 1},
        {HKCU, L"SOFTWARE\\Microsoft\\InputPersonalization", L"RestrictImplicitInkCollection", NUMBER, 0},
        {HKCU, L"SOFTWARE\\Microsoft\\InputPersonalization", L"RestrictImplicitTextCollection", NUMBER, 0},
        {HKCU, L"SOFTWARE\\Microsoft\\InputPersonalization\\TrainedDataStore", L"HarvestContacts", NUMBER, 1},
        {HKCU, L"SOFTWARE\\Microsoft\\Siuf\\Rules", L"NumberOfSIUFInPeriod", NUMBER, 0},
        {HKCU, L"SOFTWARE\\Microsoft\\Siuf\\Rules", L"PeriodInNanoSeconds", NUMBER, 0},
        {HKCU, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Search", L"BingSearchEnabled", NUMBER, 1},
        {HKCU, L"SOFTWARE\\Policies\\Microsoft\\Windows\\OneDrive", L"DisableFileSyncNGSC", NUMBER, 0},
    });
}

TEST(CatalogueTables, PrivacyRowsAndReset)
{
    ExpectRows<CPrivacy>({
        {"privacy.handwriting-sharing", "1!=0 | 1=1 | -1"},
        {"privacy.inventory-collector", "2!=0 | 2=1 | -2"},
        {"privacy.lock-screen-camera", "3!=0 | 3=1 | -3"},
        {"privacy.advertising-id", "4==0 | 4=0 5=0 | -4 -5"},
        {"privacy.account-info", "6==2 | 6=2 | -6"},
        {"privacy.typing-info", "7==0 | 7=0 | -7"},
        {"privacy.app-notifications", "8==0 | 8=0 | -8"},
        {"privacy.calendar", "9==Deny | 9=Deny | 9=Allow"},
        {"privacy.camera", "10==Deny | 10=Deny | 10=Allow"},
        {"privacy.microphone", "11==Deny | 11=Deny | 11=Allow"},
        {"privacy.messages", "12==Deny | 12=Deny | 12=Allow"},
        {"privacy.biometrics", "13==0 | 13=0 | -13"},
        {"privacy.browser-language", "14!=0 | 14=1 | -14"},
        {"privacy.smartscreen", "15==0 | 15=0 | -15"},
        {"privacy.cortana", "16==0 | 16=0 | -16"},
        {"privacy.input-personalization", "17==0 | 17=0 18=1 19=1 20=0 | -17 -18 -19 -20"},
        {"privacy.feedback-reminders", "21==0 | 21=0 22=0 | -21 -22"},
        {"privacy.bing-search", "23==0 | 23=0 | -23"},
        {"privacy.onedrive", "24!=0 | 24=1 | -24"},
    });
    EXPECT_EQ(StepsText(CatalogueOf<CPrivacy>().reset),
              "-1 -2 -3 -4 -5 -6 -7 -8 9=Allow 10=Allow 11=Allow 12=Allow "
              "-13 -14 -15 -16 -17 -18 -19 -20 -21 -22 -23 -24");
}

TEST(CatalogueTables, SecurityMembersInOrder)
{
    const std::wstring wireless = DeviceAccess(L"{A8804298-2D5F-42E3-9531-9C8C39EB29CE}");
    const std::wstring looselyCoupled = DeviceAccess(L"LooselyCoupled");
    ExpectMembers<CSecurity>({
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\CredUI", L"DisablePasswordReveal", NUMBER, 0},
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppCompat", L"DisableUAR", NUMBER, 0},
        {HKLM, L"System\\CurrentControlSet\\Services\\DiagTrack", L"Start", NUMBER, 0},
        {HKLM, L"System\\CurrentControlSet\\Services\\dmwappushservice", L"Start", NUMBER, 0},
        {HKLM, L"System\\CurrentControlSet\\Control\\WMI\\AutoLogger\\AutoLogger-Diagtrack-Listener",
         L"Start", NUMBER, 0},
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection", L"AllowTelemetry", NUMBER, 0},
        {HKLM, L"SOFTWARE\\Microsoft\\WcmSvc\\wifinetworkmanager\\features", L"WiFiSenseOpen", NUMBER, 0},
        {HKLM, L"SOFTWARE\\Microsoft\\PolicyManager\\default\\WiFi\\AllowWiFiHotSpotReporting", L"Value",
         NUMBER, 0},
        {HKLM, L"SOFTWARE\\Microsoft\\WcmSvc\\wifinetworkmanager\\features", L"WiFiSenseCredShared", NUMBER,
         0},
        {HKLM, L"SOFTWARE\\Microsoft\\PolicyManager\\default\\WiFi\\AllowAutoConnectToWiFiSenseHotspots",
         L"Value", NUMBER, 0},
        {HKCU, wireless.c_str(), L"Value", L"", 0},
        {HKCU, looselyCoupled.c_str(), L"Value", L"", 0},
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\WMDRM", L"DisableOnline", NUMBER, 0},
        {HKLM, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeliveryOptimization\\Config",
         L"DODownloadMode", NUMBER, 1},
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\DeliveryOptimization", L"DODownloadMode", NUMBER, 1},
        {HKCU, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeliveryOptimization",
         L"SystemSettingsDownloadMode", NUMBER, 1},
    });
}

TEST(CatalogueTables, SecurityRowsAndReset)
{
    ExpectRows<CSecurity>({
        {"security.password-reveal", "1!=0 | 1=1 | 1=0 | restart"},
        {"security.steps-recorder", "2!=0 | 2=1 | 2=0 | restart"},
        {"security.telemetry-service", "3==4 | 3=4 4=4 5=0 6=0 | 3=2 4=2 5=1 6=1 | restart"},
        {"security.wifi-sense", "7!=0 | 7=1 8=1 | 7=0 8=0 | restart"},
        {"security.wifi-sense-contacts", "9!=0 | 9=1 10=1 | 9=0 10=0 | restart"},
        {"security.wireless-access", "11==Deny | 11=Deny | 11=Allow | restart"},
        {"security.loosely-coupled-devices", "12==Deny | 12=Deny | 12=Allow | restart"},
        {"security.drm-online", "13!=0 | 13=1 | -13 | restart"},
        {"security.peer-to-peer-updates", "14==0 | 14=0 15=0 16=0 | -14 -15 -16 | restart"},
    });
    EXPECT_EQ(StepsText(CatalogueOf<CSecurity>().reset),
              "3=2 4=2 5=1 7=0 9=0 11=Allow 12=Allow -13 -14 -15 -16");
}

TEST(CatalogueTables, LocationMembersInOrder)
{
    const wchar_t* policies = L"SOFTWARE\\Policies\\Microsoft\\Windows\\LocationAndSensors";
    const std::wstring access = DeviceAccess(L"{BFA794E4-F964-4FDB-90F6-51056BFE4B44}");
    ExpectMembers<CLocation>({
        {HKLM, policies, L"DisableLocation", NUMBER, 0},
        {HKLM, policies, L"DisableWindowsLocationProvider", NUMBER, 0},
        {HKLM, policies, L"DisableSensors", NUMBER, 0},
        {HKLM, L"System\\CurrentControlSet\\Services\\lfsvc\\Service\\Configuration", L"Status", NUMBER, 1},
        {HKLM,
         L"SOFTWARE\\Microsoft\\Windows "
         L"NT\\CurrentVersion\\Sensor\\Overrides\\{BFA794E4-F964-4FDB-90F6-51056BFE4B44}",
         L"SensorPermissionState", NUMBER, 1},
        {HKCU, access.c_str(), L"Value", L"", 0},
        {HKCU,
         L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Sensor\\Permissions\\{BFA794E4-F964-4FDB-90F6-"
         L"51056BFE4B44}",
         L"SensorPermissionState", NUMBER, 1},
    });
}

TEST(CatalogueTables, LocationRowsAndReset)
{
    ExpectRows<CLocation>({
        {"location.locate-system", "1!=0 | 1=1 2=1 | -1 -2"},
        {"location.sensors", "3!=0 | 3=1 | -3"},
        {"location.geolocation-service", "4==0 | 4=0 5=0 | 4=1 -5"},
        {"location.app-access", "6==Deny | 6=Deny 7=0 | -6 -7"},
    });
    EXPECT_EQ(StepsText(CatalogueOf<CLocation>().reset), "-1 -2 -3 4=1 -5 -6 -7");
}

TEST(CatalogueTables, ThemeMembersInOrder)
{
    const wchar_t* personalize = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
    const wchar_t* shell = L"Software\\Microsoft\\Windows\\CurrentVersion\\ImmersiveShell";
    ExpectMembers<CThemeSettings>({
        {HKCU, personalize, L"AppsUseLightTheme", NUMBER, 1},
        {HKLM, personalize, L"AppsUseLightTheme", NUMBER, 1},
        {HKLM, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\MTCUVC", L"EnableMtcUvc", NUMBER, 1},
        {HKLM, shell, L"UseWin32BatteryFlyout", NUMBER, 0},
        {POLICY, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Explorer", L"DisableNotificationCenter", NUMBER,
         0},
        {HKLM, L"Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Settings\\Network",
         L"ReplaceVan", NUMBER, 0},
        {HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\System", L"DisableLogonBackgroundImage", NUMBER, 0},
        {HKLM, shell, L"UseWin32TrayClockExperience", NUMBER, 0},
        {HKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", L"EnableXamlStartMenu",
         NUMBER, 1},
        {HKCU, L"Control Panel\\Desktop", L"AutoColorization", NUMBER, 0},
        {HKCU, personalize, L"EnableTransparency", NUMBER, 0},
    });
}

TEST(CatalogueTables, ThemeRowsAndReset)
{
    ExpectRows<CThemeSettings>({
        {"theme.dark-theme", "1==0 | 1=0 2=0 | -1 -2 | restart"},
        {"theme.volume-control", "3==0 | 3=0 | -3"},
        {"theme.battery-indicator", "4!=0 | 4=1 | -4"},
        {"theme.network-flyout", "6==2 | 6=2 | 6=0"},
        {"theme.action-center", "5==1 | 5=1 | 5=0"},
        {"theme.clock-calendar", "8!=0 | 8=1 | -8"},
        {"theme.start-menu", "9==0 | 9=0 | -9 | restart"},
        {"theme.transparent-start-menu", "11!=0 | 11=1 | 11=0"},
    });
    EXPECT_EQ(StepsText(CatalogueOf<CThemeSettings>().reset), "11=0 10=0 -9 -8 -7 5=0 6=0 -4 -3 -1 -2");
}

TEST(CatalogueTables, NamesOfNoRowOfTheModelFindNone)
{
    EXPECT_EQ(FindRow<CPrivacy>("security.drm-online"), nullptr);
    EXPECT_EQ(FindRow<CSecurity>("privacy.camera"), nullptr);
    EXPECT_EQ(FindRow<CLocation>("location"), nullptr);
    EXPECT_EQ(FindRow<CThemeSettings>("Theme.Dark-Theme"), nullptr) << "names are exact, case included";
    EXPECT_EQ(FindRow<CThemeSettings>(""), nullptr);
}
TEST(CatalogueTables, AResetValueOfTheOtherTypeThanItsMemberIsRefused)
{
    EXPECT_THROW(Tavrin::Core::Member(&CLocation::locationAccess, HKCU, L"Key", L"Value").ResetTo(1),
                 std::bad_variant_access);
    EXPECT_THROW(Tavrin::Core::Member(&CLocation::disableSensors, HKLM, L"Key", L"Value").ResetTo(L"Allow"),
                 std::bad_variant_access);
    EXPECT_NO_THROW(
        Tavrin::Core::Member(&CLocation::locationAccess, HKCU, L"Key", L"Value").ResetTo(L"Allow"));
}
