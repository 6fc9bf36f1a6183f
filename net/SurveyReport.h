#pragma once
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

namespace Tavrin::Net {

// Percent-encodes text for a query (UTF-8 bytes); letters, digits and
// "-._~" stay as they are.
std::string PercentEncode(const std::wstring& text);

// HTTPS POST through WinINet (agent "SurveyRequest"; see WinInetRequest).
// Returns 0 when the server answered 200 or 201, with the answer in
// response; -1 otherwise, response untouched.
// The answer kept is capped at kMaxResponseBytes; the rest is not read.
constexpr size_t kMaxResponseBytes = 1024 * 1024;
int PostHttpRequest(const std::wstring& host, const std::wstring& objectPath, const std::wstring& headers,
                    const std::wstring& textData, std::vector<char>& response, size_t& responseLength,
                    const void* body, DWORD bodyLength, INTERNET_PORT port);

// One usage-statistics event for the vendor's statistics endpoint. The
// installer's flags and offers are read from the registry when it is sent.
class CSurveyReport {
public:
    // endpoint is "host/path"; the host may carry ":port".
    CSurveyReport(const std::wstring& endpoint, const std::wstring& maker, const std::wstring& product,
                  int productId, const std::wstring& vendorId, const std::wstring& campaignId,
                  const std::wstring& language, const std::wstring& version, const std::wstring& licenseKey,
                  const std::wstring& installDate, const std::wstring& trackingId, const std::wstring& ep);
    virtual ~CSurveyReport() = default;

    // True when the server answered 200 or 201.
    bool Send(bool event, const void* body = nullptr, DWORD bodyLength = 0) const;

    // The object path with its query, as Send would post it now.
    std::wstring ObjectPath(bool event) const;

    const std::wstring& Host() const { return host; }
    const std::wstring& Path() const { return path; }

private:
    std::wstring host;
    std::wstring path;
    std::wstring maker;
    std::wstring product;
    int productId;
    std::wstring vendorId;
    std::wstring campaignId;
    std::wstring language;
    std::wstring version;
    std::wstring licenseKey;
    std::wstring installDate;
    std::wstring trackingId;
    std::wstring ep;
};

// The install mode's report: the statistics endpoint's "prodstats" with the
// product's fixed identifiers.
CSurveyReport MakeInstallReport();

} // namespace Tavrin::Net
