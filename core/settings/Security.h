#pragma once
#include "core/settings/RegistryProperty.h"
#include "core/settings/SettingsCatalogue.h"

namespace Tavrin::Core {

// The registry values behind the security page, placed by its catalogue (BindMembers) and, like them, not
// copyable.
class CSecurity {
public:
    CSecurity();

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
