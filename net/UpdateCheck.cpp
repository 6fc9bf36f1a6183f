#include "net/UpdateCheck.h"

#include <windows.h>
#include <wininet.h>

#include <pugixml.hpp>

#include "net/CodeSignature.h"
#include "net/Endpoint.h"
#include "net/UpdateFolder.h"
#include "net/WinInetRequest.h"
#include "platform/Module.h"
#include "platform/RelativeFile.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"

namespace Tavrin::Net {

namespace {

template <size_t N> void CopyField(wchar_t (&field)[N], const std::wstring& text)
{
    size_t length = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(field, length);
    field[length] = L'\0';
}

template <size_t N> std::wstring FieldText(const wchar_t (&field)[N])
{
    size_t length = 0;
    while (length < N && field[length])
        ++length;
    return std::wstring(field, length);
}

// The answer of the update endpoint is small; the updater may be large and
// the line slow, but it must keep coming.
constexpr RequestLimits kTextLimits = {60000};
constexpr RequestLimits kDownloadLimits = {30 * 60 * 1000, 30000, 30 * 1024};

// The request steps both operations share: GET, status, then the body in
// pieces handed to sink (false from sink stops with kUpdateNoConnection).
// contentLength receives the announced length (0 when none was announced).
int RunGet(const UpdateServerRequest& record, const RequestLimits& limits, DWORD& contentLength,
           const PieceSink& sink)
{
    contentLength = 0;
    std::optional<Endpoint> endpoint = ParseEndpoint(FieldText(record.host));
    if (!endpoint)
        return kUpdateNoConnection;
    WinInetRequest request(L"Pellumo", ConfiguredLimits(limits));
    if (!request.Open(endpoint->host, endpoint->port, L"GET", FieldText(record.path)))
        return kUpdateNoConnection;

    request.AddHeaders(L"Content-Type:application/x-www-form-urlencoded");
    std::string body = Platform::Narrow(FieldText(record.params));
    bool sent = request.Send(L"", body.empty() ? nullptr : body.data(), static_cast<DWORD>(body.size()));
    DWORD status = request.QueryNumber(HTTP_QUERY_STATUS_CODE).value_or(0);
    contentLength = request.QueryNumber(HTTP_QUERY_CONTENT_LENGTH).value_or(0);

    if (status == HTTP_STATUS_OK) {
        int result = kUpdateOk;
        ReadEnd end = request.ReadAll([&](const char* data, DWORD size) {
            if (Platform::EqualsIgnoreCase(Platform::Widen(std::string(data, size)), L"Invalid Parameters"))
                result = kUpdateInvalidParams;
            else if (!sink(data, size))
                result = kUpdateNoConnection;
            return result == kUpdateOk;
        });
        return end == ReadEnd::Failed ? kUpdateNoConnection : result;
    }
    if (status >= 400 && status <= 499)
        return kUpdateClientError;
    return sent ? kUpdateBadStatus : kUpdateNoConnection;
}

// The download's bytes into an open, empty file, opened with DELETE access.
// The file is deleted when closed unless the whole of it arrived: a request
// that runs out of its limits ends the process in the middle.
int DownloadInto(const UpdateServerRequest& request, HANDLE file)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition));
    DWORD contentLength = 0;
    unsigned long long written = 0;
    bool writeFailed = false;
    int result = RunGet(request, kDownloadLimits, contentLength, [&](const char* data, DWORD size) {
        if (written + size > kMaxDownloadBytes)
            return false;
        DWORD done = 0;
        if (!::WriteFile(file, data, size, &done, nullptr) || done != size) {
            writeFailed = true;
            return false;
        }
        written += size;
        return true;
    });
    if (writeFailed)
        result = kUpdateFileFailed;
    if (contentLength != 0 && contentLength != written)
        result = kUpdateNoConnection;
    disposition.DeleteFile = FALSE;
    if (result == kUpdateOk &&
        !::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)))
        result = kUpdateFileFailed;
    return result;
}

std::wstring Attribute(const pugi::xml_node& node, const wchar_t* name)
{
    return node.attribute(name).value();
}

constexpr wchar_t kUpdaterName[] = L"update.exe";

// The updater's file in the held update folder, opened relative to it.
Platform::UniqueHandle OpenUpdater(HANDLE folder, ACCESS_MASK access, ULONG share,
                                   Platform::RelativeOpen how = Platform::RelativeOpen::OpenExisting)
{
    Platform::RelativeFileSpec spec;
    spec.access = access;
    spec.share = share;
    spec.how = how;
    DWORD error = ERROR_SUCCESS;
    return Platform::OpenRelative(folder, kUpdaterName, spec, error);
}

// Downloads the updater into a new file of the held update folder; a
// failed download leaves no file.
bool DownloadIntoFolder(const UpdateServerRequest& request, HANDLE folder)
{
    Platform::UniqueHandle file =
        OpenUpdater(folder, GENERIC_READ | GENERIC_WRITE | DELETE, 0, Platform::RelativeOpen::CreateNew);
    if (!file)
        return false;
    return DownloadInto(request, file.Get()) == kUpdateOk;
}

// Starts the updater by its full path with the offered parameters, through
// no file association or search: the user's handlers (which HKCU can add)
// must not run with this program's rights.
void StartUpdater(const std::wstring& path, const std::wstring& params)
{
    std::wstring commandLine = L"\"" + path + L"\"" + (params.empty() ? L"" : L" " + params);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process)) {
        Platform::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    }
}

} // namespace

UpdateServerRequest MakeUpdateServerRequest(const std::wstring& host, const std::wstring& path,
                                            const std::wstring& params)
{
    UpdateServerRequest request;
    CopyField(request.host, host);
    CopyField(request.path, path);
    CopyField(request.params, params);
    return request;
}

int FetchText(const UpdateServerRequest* request, std::wstring& text)
{
    text.clear();
    if (!request)
        return kUpdateNoRequest;
    DWORD contentLength = 0;
    size_t received = 0;
    // Pieces may end inside a code unit: an odd byte waits for the next
    // piece. The text ends at the first zero code unit of the answer.
    std::optional<unsigned char> pending;
    bool ended = false;
    return RunGet(*request, kTextLimits, contentLength, [&](const char* data, DWORD size) {
        received += size;
        if (received > kMaxFetchBytes)
            return false;
        for (DWORD i = 0; i < size && !ended; ++i) {
            unsigned char byte = static_cast<unsigned char>(data[i]);
            if (!pending) {
                pending = byte;
                continue;
            }
            wchar_t unit = static_cast<wchar_t>(*pending | (byte << 8));
            pending.reset();
            ended = unit == L'\0';
            if (!ended)
                text.push_back(unit);
        }
        return true;
    });
}

int DownloadFile(const UpdateServerRequest* request, const std::wstring& filePath)
{
    if (!request)
        return kUpdateNoRequest;
    std::wstring folder = Platform::FolderOf(filePath);
    if (!folder.empty())
        ::CreateDirectoryW(folder.c_str(), nullptr);

    int result;
    {
        Platform::UniqueHandle file(::CreateFileW(filePath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return kUpdateFileFailed;
        result = DownloadInto(*request, file.Get());
    }
    if (result != kUpdateOk)
        ::DeleteFileW(filePath.c_str());
    return result;
}

std::optional<UpdateOffer> ParseUpdateAnswer(const std::wstring& xml)
{
    pugi::xml_document document;
    if (!document.load_string(xml.c_str()))
        return std::nullopt;
    // find_node walks the tree depth first in document order.
    pugi::xml_node version = document.find_node([](const pugi::xml_node& node) {
        return node.type() == pugi::node_element && std::wstring(node.name()) == L"version";
    });
    if (!version)
        return std::nullopt;
    return UpdateOffer{Attribute(version, L"id"), Attribute(version, L"host"), Attribute(version, L"path"),
                       Attribute(version, L"params")};
}

std::wstring UpdateTargetFile()
{
    std::optional<std::wstring> folder = UpdateFolder();
    return folder ? *folder + L"\\" + kUpdaterName : std::wstring();
}

void CheckForUpdate()
{
    UpdateServerRequest request = MakeUpdateServerRequest(UpdateHost(), kUpdatePath);
    std::wstring answer;
    if (FetchText(&request, answer) != kUpdateOk)
        return;
    std::optional<UpdateOffer> offer = ParseUpdateAnswer(answer);
    if (!offer || offer->id == kProgramVersion)
        return;

    // The updater runs elevated, so it and everything it may load beside it
    // must come from a folder no unelevated process can write to, made by
    // this run and held while it is used.
    std::optional<std::wstring> folderPath = UpdateFolder();
    Platform::UniqueHandle folder = folderPath ? PrepareUpdateFolder(*folderPath) : Platform::UniqueHandle();
    if (!folder) {
        Platform::DebugLine(L"update refused: no update folder that only administrators can write");
        return;
    }
    const std::wstring target = UpdateTargetFile();
    UpdateServerRequest download = MakeUpdateServerRequest(offer->host, offer->path);
    if (!DownloadIntoFolder(download, folder.Get()))
        return;

    {
        // Held open without write sharing, so the file cannot change between
        // the check of its signature and its start.
        Platform::UniqueHandle held = OpenUpdater(folder.Get(), GENERIC_READ, FILE_SHARE_READ);
        if (held && VerifyCodeSignature(target, held.Get(), AcceptedUpdaterSigners())) {
            // Started and left to run: the update mode ends without waiting.
            StartUpdater(target, offer->params);
            return;
        }
    }
    Platform::DebugLine(L"update refused: the downloaded updater is not signed by the vendor");
    Platform::UniqueHandle doomed = OpenUpdater(folder.Get(), DELETE, 0);
    if (doomed)
        Platform::DeleteOnClose(doomed.Get());
}

} // namespace Tavrin::Net
