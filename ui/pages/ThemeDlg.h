#pragma once
#include "core/settings/ThemeSettings.h"
#include "framework/CButton.h"
#include "ui/pages/SettingsPage.h"

extern template class CSettingsPage<Tavrin::Core::CThemeSettings>;

// The Themes section. Its dark-theme and Start-menu boxes ask for a restart
// of Windows. The template's accent-colour group (IDC_THEME_AUTO_ACCENT_COLOR,
// its text and the colour button IDC_ACCENT_COLOR) is created hidden and
// nothing shows it; the logon-background box IDC_THEME_LOGON_BACKGROUND is a
// plain box that only toggles itself.
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
