#pragma once
#include "core/settings/RegistryProperty.h"
#include "core/settings/SettingsCatalogue.h"

namespace Tavrin::Core {

// The registry values behind the theme page, placed by its catalogue (BindMembers) and, like them, not
// copyable; all of them REG_DWORD.
class CThemeSettings {
public:
    CThemeSettings();

    NumberProperty appsUseLightThemeUser;
    NumberProperty appsUseLightThemeMachine;
    NumberProperty enableMtcUvc;
    NumberProperty useWin32BatteryFlyout;
    NumberProperty disableNotificationCenter; // local group policy, machine section
    NumberProperty replaceVan;
    NumberProperty disableLogonBackgroundImage;
    NumberProperty useWin32TrayClockExperience;
    NumberProperty enableXamlStartMenu;
    NumberProperty autoColorization;
    NumberProperty enableTransparency;
};

template <> const SettingsCatalogue<CThemeSettings>& CatalogueOf<CThemeSettings>();

} // namespace Tavrin::Core
