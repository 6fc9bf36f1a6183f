#include "core/settings/ThemeSettings.h"

#include "core/settings/SettingsPaths.h"
#include "res/resource.h"

namespace Tavrin::Core {

using namespace RegistryRoots;

namespace {

const wchar_t kPersonalize[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
const wchar_t kImmersiveShell[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ImmersiveShell";

} // namespace

CThemeSettings::CThemeSettings()
    : appsUseLightThemeUser(HKCU, kPersonalize, L"AppsUseLightTheme"),
      appsUseLightThemeMachine(HKLM, kPersonalize, L"AppsUseLightTheme"),
      enableMtcUvc(HKLM, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\MTCUVC", L"EnableMtcUvc"),
      useWin32BatteryFlyout(HKLM, kImmersiveShell, L"UseWin32BatteryFlyout"),
      // The root is replaced by the policy object's machine section.
      disableNotificationCenter(HKCU, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Explorer",
                                L"DisableNotificationCenter", PolicyBinding::MachineSection),
      replaceVan(HKLM, L"Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Settings\\Network",
                 L"ReplaceVan"),
      disableLogonBackgroundImage(HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\System",
                                  L"DisableLogonBackgroundImage"),
      useWin32TrayClockExperience(HKLM, kImmersiveShell, L"UseWin32TrayClockExperience"),
      enableXamlStartMenu(HKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
                          L"EnableXamlStartMenu"),
      autoColorization(HKCU, L"Control Panel\\Desktop", L"AutoColorization"),
      enableTransparency(HKCU, kPersonalize, L"EnableTransparency")
{
    // The light theme, the new volume control and the new Start menu are what
    // Windows 10 shows when nothing is stored.
    for (NumberProperty* onByDefault :
         {&appsUseLightThemeUser, &appsUseLightThemeMachine, &enableMtcUvc, &enableXamlStartMenu})
        onByDefault->defaultValue = 1;
}

template <> const SettingsCatalogue<CThemeSettings>& CatalogueOf<CThemeSettings>()
{
    using M = CThemeSettings;
    constexpr bool kRestart = true;
    static const SettingsCatalogue<M> catalogue{
        {&M::appsUseLightThemeUser, &M::appsUseLightThemeMachine, &M::enableMtcUvc, &M::useWin32BatteryFlyout,
         &M::disableNotificationCenter, &M::replaceVan, &M::disableLogonBackgroundImage,
         &M::useWin32TrayClockExperience, &M::enableXamlStartMenu, &M::autoColorization,
         &M::enableTransparency},
        // In the order of the page's boxes; the logon-background box
        // (IDC_THEME_LOGON_BACKGROUND) writes nothing and is no row.
        {
            {"theme.dark-theme",
             IDC_THEME_DARK_THEME,
             Equals(&M::appsUseLightThemeUser, 0),
             {Set(&M::appsUseLightThemeUser, 0), Set(&M::appsUseLightThemeMachine, 0)},
             {Remove(&M::appsUseLightThemeUser), Remove(&M::appsUseLightThemeMachine)},
             kRestart},
            {"theme.volume-control",
             IDC_THEME_VOLUME_CONTROL,
             Equals(&M::enableMtcUvc, 0),
             {Set(&M::enableMtcUvc, 0)},
             {Remove(&M::enableMtcUvc)}},
            {"theme.battery-indicator",
             IDC_THEME_BATTERY_INDICATOR,
             NotZero(&M::useWin32BatteryFlyout),
             {Set(&M::useWin32BatteryFlyout, 1)},
             {Remove(&M::useWin32BatteryFlyout)}},
            // ReplaceVan 2 selects the older network flyout; 0 is written back
            // rather than deleted.
            {"theme.network-flyout",
             IDC_THEME_NETWORK_FLYOUT,
             Equals(&M::replaceVan, 2),
             {Set(&M::replaceVan, 2)},
             {Set(&M::replaceVan, 0)}},
            {"theme.action-center",
             IDC_THEME_ACTION_CENTER,
             Equals(&M::disableNotificationCenter, 1),
             {Set(&M::disableNotificationCenter, 1)},
             {Set(&M::disableNotificationCenter, 0)}},
            {"theme.clock-calendar",
             IDC_THEME_CLOCK_CALENDAR,
             NotZero(&M::useWin32TrayClockExperience),
             {Set(&M::useWin32TrayClockExperience, 1)},
             {Remove(&M::useWin32TrayClockExperience)}},
            {"theme.start-menu",
             IDC_THEME_START_MENU,
             Equals(&M::enableXamlStartMenu, 0),
             {Set(&M::enableXamlStartMenu, 0)},
             {Remove(&M::enableXamlStartMenu)},
             kRestart},
            {"theme.transparent-start-menu",
             IDC_THEME_TRANSPARENT_START,
             NotZero(&M::enableTransparency),
             {Set(&M::enableTransparency, 1)},
             {Set(&M::enableTransparency, 0)}},
        },
        {Set(&M::enableTransparency, 0), Set(&M::autoColorization, 0), Remove(&M::enableXamlStartMenu),
         Remove(&M::useWin32TrayClockExperience), Remove(&M::disableLogonBackgroundImage),
         Set(&M::disableNotificationCenter, 0), Set(&M::replaceVan, 0), Remove(&M::useWin32BatteryFlyout),
         Remove(&M::enableMtcUvc), Remove(&M::appsUseLightThemeUser), Remove(&M::appsUseLightThemeMachine)},
    };
    return catalogue;
}

} // namespace Tavrin::Core
