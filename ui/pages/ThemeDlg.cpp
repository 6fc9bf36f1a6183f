#include "ui/pages/ThemeDlg.h"

#include "res/resource.h"

const SettingsPageLayout CThemeDlg::kLayout = {
    IDD_THEME,
    L"images/headers/theme-title.png",
    {1006, 1007, 1008, 1010, 1009, 1012, 1013, 1015, 1016},
    {1052, 1069, 1070, 1071, 1072, 1074, 1075, 1076},
    0,
    false,
};

CThemeDlg::CThemeDlg() : CSettingsPage(kLayout) {}

void CThemeDlg::DoDataExchange()
{
    CSettingsPage::DoDataExchange();
    BindControl(IDC_ACCENT_COLOR, m_accentColor);
}
