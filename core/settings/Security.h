#pragma once
#include "core/settings/RegistryProperty.h"
#include "core/settings/SettingsCatalogue.h"

namespace Tavrin::Core {

// The registry values behind the security page, in construction order.
class CSecurity {
public:
    CSecurity();
    virtual ~CSecurity() = default;
    CSecurity(const CSecurity&) = delete;
    CSecurity& operator=(const CSecurity&) = delete;

    NumberProperty disablePasswordReveal;
    NumberProperty disableStepsRecorder;
    NumberProperty diagTrackStart;
    NumberProperty pushServiceStart;
    NumberProperty diagTrackLoggerStart;
    NumberProperty allowTelemetry;
    NumberProperty wifiSenseOpen;
    NumberProperty hotspotReporting;
    NumberProperty wifiSenseCredShared;
    NumberProperty autoConnectHotspots;
    StringProperty wirelessAccess;
    StringProperty looselyCoupledAccess;
    NumberProperty drmDisableOnline;
    NumberProperty deliveryDownloadMode;
    NumberProperty deliveryDownloadModePolicy;
    NumberProperty settingsDownloadMode;
};

template <> const SettingsCatalogue<CSecurity>& CatalogueOf<CSecurity>();

} // namespace Tavrin::Core
