#include "net/Endpoint.h"

#include "net/InstallerSettings.h"

#ifndef TAVRIN_STATS_HOST_DEFAULT
#define TAVRIN_STATS_HOST_DEFAULT L"stats.tavrin.invalid"
#endif
#ifndef TAVRIN_UPDATE_HOST_DEFAULT
#define TAVRIN_UPDATE_HOST_DEFAULT L"update.tavrin.invalid"
#endif

namespace Tavrin::Net {

namespace {

std::wstring ConfiguredHost(const wchar_t* valueName, const wchar_t* builtIn)
{
    std::optional<std::wstring> value = InstallerString(valueName);
    return value && !value->empty() ? *value : builtIn;
}

} // namespace

std::optional<Endpoint> ParseEndpoint(const std::wstring& text)
{
    Endpoint endpoint;
    size_t colon = text.find(L':');
    endpoint.host = text.substr(0, colon);
    if (endpoint.host.empty())
        return std::nullopt;
    if (colon == std::wstring::npos)
        return endpoint;
    std::wstring digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of(L"0123456789") != std::wstring::npos)
        return std::nullopt;
    unsigned long port = std::stoul(digits);
    if (port == 0 || port > 65535)
        return std::nullopt;
    endpoint.port = static_cast<INTERNET_PORT>(port);
    return endpoint;
}

std::wstring StatsHost()
{
    return ConfiguredHost(L"StatsHost", TAVRIN_STATS_HOST_DEFAULT);
}

std::wstring UpdateHost()
{
    return ConfiguredHost(L"UpdateHost", TAVRIN_UPDATE_HOST_DEFAULT);
}

std::wstring BuiltInStatsHost()
{
    return TAVRIN_STATS_HOST_DEFAULT;
}

std::wstring BuiltInUpdateHost()
{
    return TAVRIN_UPDATE_HOST_DEFAULT;
}

} // namespace Tavrin::Net
