#pragma once
#include <windows.h>
#include <setupapi.h>

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

// A SetupAPI device information set, destroyed when the object goes. The
// user of this header links setupapi.
using DeviceInfoSet = UniqueResource<InvalidValueHandleTraits<HDEVINFO, ::SetupDiDestroyDeviceInfoList>>;

} // namespace Tavrin::Platform
