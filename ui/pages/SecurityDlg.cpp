#include "ui/pages/SecurityDlg.h"

#include "res/resource.h"

const SettingsPageLayout CSecurityDlg::kLayout = {
    IDD_SECURITY,
    L"images/headers/security-title.png",
    {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008},
    {1049, 1050, 1051, 1054, 1053, 1052, 1055, 1056, 1057},
    IDC_SECURITY_INTRO,
    false,
};

CSecurityDlg::CSecurityDlg() : CSettingsPage(kLayout) {}
