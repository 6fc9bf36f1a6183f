#include "ui/pages/LocationDlg.h"

#include "res/resource.h"

const SettingsPageLayout CLocationDlg::kLayout = {
    IDD_LOCATION,
    L"images/headers/location-title.PNG",
    {IDC_LOCATION_LOCATE_SYSTEM, IDC_LOCATION_SENSORS, IDC_LOCATION_GEOLOCATION, IDC_LOCATION_APP_ACCESS},
    {IDC_LOCATION_LOCATE_SYSTEM_TEXT, IDC_LOCATION_SENSORS_TEXT, IDC_LOCATION_GEOLOCATION_TEXT,
     IDC_LOCATION_APP_ACCESS_TEXT},
    IDC_LOCATION_INTRO,
    false,
};

CLocationDlg::CLocationDlg() : CSettingsPage(kLayout) {}
