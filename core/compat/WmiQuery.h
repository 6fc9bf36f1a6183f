#pragma once
#include <windows.h>
#include <wbemcli.h>

#include <cstdint>
#include <functional>
#include <optional>

namespace Tavrin::Core {

// How a query sets the process's COM security. COM never reports the chosen
// levels back (and Wine ignores them), so tests hand in a recorder.
using ComSecurityInitializer = decltype(&::CoInitializeSecurity);

// Runs one WQL query in "root\cimv2" with a COM initialisation and a
// connection of its own, handing every object returned to visit, in order.
// False when the query could not be run; objects already visited stay visited.
bool ForEachWmiObject(const wchar_t* query, const std::function<void(IWbemClassObject&)>& visit,
                      ComSecurityInitializer initializeSecurity = ::CoInitializeSecurity);

// A numeric property: a null value counts as 0, anything else is converted
// to a 32-bit unsigned number. Nothing when the property is missing or does
// not convert.
std::optional<std::uint32_t> ReadWmiUnsigned(IWbemClassObject& object, const wchar_t* name);

} // namespace Tavrin::Core
