#pragma once
#include <string>

#include "core/compat/CompatibilityResult.h"
#include "core/compat/Drivers.h"
#include "core/compat/Extensions.h"
#include "core/compat/InstalledApp.h"

namespace Tavrin::Test {

constexpr unsigned long long kGiB = 1073741824ULL;

// Windows 8.1, 64-bit, 8 GB, a 500 GB drive with 100 GB free, DirectX 11,
// a 1920 x 1080 screen, 2.4 GHz: every requirement met.
inline Core::WindowsUpdate::COMPATIBILITY_RESULT ReadyPc()
{
    Core::WindowsUpdate::COMPATIBILITY_RESULT r;
    r.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows81;
    r.totalMemory = 8 * kGiB;
    r.systemDriveFree = 100 * kGiB;
    r.systemDriveSize = 500 * kGiB;
    r.directXVersion = 11;
    r.screenWidth = 1920;
    r.screenHeight = 1080;
    r.processorSpeed = 2400;
    r.is64Bit = 1;
    r.osEligible = r.memoryOk = r.diskOk = r.directXOk = r.displayOk = r.processorOk = true;
    return r;
}

// Saved inventories in the current folder from before the upgrade (three
// applications, two drivers, two associations) and `result`'s inventories of
// now, in which one application, one driver and one association are gone or
// changed: four compatibility issues. `goneAppName` names the first gone
// application.
inline bool SaveLostInventories(Core::WindowsUpdate::COMPATIBILITY_RESULT& result,
                                const std::wstring& goneAppName)
{
    const std::list<Core::InstalledApp> before = {{0x80000002, L"Uninstall", L"KeptApp", L"Kept"},
                                                  {0x80000002, L"Uninstall", L"GoneApp", goneAppName},
                                                  {0x80000003, L"Uninstall", L"AlsoGone", L"Also gone"}};
    Core::Drivers drivers;
    drivers.current = {{L"Kept device", L"PCI\\KEPT", L"{1}"}, {L"Gone device", L"PCI\\GONE", L"{2}"}};
    Core::Extensions extensions;
    extensions.current = {{L".txt", L"txtfile", L"h1", L"notepad"}, {L".pdf", L"Reader", L"h2", L"reader"}};
    if (!Core::SaveInstalledApps(before) || !drivers.SaveDrivers() || !extensions.SaveAssociations())
        return false;
    result.installedApps = {{0x80000002, L"Uninstall", L"KeptApp", L"Kept"}};
    result.drivers.current = {{L"Kept device", L"PCI\\KEPT", L"{1}"}};
    result.extensions.current = {{L".txt", L"txtfile", L"h1", L"notepad"},
                                 {L".pdf", L"Edge", L"h3", L"edge"}};
    return true;
}

} // namespace Tavrin::Test
