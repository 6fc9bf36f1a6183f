#include "core/settings/ThemeSettings.h"

#include "core/settings/SettingsPaths.h"

namespace Tavrin::Core {

using namespace RegistryRoots;

namespace {

const wchar_t kPersonalize[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
const wchar_t kImmersiveShell[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ImmersiveShell";

} // namespace

CThemeSettings::CThemeSettings()
{
    BindMembers(*this);
}

template <> const SettingsCatalogue<CThemeSettings>& CatalogueOf<CThemeSettings>()
{
    using M = CThemeSettings;
    constexpr bool kRestart = true;
    static const SettingsCatalogue<M> catalogue{
        // The light theme, the new volume control and the new Start menu are
        // what Windows 10 shows when nothing is stored. The reset runs from
        // the last member back, but in pairs: 5 before 6, 1 before 2.
        {
            Member(&M::appsUseLightThemeUser, HKCU, kPersonalize, L"AppsUseLightTheme")
                .DefaultsTo(1)
                .ResetAt(10),
            Member(&M::appsUseLightThemeMachine, HKLM, kPersonalize, L"AppsUseLightTheme")
                .DefaultsTo(1)
                .ResetAt(11),
            Member(&M::enableMtcUvc, HKLM, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\MTCUVC",
                   L"EnableMtcUvc")
                .DefaultsTo(1)
                .ResetAt(9),
            Member(&M::useWin32BatteryFlyout, HKLM, kImmersiveShell, L"UseWin32BatteryFlyout").ResetAt(8),
            Member(&M::disableNotificationCenter, HKCU, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Explorer",
                   L"DisableNotificationCenter")
                .InPolicy(PolicyBinding::MachineSection)
                .ResetTo(0)
                .ResetAt(6),
            Member(&M::replaceVan, HKLM,
                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Settings\\Network",
                   L"ReplaceVan")
                .ResetTo(0)
                .ResetAt(7),
            Member(&M::disableLogonBackgroundImage, HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\System",
                   L"DisableLogonBackgroundImage")
                .ResetAt(5),
            Member(&M::useWin32TrayClockExperience, HKLM, kImmersiveShell, L"UseWin32TrayClockExperience")
                .ResetAt(4),
            Member(&M::enableXamlStartMenu, HKCU,
                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
                   L"EnableXamlStartMenu")
                .DefaultsTo(1)
                .ResetAt(3),
            Member(&M::autoColorization, HKCU, L"Control Panel\\Desktop", L"AutoColorization")
                .ResetTo(0)
                .ResetAt(2),
            Member(&M::enableTransparency, HKCU, kPersonalize, L"EnableTransparency").ResetTo(0).ResetAt(1),
        },
        // In the order of the page's boxes; the logon-background box writes
        // nothing and is no row.
        {
            {"theme.dark-theme",
             Equals(&M::appsUseLightThemeUser, 0),
             {Set(&M::appsUseLightThemeUser, 0), Set(&M::appsUseLightThemeMachine, 0)},
             {Remove(&M::appsUseLightThemeUser), Remove(&M::appsUseLightThemeMachine)},
             kRestart},
            {"theme.volume-control",
             Equals(&M::enableMtcUvc, 0),
             {Set(&M::enableMtcUvc, 0)},
             {Remove(&M::enableMtcUvc)}},
            {"theme.battery-indicator",
             NotZero(&M::useWin32BatteryFlyout),
             {Set(&M::useWin32BatteryFlyout, 1)},
             {Remove(&M::useWin32BatteryFlyout)}},
            // ReplaceVan 2 selects the older network flyout; 0 is written back
            // rather than deleted.
            {"theme.network-flyout",
             Equals(&M::replaceVan, 2),
             {Set(&M::replaceVan, 2)},
             {Set(&M::replaceVan, 0)}},
            {"theme.action-center",
             Equals(&M::disableNotificationCenter, 1),
             {Set(&M::disableNotificationCenter, 1)},
             {Set(&M::disableNotificationCenter, 0)}},
            {"theme.clock-calendar",
             NotZero(&M::useWin32TrayClockExperience),
             {Set(&M::useWin32TrayClockExperience, 1)},
             {Remove(&M::useWin32TrayClockExperience)}},
            {"theme.start-menu",
             Equals(&M::enableXamlStartMenu, 0),
             {Set(&M::enableXamlStartMenu, 0)},
             {Remove(&M::enableXamlStartMenu)},
             kRestart},
            {"theme.transparent-start-menu",
             NotZero(&M::enableTransparency),
             {Set(&M::enableTransparency, 1)},
             {Set(&M::enableTransparency, 0)}},
        },
    };
    return catalogue;
}

} // namespace Tavrin::Core
