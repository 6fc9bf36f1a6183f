#include "core/settings/Location.h"

#include "core/settings/SettingsPaths.h"

namespace Tavrin::Core {

using namespace RegistryRoots;

namespace {

const wchar_t kLocationPolicies[] = L"SOFTWARE\\Policies\\Microsoft\\Windows\\LocationAndSensors";
const wchar_t kLocationSensorClass[] = L"{BFA794E4-F964-4FDB-90F6-51056BFE4B44}";

} // namespace

CLocation::CLocation()
{
    BindMembers(*this);
}

template <> const SettingsCatalogue<CLocation>& CatalogueOf<CLocation>()
{
    using M = CLocation;
    static const SettingsCatalogue<M> catalogue{
        // The service, the sensor override and the user's permission are on
        // when nothing is stored.
        {
            Member(&M::disableLocation, HKLM, kLocationPolicies, L"DisableLocation"),
            Member(&M::disableLocationProvider, HKLM, kLocationPolicies, L"DisableWindowsLocationProvider"),
            Member(&M::disableSensors, HKLM, kLocationPolicies, L"DisableSensors"),
            Member(&M::locationServiceStatus, HKLM,
                   L"System\\CurrentControlSet\\Services\\lfsvc\\Service\\Configuration", L"Status")
                .DefaultsTo(1)
                .ResetTo(1),
            Member(&M::sensorOverride, HKLM,
                   std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Sensor\\Overrides\\") +
                       kLocationSensorClass,
                   L"SensorPermissionState")
                .DefaultsTo(1),
            Member(&M::locationAccess, HKCU, DeviceAccessKey(kLocationSensorClass), L"Value"),
            Member(&M::sensorPermission, HKCU,
                   std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Sensor\\Permissions\\") +
                       kLocationSensorClass,
                   L"SensorPermissionState")
                .DefaultsTo(1),
        },
        {
            {"location.locate-system",
             NotZero(&M::disableLocation),
             {Set(&M::disableLocation, 1), Set(&M::disableLocationProvider, 1)},
             {Remove(&M::disableLocation), Remove(&M::disableLocationProvider)}},
            {"location.sensors",
             NotZero(&M::disableSensors),
             {Set(&M::disableSensors, 1)},
             {Remove(&M::disableSensors)}},
            {"location.geolocation-service",
             Equals(&M::locationServiceStatus, 0),
             {Set(&M::locationServiceStatus, 0), Set(&M::sensorOverride, 0)},
             {Set(&M::locationServiceStatus, 1), Remove(&M::sensorOverride)}},
            // Unlike the other device-access rows, clearing removes the string.
            {"location.app-access",
             Equals(&M::locationAccess, L"Deny"),
             {Set(&M::locationAccess, L"Deny"), Set(&M::sensorPermission, 0)},
             {Remove(&M::locationAccess), Remove(&M::sensorPermission)}},
        },
    };
    return catalogue;
}

} // namespace Tavrin::Core
