#pragma once
#include "core/compat/CompatibilityResult.h"

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

} // namespace Tavrin::Test
