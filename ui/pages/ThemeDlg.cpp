#include "ui/pages/ThemeDlg.h"

#include "res/resource.h"

const SettingsPageLayout CThemeDlg::kLayout = {
    IDD_THEME,
    L"images/headers/theme-title.png",
    {
        {IDC_THEME_DARK_THEME, "theme.dark-theme"},
        {IDC_THEME_VOLUME_CONTROL, "theme.volume-control"},
        {IDC_THEME_BATTERY_INDICATOR, "theme.battery-indicator"},
        {IDC_THEME_NETWORK_FLYOUT, "theme.network-flyout"},
        {IDC_THEME_ACTION_CENTER, "theme.action-center"},
        {IDC_THEME_CLOCK_CALENDAR, "theme.clock-calendar"},
        {IDC_THEME_START_MENU, "theme.start-menu"},
        {IDC_THEME_AUTO_ACCENT_COLOR, nullptr},
        {IDC_THEME_TRANSPARENT_START, "theme.transparent-start-menu"},
    },
    {IDC_THEME_DARK_THEME_TEXT, IDC_THEME_VOLUME_CONTROL_TEXT, IDC_THEME_BATTERY_INDICATOR_TEXT,
     IDC_THEME_ACTION_CENTER_TEXT, IDC_THEME_NETWORK_FLYOUT_TEXT, IDC_THEME_CLOCK_CALENDAR_TEXT,
     IDC_THEME_START_MENU_TEXT, IDC_THEME_AUTO_ACCENT_COLOR_TEXT},
    0,
    false,
};

CThemeDlg::CThemeDlg() : CSettingsPage(kLayout) {}

void CThemeDlg::DoDataExchange()
{
    CSettingsPage::DoDataExchange();
    BindControl(IDC_ACCENT_COLOR, m_accentColor);
}
