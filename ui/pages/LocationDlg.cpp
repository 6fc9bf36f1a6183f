#include "ui/pages/LocationDlg.h"

#include "res/resource.h"

const SettingsPageLayout CLocationDlg::kLayout = {
    IDD_LOCATION,
    L"images/headers/location-title.PNG",
    {
        {IDC_LOCATION_LOCATE_SYSTEM, "location.locate-system"},
        {IDC_LOCATION_SENSORS, "location.sensors"},
        {IDC_LOCATION_GEOLOCATION, "location.geolocation-service"},
        {IDC_LOCATION_APP_ACCESS, "location.app-access"},
    },
    {IDC_LOCATION_LOCATE_SYSTEM_TEXT, IDC_LOCATION_SENSORS_TEXT, IDC_LOCATION_GEOLOCATION_TEXT,
     IDC_LOCATION_APP_ACCESS_TEXT},
    IDC_LOCATION_INTRO,
    false,
};

CLocationDlg::CLocationDlg() : CSettingsPage(kLayout) {}
