#pragma once
#include "core/settings/ThemeSettings.h"
#include "framework/CButton.h"
#include "ui/pages/SettingsPage.h"

extern template class CSettingsPage<Tavrin::Core::CThemeSettings>;

// The Themes section. Its dark-theme (1006) and Start-menu (1013) boxes ask
// for a restart of Windows. The template's accent-colour group (box 1015,
// text 1076, the colour button 1014) is created hidden and nothing shows it;
// the logon-background box 1011 is a plain box that only toggles itself.
class CThemeDlg : public CSettingsPage<Tavrin::Core::CThemeSettings> {
public:
    CThemeDlg();

    static const SettingsPageLayout kLayout;

protected:
    void DoDataExchange() override;

private:
    // Stands in for a colour picker: the group it belongs to is never shown.
    CButton m_accentColor;
};
