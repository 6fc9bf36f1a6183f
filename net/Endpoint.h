#pragma once
#include <windows.h>
#include <wininet.h>

#include <optional>
#include <string>

namespace Tavrin::Net {

// A server address as "host" or "host:port". Every request is HTTPS, so a
// host without a port is reached on 443.
struct Endpoint {
    std::wstring host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTPS_PORT;
};

// Splits "host[:port]"; without a port, 443. The port must be 1 to 65535
// written in decimal; anything else (an empty host, a stray colon, a port
// out of range) is not an endpoint.
std::optional<Endpoint> ParseEndpoint(const std::wstring& text);

// Where the installation sends its usage statistics and asks for updates:
// the REG_SZ values "StatsHost" and "UpdateHost" under
// HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Tavrin when present and not empty,
// otherwise the host chosen when the program was built.
std::wstring StatsHost();
std::wstring UpdateHost();
// The hosts chosen when the program was built.
std::wstring BuiltInStatsHost();
std::wstring BuiltInUpdateHost();

} // namespace Tavrin::Net
