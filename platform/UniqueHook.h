#pragma once
#include <windows.h>

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

// A hook installed with SetWindowsHookEx, removed with UnhookWindowsHookEx.
using UniqueHook = UniqueResource<NullHandleTraits<HHOOK, ::UnhookWindowsHookEx>>;

} // namespace Tavrin::Platform
