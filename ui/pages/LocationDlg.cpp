#include "ui/pages/LocationDlg.h"

#include "res/resource.h"

const SettingsPageLayout CLocationDlg::kLayout = {
    IDD_LOCATION,
    L"images/headers/location-title.PNG",
    {1004, 1005, 1006, 1007},
    {1051, 1069, 1070, 1071},
    IDC_LOCATION_INTRO,
    false,
};

CLocationDlg::CLocationDlg() : CSettingsPage(kLayout) {}
