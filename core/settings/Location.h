#pragma once
#include "core/settings/RegistryProperty.h"
#include "core/settings/SettingsCatalogue.h"

namespace Tavrin::Core {

// The registry values behind the location page, placed by its catalogue (BindMembers) and, like them, not
// copyable. The sensor and device-access keys all name the location sensor class.
class CLocation {
public:
    CLocation();

    NumberProperty disableLocation;
    NumberProperty disableLocationProvider;
    NumberProperty disableSensors;
    NumberProperty locationServiceStatus;
    NumberProperty sensorOverride;
    StringProperty locationAccess;
    NumberProperty sensorPermission;
};

template <> const SettingsCatalogue<CLocation>& CatalogueOf<CLocation>();

} // namespace Tavrin::Core
