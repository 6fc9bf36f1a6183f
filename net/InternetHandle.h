#pragma once
#include <windows.h>
#include <wininet.h>

#include "platform/UniqueHandle.h"

namespace Tavrin::Net {

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::InternetCloseHandle(h); }
};
// A WinINet session, connection or request handle.
using InternetHandle = Platform::UniqueResource<InternetHandleTraits>;

// How long a connect, a send or a wait for data may take before the request
// fails: a server that accepts and then stays silent must not hold a
// command-line mode forever.
constexpr DWORD kNetworkTimeoutMs = 15000;

// Applies the time-outs to a handle; handles opened from it inherit them.
void ApplyNetworkTimeouts(HINTERNET handle, DWORD timeoutMs = kNetworkTimeoutMs);

} // namespace Tavrin::Net
