#pragma once
#include <windows.h>

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

// A hook installed with SetWindowsHookEx, removed with UnhookWindowsHookEx.
struct HookTraits {
    using Handle = HHOOK;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::UnhookWindowsHookEx(h); }
};
using UniqueHook = UniqueResource<HookTraits>;

} // namespace Tavrin::Platform
