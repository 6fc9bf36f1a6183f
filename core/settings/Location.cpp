#include "core/settings/Location.h"

#include "core/settings/SettingsPaths.h"
#include "res/resource.h"

namespace Tavrin::Core {

using namespace RegistryRoots;

namespace {

const wchar_t kLocationPolicies[] = L"SOFTWARE\\Policies\\Microsoft\\Windows\\LocationAndSensors";
const wchar_t kLocationSensorClass[] = L"{BFA794E4-F964-4FDB-90F6-51056BFE4B44}";

} // namespace

CLocation::CLocation()
    : disableLocation(HKLM, kLocationPolicies, L"DisableLocation"),
      disableLocationProvider(HKLM, kLocationPolicies, L"DisableWindowsLocationProvider"),
      disableSensors(HKLM, kLocationPolicies, L"DisableSensors"),
      locationServiceStatus(HKLM, L"System\\CurrentControlSet\\Services\\lfsvc\\Service\\Configuration",
                            L"Status"),
      sensorOverride(HKLM,
                     std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Sensor\\Overrides\\") +
                         kLocationSensorClass,
                     L"SensorPermissionState"),
      locationAccess(DeviceAccessKey(kLocationSensorClass), L"Value"),
      sensorPermission(
          HKCU,
          std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Sensor\\Permissions\\") +
              kLocationSensorClass,
          L"SensorPermissionState")
{
    for (NumberProperty* onByDefault : {&locationServiceStatus, &sensorOverride, &sensorPermission})
        onByDefault->defaultValue = 1;
}

template <> const SettingsCatalogue<CLocation>& CatalogueOf<CLocation>()
{
    using M = CLocation;
    static const SettingsCatalogue<M> catalogue{
        {&M::disableLocation, &M::disableLocationProvider, &M::disableSensors, &M::locationServiceStatus,
         &M::sensorOverride, &M::locationAccess, &M::sensorPermission},
        {
            {"location.locate-system",
             IDC_LOCATION_LOCATE_SYSTEM,
             NotZero(&M::disableLocation),
             {Set(&M::disableLocation, 1), Set(&M::disableLocationProvider, 1)},
             {Remove(&M::disableLocation), Remove(&M::disableLocationProvider)}},
            {"location.sensors",
             IDC_LOCATION_SENSORS,
             NotZero(&M::disableSensors),
             {Set(&M::disableSensors, 1)},
             {Remove(&M::disableSensors)}},
            {"location.geolocation-service",
             IDC_LOCATION_GEOLOCATION,
             Equals(&M::locationServiceStatus, 0),
             {Set(&M::locationServiceStatus, 0), Set(&M::sensorOverride, 0)},
             {Set(&M::locationServiceStatus, 1), Remove(&M::sensorOverride)}},
            // Unlike the other device-access rows, clearing removes the string.
            {"location.app-access",
             IDC_LOCATION_APP_ACCESS,
             Equals(&M::locationAccess, L"Deny"),
             {Set(&M::locationAccess, L"Deny"), Set(&M::sensorPermission, 0)},
             {Remove(&M::locationAccess), Remove(&M::sensorPermission)}},
        },
        {Remove(&M::disableLocation), Remove(&M::disableLocationProvider), Remove(&M::disableSensors),
         Set(&M::locationServiceStatus, 1), Remove(&M::sensorOverride), Remove(&M::locationAccess),
         Remove(&M::sensorPermission)},
    };
    return catalogue;
}

} // namespace Tavrin::Core
