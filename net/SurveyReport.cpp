#include "net/SurveyReport.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "net/Endpoint.h"
#include "net/WinInetRequest.h"
#include "platform/RegKey.h"
#include "platform/Text.h"

namespace Tavrin::Net {

namespace {

constexpr size_t kBufferStep = 4096;
// The report is one small request: a minute is plenty even on a slow line.
constexpr RequestLimits kReportLimits = {60000};

bool IsUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

DWORD ReadDword(const Platform::RegKey& key, const wchar_t* name)
{
    if (!key.IsOpen())
        return 0;
    return key.QueryDword(name).value_or(0);
}

const wchar_t* TrueOrFalse(DWORD value)
{
    return value ? L"TRUE" : L"FALSE";
}

// The "Offers" key's values: names, and 0/1 for each REG_DWORD among them,
// each list comma-separated. Every name is encoded on its own, so the
// commas between them are the only ones left bare.
void ReadOffers(const std::wstring& keyPath, std::string& names, std::string& selections)
{
    names.clear();
    selections.clear();
    Platform::RegKey offers;
    if (offers.Open(HKEY_LOCAL_MACHINE, keyPath + L"\\Offers", KEY_READ) != ERROR_SUCCESS)
        return;
    // Every value is listed once; the bound holds even when the key changes
    // under the walk.
    for (const std::wstring& valueName : offers.ValueNames(16384)) {
        names += PercentEncode(valueName) + ",";
        if (std::optional<DWORD> selected = offers.QueryDword(valueName))
            selections += *selected == 0 ? "0," : "1,";
    }
    if (!names.empty())
        names.pop_back();
    if (!selections.empty())
        selections.pop_back();
}

} // namespace

std::string PercentEncode(const std::wstring& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : Platform::Narrow(text, CP_UTF8)) {
        if (IsUnreserved(c)) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 0x0F];
        }
    }
    return encoded;
}

int PostHttpRequest(const std::wstring& host, const std::wstring& objectPath, const std::wstring& headers,
                    const std::wstring& textData, std::vector<char>& response, size_t& responseLength,
                    const void* body, DWORD bodyLength, INTERNET_PORT port)
{
    WinInetRequest request(L"SurveyRequest", ConfiguredLimits(kReportLimits));
    if (!request.Open(host, port, L"POST", objectPath))
        return -1;

    if (!textData.empty()) {
        std::string data = Platform::Narrow(textData);
        request.Send(headers, data.data(), static_cast<DWORD>(data.size()));
    } else if (body) {
        request.Send(headers, body, bodyLength);
    } else {
        request.Send(L"", nullptr, 0);
    }

    std::optional<DWORD> status = request.QueryNumber(HTTP_QUERY_STATUS_CODE);
    if (!status || (*status != HTTP_STATUS_OK && *status != HTTP_STATUS_CREATED))
        return -1;

    response.assign(kBufferStep, '\0');
    responseLength = 0;
    request.ReadAll([&](const char* data, DWORD size) {
        if (responseLength + size > response.size()) {
            if (response.size() >= kMaxResponseBytes)
                return false;
            response.resize(response.size() + kBufferStep);
        }
        std::copy(data, data + size, response.begin() + static_cast<std::ptrdiff_t>(responseLength));
        responseLength += size;
        return true;
    });
    return 0;
}

CSurveyReport::CSurveyReport(const std::wstring& endpoint, const std::wstring& maker,
                             const std::wstring& product, int productId, const std::wstring& vendorId,
                             const std::wstring& campaignId, const std::wstring& language,
                             const std::wstring& version, const std::wstring& licenseKey,
                             const std::wstring& installDate, const std::wstring& trackingId,
                             const std::wstring& ep)
    : maker(maker), product(product), productId(productId), vendorId(vendorId), campaignId(campaignId),
      language(language), version(version), licenseKey(licenseKey), installDate(installDate),
      trackingId(trackingId), ep(ep)
{
    size_t start = endpoint.find_first_not_of(L'/');
    if (start == std::wstring::npos)
        return;
    size_t slash = endpoint.find(L'/', start);
    host = endpoint.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start);
    if (slash != std::wstring::npos)
        path = endpoint.substr(slash + 1);
}

std::wstring CSurveyReport::ObjectPath(bool event) const
{
    std::wstring keyPath = L"SOFTWARE\\" + maker + L"\\" + product;
    Platform::RegKey key;
    key.Open(HKEY_LOCAL_MACHINE, keyPath, KEY_READ);

    int aid = event ? 50 : ReadDword(key, L"Silent") == 1 ? 51 : 49;
    std::string offerNames, offerSelections;
    ReadOffers(keyPath, offerNames, offerSelections);
    DWORD autoScan = ReadDword(key, L"AutoScan");
    DWORD updates = ReadDword(key, L"Updates");
    DWORD quick = ReadDword(key, L"Quick");
    DWORD login = ReadDword(key, L"Login");
    DWORD desktop = ReadDword(key, L"Desktop");

    // Every inserted text is encoded, so no registry text can add a field
    // or change another.
    std::string query =
        "/?aid=" + std::to_string(aid) + "&pid=" + std::to_string(productId) +
        "&cpid=" + PercentEncode(campaignId) + "&vid=" + PercentEncode(vendorId) +
        "&lid=" + PercentEncode(language) + "&Version=" + PercentEncode(version) +
        "&LicenseKey=" + PercentEncode(licenseKey) + "&INSTALLDATE=" + PercentEncode(installDate) +
        "&Desktop=" + PercentEncode(TrueOrFalse(desktop)) + "&Login=" + PercentEncode(TrueOrFalse(login)) +
        "&Quick=" + PercentEncode(TrueOrFalse(quick)) + "&Updates=" + PercentEncode(TrueOrFalse(updates)) +
        "&AutoScan=" + PercentEncode(TrueOrFalse(autoScan)) + "&Offers=" + offerNames +
        "&OffersSelected=" + offerSelections + "&trackingID=" + PercentEncode(trackingId) +
        "&ep=" + PercentEncode(ep);
    return path + Platform::Widen(query, CP_UTF8);
}

bool CSurveyReport::Send(bool event, const void* body, DWORD bodyLength) const
{
    std::optional<Endpoint> endpoint = ParseEndpoint(host);
    if (!endpoint)
        return false;
    std::vector<char> response;
    size_t responseLength = 0;
    return PostHttpRequest(endpoint->host, ObjectPath(event), L"Content-Type: application/octet-stream", L"",
                           response, responseLength, body, bodyLength, endpoint->port) == 0;
}

CSurveyReport MakeInstallReport()
{
    return CSurveyReport(StatsHost() + L"/prodstats", L"Orvane", L"Tavrin", 89, L"85", L"349", L"en", L"",
                         L"", L"", L"", L"");
}

} // namespace Tavrin::Net
