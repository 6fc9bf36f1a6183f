#pragma once
#include <windows.h>
#include <setupapi.h>

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

// A SetupAPI device information set, destroyed when the object goes. The
// user of this header links setupapi.
struct DeviceInfoSetTraits {
    using Handle = HDEVINFO;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::SetupDiDestroyDeviceInfoList(h); }
};
using DeviceInfoSet = UniqueResource<DeviceInfoSetTraits>;

} // namespace Tavrin::Platform
