#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "core/settings/Location.h"
#include "core/settings/Privacy.h"
#include "core/settings/Security.h"
#include "core/settings/ThemeSettings.h"
#include "tests/core/SettingsTestSupport.h"

using namespace Tavrin::Core;
using namespace Tavrin::Test;

namespace {

// Every catalogue value starts absent and is put back afterwards.
template <typename Model> class CatalogueOnRegistry {
public:
    CatalogueOnRegistry() { ClearCatalogue(m_restorer, model); }

    RegistryRestorer m_restorer;
    Model model;
};

template <typename Model> std::vector<std::string> TickedRows(const Model& model)
{
    std::vector<std::string> ticked;
    for (const auto& row : CatalogueOf<Model>().rows)
        if (IsTicked(model, row))
            ticked.push_back(row.name);
    return ticked;
}

// "Disable Feedback Reminders" shows ticked when its count is absent (the
// count's default 0 is its test), so clearing it, which deletes the count,
// shows it ticked again at the next start.
template <typename Model> bool ShownTickedWhenAbsent(std::string_view row, const Model&)
{
    return std::is_same_v<Model, CPrivacy> && row == "privacy.feedback-reminders";
}

// Ticks and clears every row in turn. Each click must leave exactly what its
// steps say (values, types and sizes) and touch no other member; a box must
// show ticked after its tick and cleared after its clear, unless its value has
// no root (the policy object missing). Every value goes to the 64-bit view,
// also from the 32-bit program: the redirected copies never change.
template <typename Model> void WalkEveryRow(Model& model)
{
    const Model& constModel = model;
    const auto redirected = RedirectedStateOf(constModel);
    for (const auto& row : CatalogueOf<Model>().rows) {
        SCOPED_TRACE(std::string("row ") + row.name);
        const bool reachable = PlaceOf(constModel, row.shownTicked.entry).root != nullptr;
        auto before = StateOf(constModel);
        Apply(model, row, true);
        auto ticked = StateOf(constModel);
        EXPECT_EQ(ticked, AfterSteps(before, row.tick));
        EXPECT_EQ(IsTicked(constModel, row), reachable);
        EXPECT_EQ(RedirectedStateOf(constModel), redirected);
        Apply(model, row, false);
        EXPECT_EQ(StateOf(constModel), AfterSteps(ticked, row.clear));
        EXPECT_EQ(RedirectedStateOf(constModel), redirected);
        EXPECT_EQ(IsTicked(constModel, row), ShownTickedWhenAbsent(row.name, constModel));
    }
}

template <typename Model> class EveryRow : public ::testing::Test {
};
using Models = ::testing::Types<CPrivacy, CSecurity, CLocation, CThemeSettings>;
TYPED_TEST_SUITE(EveryRow, Models);

} // namespace

TYPED_TEST(EveryRow, TickAndClearWithoutThePolicyObject)
{
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PolicyServer::kClassKey));
    CatalogueOnRegistry<TypeParam> on;
    WalkEveryRow(on.model);
}

TYPED_TEST(EveryRow, TickAndClearThroughThePolicyObject)
{
    PolicyServer server;
    CatalogueOnRegistry<TypeParam> on;
    for (const auto& entry : CatalogueOf<TypeParam>().members)
        EXPECT_NE(PlaceOf(on.model, entry).root, nullptr);
    WalkEveryRow(on.model);
}

TYPED_TEST(EveryRow, ResetLeavesWhatItsListSays)
{
    PolicyServer server;
    CatalogueOnRegistry<TypeParam> on;
    for (const auto& row : CatalogueOf<TypeParam>().rows)
        Apply(on.model, row, true);
    auto before = StateOf(on.model);
    Reset(on.model);
    EXPECT_EQ(StateOf(on.model), AfterSteps(before, CatalogueOf<TypeParam>().reset));
}

TEST(CatalogueRows, EmptyRegistryShowsOnlyFeedbackRemindersTickedOnThePrivacyPage)
{
    CatalogueOnRegistry<CPrivacy> privacy;
    EXPECT_EQ(TickedRows(privacy.model), std::vector<std::string>{"privacy.feedback-reminders"});
    CatalogueOnRegistry<CSecurity> security;
    EXPECT_EQ(TickedRows(security.model), std::vector<std::string>{});
    CatalogueOnRegistry<CLocation> location;
    EXPECT_EQ(TickedRows(location.model), std::vector<std::string>{});
    CatalogueOnRegistry<CThemeSettings> theme;
    EXPECT_EQ(TickedRows(theme.model), std::vector<std::string>{});
}

TEST(CatalogueRows, RestartIsAskedForBySecurityRowsAndTwoThemeRows)
{
    auto restartRows = [](const auto& rows) {
        std::vector<std::string> names;
        for (const auto& row : rows)
            if (row.asksRestart)
                names.push_back(row.name);
        return names;
    };
    EXPECT_EQ(restartRows(CatalogueOf<CPrivacy>().rows), std::vector<std::string>{});
    EXPECT_EQ(restartRows(CatalogueOf<CLocation>().rows), std::vector<std::string>{});
    EXPECT_EQ(restartRows(CatalogueOf<CSecurity>().rows),
              (std::vector<std::string>{"security.password-reveal", "security.steps-recorder",
                                        "security.telemetry-service", "security.wifi-sense",
                                        "security.wifi-sense-contacts", "security.wireless-access",
                                        "security.loosely-coupled-devices", "security.drm-online",
                                        "security.peer-to-peer-updates"}));
    EXPECT_EQ(restartRows(CatalogueOf<CThemeSettings>().rows),
              (std::vector<std::string>{"theme.dark-theme", "theme.start-menu"}));
}

// The edge cases below name their registry places literally and read them
// with the plain Win32 API.

TEST(CatalogueRows, CameraDenyIsATenByteStringAndAllowReplacesIt)
{
    CatalogueOnRegistry<CPrivacy> on;
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeviceAccess\\Global\\{E5323777-"
                             L"F976-4f5b-9B55-B94699C46E44}";
    const auto& row = *FindRow<CPrivacy>("privacy.camera");
    Apply(on.model, row, true);
    StoredValue stored = ReadStored(HKEY_CURRENT_USER, key, L"Value");
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.data.size(), 10u);
    EXPECT_TRUE(stored.IsString(L"Deny"));
    EXPECT_TRUE(IsTicked(on.model, row));
    Apply(on.model, row, false);
    stored = ReadStored(HKEY_CURRENT_USER, key, L"Value");
    EXPECT_EQ(stored.data.size(), 12u);
    EXPECT_TRUE(stored.IsString(L"Allow")) << "cleared writes Allow, it does not delete";
}

TEST(CatalogueRows, DenyIsComparedExactly)
{
    CatalogueOnRegistry<CPrivacy> on;
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeviceAccess\\Global\\{D89823BA-"
                             L"7180-4B81-B50C-7E471E6121A3}";
    const auto& row = *FindRow<CPrivacy>("privacy.calendar");
    for (const wchar_t* text : {L"deny", L"DENY", L"Deny ", L" Deny", L"Allow", L""}) {
        WriteString(HKEY_CURRENT_USER, key, L"Value", text);
        EXPECT_FALSE(IsTicked(on.model, row)) << "'" << std::string(text, text + wcslen(text)) << "'";
    }
    WriteString(HKEY_CURRENT_USER, key, L"Value", L"Deny");
    EXPECT_TRUE(IsTicked(on.model, row));
}

TEST(CatalogueRows, InputPersonalizationLeavesFourValuesAndClearingDeletesAllFour)
{
    CatalogueOnRegistry<CPrivacy> on;
    const auto& row = *FindRow<CPrivacy>("privacy.input-personalization");
    const std::wstring input = L"SOFTWARE\\Microsoft\\InputPersonalization";
    Apply(on.model, row, true);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Personalization\\Settings",
                           L"AcceptedPrivacyPolicy")
                    .IsDword(0));
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, input, L"RestrictImplicitInkCollection").IsDword(1));
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, input, L"RestrictImplicitTextCollection").IsDword(1));
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, input + L"\\TrainedDataStore", L"HarvestContacts").IsDword(0));
    Apply(on.model, row, false);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Personalization\\Settings",
                            L"AcceptedPrivacyPolicy")
                     .present);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, input, L"RestrictImplicitInkCollection").present);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, input, L"RestrictImplicitTextCollection").present);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, input + L"\\TrainedDataStore", L"HarvestContacts").present);
}

TEST(CatalogueRows, AccountInfoWithoutThePolicyObjectWritesNowhere)
{
    RegistryRestorer restorer;
    const std::wstring declared = L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppPrivacy";
    restorer.TrackAndClear(HKEY_LOCAL_MACHINE, declared, L"LetAppsAccessAccountInfo");
    restorer.TrackAndClear(HKEY_CURRENT_USER, declared, L"LetAppsAccessAccountInfo");
    CatalogueOnRegistry<CPrivacy> on;
    const auto& row = *FindRow<CPrivacy>("privacy.account-info");
    Apply(on.model, row, true);
    EXPECT_FALSE(IsTicked(on.model, row));
    EXPECT_FALSE(ReadStored(HKEY_LOCAL_MACHINE, declared, L"LetAppsAccessAccountInfo").present);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, declared, L"LetAppsAccessAccountInfo").present);
    // A value at the declared place is not what the page shows either.
    WriteDword(HKEY_LOCAL_MACHINE, declared, L"LetAppsAccessAccountInfo", 2);
    EXPECT_FALSE(IsTicked(on.model, row));
}

TEST(CatalogueRows, MachineValuesLandInThe64BitView)
{
    CatalogueOnRegistry<CPrivacy> on;
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\AdvertisingInfo";
    ASSERT_FALSE(ReadStored(HKEY_LOCAL_MACHINE, key, L"Enabled", KEY_WOW64_32KEY).present);
    Apply(on.model, *FindRow<CPrivacy>("privacy.advertising-id"), true);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, key, L"Enabled", KEY_WOW64_64KEY).IsDword(0));
    EXPECT_FALSE(ReadStored(HKEY_LOCAL_MACHINE, key, L"Enabled", KEY_WOW64_32KEY).present);
    // SOFTWARE\Policies is shared by both views, so only redirected keys
    // show which view a write went to.
    Apply(on.model, *FindRow<CPrivacy>("privacy.handwriting-sharing"), true);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Microsoft\\Windows\\TabletPC",
                           L"PreventHandwritingDataSharing", KEY_WOW64_64KEY)
                    .IsDword(1));
}

TEST(CatalogueRows, ClearingTelemetryStoresTwoAndOneRatherThanDeleting)
{
    CatalogueOnRegistry<CSecurity> on;
    Apply(on.model, *FindRow<CSecurity>("security.telemetry-service"), false);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\DiagTrack", L"Start")
                    .IsDword(2));
    EXPECT_TRUE(
        ReadStored(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\dmwappushservice", L"Start")
            .IsDword(2));
    EXPECT_TRUE(
        ReadStored(HKEY_LOCAL_MACHINE,
                   L"System\\CurrentControlSet\\Control\\WMI\\AutoLogger\\AutoLogger-Diagtrack-Listener",
                   L"Start")
            .IsDword(1));
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection",
                           L"AllowTelemetry")
                    .IsDword(1));
    EXPECT_FALSE(IsTicked(on.model, *FindRow<CSecurity>("security.telemetry-service")));
    Apply(on.model, *FindRow<CSecurity>("security.telemetry-service"), true);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\DiagTrack", L"Start")
                    .IsDword(4));
    EXPECT_TRUE(IsTicked(on.model, *FindRow<CSecurity>("security.telemetry-service")));
}

TEST(CatalogueRows, ClearingPasswordRevealStoresZero)
{
    CatalogueOnRegistry<CSecurity> on;
    const auto& row = *FindRow<CSecurity>("security.password-reveal");
    Apply(on.model, row, true);
    Apply(on.model, row, false);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Microsoft\\Windows\\CredUI",
                           L"DisablePasswordReveal")
                    .IsDword(0));
}

TEST(CatalogueRows, GeolocationServiceStatusZeroShowsItsBoxTicked)
{
    CatalogueOnRegistry<CLocation> on;
    WriteDword(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\lfsvc\\Service\\Configuration",
               L"Status", 0);
    EXPECT_EQ(TickedRows(on.model), std::vector<std::string>{"location.geolocation-service"});
}

TEST(CatalogueRows, ClearingLocationAccessDeletesTheString)
{
    CatalogueOnRegistry<CLocation> on;
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeviceAccess\\Global\\{BFA794E4-"
                             L"F964-4FDB-90F6-51056BFE4B44}";
    const auto& row = *FindRow<CLocation>("location.app-access");
    Apply(on.model, row, true);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, key, L"Value").IsString(L"Deny"));
    EXPECT_TRUE(
        ReadStored(HKEY_CURRENT_USER,
                   L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Sensor\\Permissions\\{BFA794E4-F964-"
                   L"4FDB-90F6-51056BFE4B44}",
                   L"SensorPermissionState")
            .IsDword(0));
    Apply(on.model, row, false);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, key, L"Value").present);
}

TEST(CatalogueRows, DarkThemeWritesBothLightThemeValuesAndClearingDeletesBoth)
{
    CatalogueOnRegistry<CThemeSettings> on;
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
    const auto& row = *FindRow<CThemeSettings>("theme.dark-theme");
    EXPECT_TRUE(row.asksRestart);
    Apply(on.model, row, true);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, key, L"AppsUseLightTheme").IsDword(0));
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, key, L"AppsUseLightTheme").IsDword(0));
    Apply(on.model, row, false);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, key, L"AppsUseLightTheme").present);
    EXPECT_FALSE(ReadStored(HKEY_LOCAL_MACHINE, key, L"AppsUseLightTheme").present);
}

TEST(CatalogueRows, NetworkFlyoutWritesTwoAndClearingWritesZero)
{
    CatalogueOnRegistry<CThemeSettings> on;
    const std::wstring key =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Settings\\Network";
    const auto& row = *FindRow<CThemeSettings>("theme.network-flyout");
    Apply(on.model, row, true);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, key, L"ReplaceVan").IsDword(2));
    Apply(on.model, row, false);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, key, L"ReplaceVan").IsDword(0)) << "not deleted";
}
