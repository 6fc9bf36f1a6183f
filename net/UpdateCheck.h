#pragma once
#include <optional>
#include <string>

#include "TavrinVersion.h"

namespace Tavrin::Net {

// The version this program is; any other version named by the update
// endpoint counts as an update.
constexpr wchar_t kProgramVersion[] = TAVRIN_VERSION_WTEXT;
constexpr wchar_t kUpdatePath[] = L"tools/tavrin/update";

// One request of the update client. host may carry ":port".
struct UpdateServerRequest {
    wchar_t host[260];
    wchar_t path[260];
    wchar_t params[260]; // form data sent as the body; may be empty
};

// Fills a request record; texts longer than a field are cut to fit.
UpdateServerRequest MakeUpdateServerRequest(const std::wstring& host, const std::wstring& path,
                                            const std::wstring& params = L"");

// Result codes of FetchText and DownloadFile.
enum UpdateResult : int {
    kUpdateOk = 0,
    kUpdateBadStatus = -1,      // sent, but the status was neither 200 nor 4xx
    kUpdateNoConnection = -2,   // no connection, not sent, cut short or too long
    kUpdateNoRequest = -11,     // no request record
    kUpdateFileFailed = -15,    // the target file could not be created or written
    kUpdateInvalidParams = -17, // the server answered "Invalid Parameters"
    kUpdateClientError = -21,   // status 400 to 499
};

// Largest answer FetchText accepts, and largest file DownloadFile writes: a
// hostile server must not fill the memory or the disk.
constexpr size_t kMaxFetchBytes = 1024 * 1024;
constexpr unsigned long long kMaxDownloadBytes = 256ull * 1024 * 1024;

// GET whose UTF-16LE answer becomes text, up to its first zero code unit.
// Both requests end at their deadline; a download also ends when it arrives
// more slowly than a minimum rate.
int FetchText(const UpdateServerRequest* request, std::wstring& text);
// GET whose answer is written to file; nothing is left behind on failure.
int DownloadFile(const UpdateServerRequest* request, const std::wstring& filePath);

// What the update endpoint offers: the first "version" element of its answer.
struct UpdateOffer {
    std::wstring id;
    std::wstring host;
    std::wstring path;
    std::wstring params;
};
std::optional<UpdateOffer> ParseUpdateAnswer(const std::wstring& xml);

// update.exe in the update folder (see UpdateFolder.h); empty when that
// folder is unknown.
std::wstring UpdateTargetFile();

// The update mode: asks the update endpoint for the current version and,
// when it differs from this one, downloads the updater into a new update
// folder that this run made (see UpdateFolder.h) and starts it by its full
// path, but only when it is signed by one of the accepted updater signers.
void CheckForUpdate();

} // namespace Tavrin::Net
