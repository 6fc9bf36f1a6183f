#include "core/settings/Security.h"

#include "core/settings/SettingsPaths.h"

namespace Tavrin::Core {

using namespace RegistryRoots;

CSecurity::CSecurity()
{
    BindMembers(*this);
}

template <> const SettingsCatalogue<CSecurity>& CatalogueOf<CSecurity>()
{
    using M = CSecurity;
    // Service start types: 4 is disabled, 2 automatic.
    constexpr DWORD kDisabled = 4, kAutomatic = 2;
    constexpr bool kRestart = true;
    static const SettingsCatalogue<M> catalogue{
        // Password reveal, the steps recorder, the telemetry policy and the two
        // Wi-Fi policy values are left as they are by the reset. Peer-to-peer
        // delivery is on (mode 1) when nothing says otherwise.
        {
            Member(&M::disablePasswordReveal, HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\CredUI",
                   L"DisablePasswordReveal")
                .KeptOnReset(),
            Member(&M::disableStepsRecorder, HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppCompat",
                   L"DisableUAR")
                .KeptOnReset(),
            Member(&M::diagTrackStart, HKLM, L"System\\CurrentControlSet\\Services\\DiagTrack", L"Start")
                .ResetTo(kAutomatic),
            Member(&M::pushServiceStart, HKLM, L"System\\CurrentControlSet\\Services\\dmwappushservice",
                   L"Start")
                .ResetTo(kAutomatic),
            Member(&M::diagTrackLoggerStart, HKLM,
                   L"System\\CurrentControlSet\\Control\\WMI\\AutoLogger\\AutoLogger-Diagtrack-Listener",
                   L"Start")
                .ResetTo(1),
            Member(&M::allowTelemetry, HKLM, L"SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection",
                   L"AllowTelemetry")
                .KeptOnReset(),
            Member(&M::wifiSenseOpen, HKLM, L"SOFTWARE\\Microsoft\\WcmSvc\\wifinetworkmanager\\features",
                   L"WiFiSenseOpen")
                .ResetTo(0),
            Member(&M::hotspotReporting, HKLM,
                   L"SOFTWARE\\Microsoft\\PolicyManager\\default\\WiFi\\AllowWiFiHotSpotReporting", L"Value")
                .KeptOnReset(),
            Member(&M::wifiSenseCredShared, HKLM,
                   L"SOFTWARE\\Microsoft\\WcmSvc\\wifinetworkmanager\\features", L"WiFiSenseCredShared")
                .ResetTo(0),
            Member(&M::autoConnectHotspots, HKLM,
                   L"SOFTWARE\\Microsoft\\PolicyManager\\default\\WiFi\\AllowAutoConnectToWiFiSenseHotspots",
                   L"Value")
                .KeptOnReset(),
            Member(&M::wirelessAccess, HKCU, DeviceAccessKey(L"{A8804298-2D5F-42E3-9531-9C8C39EB29CE}"),
                   L"Value")
                .ResetTo(L"Allow"),
            Member(&M::looselyCoupledAccess, HKCU, DeviceAccessKey(L"LooselyCoupled"), L"Value")
                .ResetTo(L"Allow"),
            Member(&M::drmDisableOnline, HKLM, L"SOFTWARE\\Policies\\Microsoft\\WMDRM", L"DisableOnline"),
            Member(&M::deliveryDownloadMode, HKLM,
                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeliveryOptimization\\Config",
                   L"DODownloadMode")
                .DefaultsTo(1),
            Member(&M::deliveryDownloadModePolicy, HKLM,
                   L"SOFTWARE\\Policies\\Microsoft\\Windows\\DeliveryOptimization", L"DODownloadMode")
                .DefaultsTo(1),
            Member(&M::settingsDownloadMode, HKCU,
                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeliveryOptimization",
                   L"SystemSettingsDownloadMode")
                .DefaultsTo(1),
        },
        {
            {"security.password-reveal",
             NotZero(&M::disablePasswordReveal),
             {Set(&M::disablePasswordReveal, 1)},
             {Set(&M::disablePasswordReveal, 0)},
             kRestart},
            {"security.steps-recorder",
             NotZero(&M::disableStepsRecorder),
             {Set(&M::disableStepsRecorder, 1)},
             {Set(&M::disableStepsRecorder, 0)},
             kRestart},
            {"security.telemetry-service",
             Equals(&M::diagTrackStart, kDisabled),
             {Set(&M::diagTrackStart, kDisabled), Set(&M::pushServiceStart, kDisabled),
              Set(&M::diagTrackLoggerStart, 0), Set(&M::allowTelemetry, 0)},
             {Set(&M::diagTrackStart, kAutomatic), Set(&M::pushServiceStart, kAutomatic),
              Set(&M::diagTrackLoggerStart, 1), Set(&M::allowTelemetry, 1)},
             kRestart},
            {"security.wifi-sense",
             NotZero(&M::wifiSenseOpen),
             {Set(&M::wifiSenseOpen, 1), Set(&M::hotspotReporting, 1)},
             {Set(&M::wifiSenseOpen, 0), Set(&M::hotspotReporting, 0)},
             kRestart},
            {"security.wifi-sense-contacts",
             NotZero(&M::wifiSenseCredShared),
             {Set(&M::wifiSenseCredShared, 1), Set(&M::autoConnectHotspots, 1)},
             {Set(&M::wifiSenseCredShared, 0), Set(&M::autoConnectHotspots, 0)},
             kRestart},
            {"security.wireless-access",
             Equals(&M::wirelessAccess, L"Deny"),
             {Set(&M::wirelessAccess, L"Deny")},
             {Set(&M::wirelessAccess, L"Allow")},
             kRestart},
            {"security.loosely-coupled-devices",
             Equals(&M::looselyCoupledAccess, L"Deny"),
             {Set(&M::looselyCoupledAccess, L"Deny")},
             {Set(&M::looselyCoupledAccess, L"Allow")},
             kRestart},
            {"security.drm-online",
             NotZero(&M::drmDisableOnline),
             {Set(&M::drmDisableOnline, 1)},
             {Remove(&M::drmDisableOnline)},
             kRestart},
            {"security.peer-to-peer-updates",
             Equals(&M::deliveryDownloadMode, 0),
             {Set(&M::deliveryDownloadMode, 0), Set(&M::deliveryDownloadModePolicy, 0),
              Set(&M::settingsDownloadMode, 0)},
             {Remove(&M::deliveryDownloadMode), Remove(&M::deliveryDownloadModePolicy),
              Remove(&M::settingsDownloadMode)},
             kRestart},
        },
    };
    return catalogue;
}

} // namespace Tavrin::Core
