#pragma once
#include "core/settings/RegistryProperty.h"
#include "core/settings/SettingsCatalogue.h"

namespace Tavrin::Core {

// The registry values behind the location page, in construction order. The
// sensor and device-access keys all name the location sensor class.
class CLocation {
public:
    CLocation();
    virtual ~CLocation() = default;
    CLocation(const CLocation&) = delete;
    CLocation& operator=(const CLocation&) = delete;

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
