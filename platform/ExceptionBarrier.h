#pragma once
#include <exception>
#include <string>

#include "platform/Text.h"

namespace Tavrin::Platform {

// Windows calls our window, dialog and hook procedures from C code; a C++
// exception unwinding through it is undefined behaviour (on 32-bit Windows
// usually a crash with no trace). Every such procedure runs its body through
// Guarded: an escaping exception becomes a debug line naming the procedure,
// and the procedure answers what `fallback` gives (its default processing).
template <typename Body, typename Fallback>
auto Guarded(const wchar_t* where, Body&& body, Fallback&& fallback) noexcept -> decltype(body())
{
    try {
        return body();
    } catch (const std::exception& error) {
        DebugLine(std::wstring(where) + L": exception stopped: " + Widen(error.what()));
    } catch (...) {
        DebugLine(std::wstring(where) + L": unknown exception stopped");
    }
    return fallback();
}

} // namespace Tavrin::Platform
