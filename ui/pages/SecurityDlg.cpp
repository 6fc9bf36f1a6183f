#include "ui/pages/SecurityDlg.h"

#include "res/resource.h"

const SettingsPageLayout CSecurityDlg::kLayout = {
    IDD_SECURITY,
    L"images/headers/security-title.png",
    {
        {IDC_SECURITY_PASSWORD_REVEAL, "security.password-reveal"},
        {IDC_SECURITY_STEPS_RECORDER, "security.steps-recorder"},
        {IDC_SECURITY_TELEMETRY, "security.telemetry-service"},
        {IDC_SECURITY_WIFI_SENSE, "security.wifi-sense"},
        {IDC_SECURITY_WIFI_CONTACTS, "security.wifi-sense-contacts"},
        {IDC_SECURITY_WIRELESS_ACCESS, "security.wireless-access"},
        {IDC_SECURITY_LOOSELY_COUPLED, "security.loosely-coupled-devices"},
        {IDC_SECURITY_DRM_ONLINE, "security.drm-online"},
        {IDC_SECURITY_PEER_UPDATES, "security.peer-to-peer-updates"},
    },
    {IDC_SECURITY_PASSWORD_REVEAL_TEXT, IDC_SECURITY_STEPS_RECORDER_TEXT, IDC_SECURITY_TELEMETRY_TEXT,
     IDC_SECURITY_WIFI_SENSE_TEXT, IDC_SECURITY_WIFI_CONTACTS_TEXT, IDC_SECURITY_WIRELESS_ACCESS_TEXT,
     IDC_SECURITY_LOOSELY_COUPLED_TEXT, IDC_SECURITY_DRM_ONLINE_TEXT, IDC_SECURITY_PEER_UPDATES_TEXT},
    IDC_SECURITY_INTRO,
    false,
};

CSecurityDlg::CSecurityDlg() : CSettingsPage(kLayout) {}
