#include "core/settings/Security.h"

#include "core/settings/SettingsPaths.h"
#include "res/resource.h"

namespace Tavrin::Core {

using namespace RegistryRoots;

CSecurity::CSecurity()
    : disablePasswordReveal(HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\CredUI",
                            L"DisablePasswordReveal"),
      disableStepsRecorder(HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppCompat", L"DisableUAR"),
      diagTrackStart(HKLM, L"System\\CurrentControlSet\\Services\\DiagTrack", L"Start"),
      pushServiceStart(HKLM, L"System\\CurrentControlSet\\Services\\dmwappushservice", L"Start"),
      diagTrackLoggerStart(
          HKLM, L"System\\CurrentControlSet\\Control\\WMI\\AutoLogger\\AutoLogger-Diagtrack-Listener",
          L"Start"),
      allowTelemetry(HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection", L"AllowTelemetry"),
      wifiSenseOpen(HKLM, L"SOFTWARE\\Microsoft\\WcmSvc\\wifinetworkmanager\\features", L"WiFiSenseOpen"),
      hotspotReporting(HKLM, L"SOFTWARE\\Microsoft\\PolicyManager\\default\\WiFi\\AllowWiFiHotSpotReporting",
                       L"Value"),
      wifiSenseCredShared(HKLM, L"SOFTWARE\\Microsoft\\WcmSvc\\wifinetworkmanager\\features",
                          L"WiFiSenseCredShared"),
      autoConnectHotspots(
          HKLM, L"SOFTWARE\\Microsoft\\PolicyManager\\default\\WiFi\\AllowAutoConnectToWiFiSenseHotspots",
          L"Value"),
      wirelessAccess(DeviceAccessKey(L"{A8804298-2D5F-42E3-9531-9C8C39EB29CE}"), L"Value"),
      looselyCoupledAccess(DeviceAccessKey(L"LooselyCoupled"), L"Value"),
      drmDisableOnline(HKLM, L"SOFTWARE\\Policies\\Microsoft\\WMDRM", L"DisableOnline"),
      deliveryDownloadMode(HKLM,
                           L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeliveryOptimization\\Config",
                           L"DODownloadMode"),
      deliveryDownloadModePolicy(HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\DeliveryOptimization",
                                 L"DODownloadMode"),
      settingsDownloadMode(HKCU, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeliveryOptimization",
                           L"SystemSettingsDownloadMode")
{
    // Peer-to-peer delivery is on (mode 1) when nothing says otherwise.
    for (NumberProperty* onByDefault :
         {&deliveryDownloadMode, &deliveryDownloadModePolicy, &settingsDownloadMode})
        onByDefault->defaultValue = 1;
}

template <> const SettingsCatalogue<CSecurity>& CatalogueOf<CSecurity>()
{
    using M = CSecurity;
    // Service start types: 4 is disabled, 2 automatic.
    constexpr DWORD kDisabled = 4, kAutomatic = 2;
    constexpr bool kRestart = true;
    static const SettingsCatalogue<M> catalogue{
        {&M::disablePasswordReveal, &M::disableStepsRecorder, &M::diagTrackStart, &M::pushServiceStart,
         &M::diagTrackLoggerStart, &M::allowTelemetry, &M::wifiSenseOpen, &M::hotspotReporting,
         &M::wifiSenseCredShared, &M::autoConnectHotspots, &M::wirelessAccess, &M::looselyCoupledAccess,
         &M::drmDisableOnline, &M::deliveryDownloadMode, &M::deliveryDownloadModePolicy,
         &M::settingsDownloadMode},
        {
            {"security.password-reveal",
             IDC_SECURITY_PASSWORD_REVEAL,
             NotZero(&M::disablePasswordReveal),
             {Set(&M::disablePasswordReveal, 1)},
             {Set(&M::disablePasswordReveal, 0)},
             kRestart},
            {"security.steps-recorder",
             IDC_SECURITY_STEPS_RECORDER,
             NotZero(&M::disableStepsRecorder),
             {Set(&M::disableStepsRecorder, 1)},
             {Set(&M::disableStepsRecorder, 0)},
             kRestart},
            {"security.telemetry-service",
             IDC_SECURITY_TELEMETRY,
             Equals(&M::diagTrackStart, kDisabled),
             {Set(&M::diagTrackStart, kDisabled), Set(&M::pushServiceStart, kDisabled),
              Set(&M::diagTrackLoggerStart, 0), Set(&M::allowTelemetry, 0)},
             {Set(&M::diagTrackStart, kAutomatic), Set(&M::pushServiceStart, kAutomatic),
              Set(&M::diagTrackLoggerStart, 1), Set(&M::allowTelemetry, 1)},
             kRestart},
            {"security.wifi-sense",
             IDC_SECURITY_WIFI_SENSE,
             NotZero(&M::wifiSenseOpen),
             {Set(&M::wifiSenseOpen, 1), Set(&M::hotspotReporting, 1)},
             {Set(&M::wifiSenseOpen, 0), Set(&M::hotspotReporting, 0)},
             kRestart},
            {"security.wifi-sense-contacts",
             IDC_SECURITY_WIFI_CONTACTS,
             NotZero(&M::wifiSenseCredShared),
             {Set(&M::wifiSenseCredShared, 1), Set(&M::autoConnectHotspots, 1)},
             {Set(&M::wifiSenseCredShared, 0), Set(&M::autoConnectHotspots, 0)},
             kRestart},
            {"security.wireless-access",
             IDC_SECURITY_WIRELESS_ACCESS,
             Equals(&M::wirelessAccess, L"Deny"),
             {Set(&M::wirelessAccess, L"Deny")},
             {Set(&M::wirelessAccess, L"Allow")},
             kRestart},
            {"security.loosely-coupled-devices",
             IDC_SECURITY_LOOSELY_COUPLED,
             Equals(&M::looselyCoupledAccess, L"Deny"),
             {Set(&M::looselyCoupledAccess, L"Deny")},
             {Set(&M::looselyCoupledAccess, L"Allow")},
             kRestart},
            {"security.drm-online",
             IDC_SECURITY_DRM_ONLINE,
             NotZero(&M::drmDisableOnline),
             {Set(&M::drmDisableOnline, 1)},
             {Remove(&M::drmDisableOnline)},
             kRestart},
            {"security.peer-to-peer-updates",
             IDC_SECURITY_PEER_UPDATES,
             Equals(&M::deliveryDownloadMode, 0),
             {Set(&M::deliveryDownloadMode, 0), Set(&M::deliveryDownloadModePolicy, 0),
              Set(&M::settingsDownloadMode, 0)},
             {Remove(&M::deliveryDownloadMode), Remove(&M::deliveryDownloadModePolicy),
              Remove(&M::settingsDownloadMode)},
             kRestart},
        },
        // Password reveal, the steps recorder, the telemetry policy and the two
        // Wi-Fi policy values are left as they are.
        {Set(&M::diagTrackStart, kAutomatic), Set(&M::pushServiceStart, kAutomatic),
         Set(&M::diagTrackLoggerStart, 1), Set(&M::wifiSenseOpen, 0), Set(&M::wifiSenseCredShared, 0),
         Set(&M::wirelessAccess, L"Allow"), Set(&M::looselyCoupledAccess, L"Allow"),
         Remove(&M::drmDisableOnline), Remove(&M::deliveryDownloadMode),
         Remove(&M::deliveryDownloadModePolicy), Remove(&M::settingsDownloadMode)},
    };
    return catalogue;
}

} // namespace Tavrin::Core
