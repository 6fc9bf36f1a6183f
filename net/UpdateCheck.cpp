#include "net/UpdateCheck.h"

#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <functional>
#include <pugixml.hpp>

#include "net/CodeSignature.h"
#include "net/Endpoint.h"
#include "net/InternetHandle.h"
#include "platform/Module.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"

namespace Tavrin::Net {

namespace {

constexpr DWORD kPieceSize = 2048;

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

// Takes one piece of the answer; false stops reading with a failure.
using PieceSink = std::function<bool(const char* data, DWORD size)>;

// The request steps both operations share: GET, status, then the body in
// pieces handed to sink. contentLength receives the announced length (0 when
// none was announced).
int RunGet(const UpdateServerRequest& record, DWORD& contentLength, const PieceSink& sink)
{
    contentLength = 0;
    std::optional<Endpoint> endpoint = ParseEndpoint(FieldText(record.host), INTERNET_DEFAULT_HTTP_PORT);
    if (!endpoint)
        return kUpdateNoConnection;

    InternetHandle session(::InternetOpenW(L"Pellumo", INTERNET_OPEN_TYPE_PRECONFIG, L"", nullptr,
                                           INTERNET_FLAG_NO_CACHE_WRITE));
    if (!session)
        return kUpdateNoConnection;
    ApplyNetworkTimeouts(session.Get());
    InternetHandle connection(::InternetConnectW(session.Get(), endpoint->host.c_str(), endpoint->port,
                                                 nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                                 INTERNET_FLAG_NO_AUTO_REDIRECT, 0));
    if (!connection)
        return kUpdateNoConnection;
    ApplyNetworkTimeouts(connection.Get());
    std::wstring path = FieldText(record.path);
    InternetHandle request(::HttpOpenRequestW(connection.Get(), L"GET", path.c_str(), nullptr, nullptr,
                                              nullptr, INTERNET_FLAG_RELOAD, 0));
    if (!request)
        return kUpdateNoConnection;
    ApplyNetworkTimeouts(request.Get());

    ::HttpAddRequestHeadersW(request.Get(), L"Content-Type:application/x-www-form-urlencoded",
                             static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD);
    std::string body = Platform::Narrow(FieldText(record.params));
    BOOL sent = ::HttpSendRequestW(request.Get(), nullptr, 0, body.empty() ? nullptr : body.data(),
                                   static_cast<DWORD>(body.size()));

    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr))
        status = 0;
    size = sizeof(contentLength);
    if (!::HttpQueryInfoW(request.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &contentLength,
                          &size, nullptr))
        contentLength = 0;

    if (status == HTTP_STATUS_OK) {
        char piece[kPieceSize];
        for (;;) {
            DWORD read = 0;
            // A read that fails (a time-out, a dropped connection) means the
            // answer is incomplete, never that it ended.
            if (!::InternetReadFile(request.Get(), piece, kPieceSize, &read))
                return kUpdateNoConnection;
            if (read > 0) {
                if (Platform::EqualsIgnoreCase(Platform::Widen(std::string(piece, read)),
                                               L"Invalid Parameters"))
                    return kUpdateInvalidParams;
                if (!sink(piece, read))
                    return kUpdateNoConnection;
            }
            if (read < kPieceSize)
                return kUpdateOk;
        }
    }
    if (status >= 400 && status <= 499)
        return kUpdateClientError;
    return sent ? kUpdateBadStatus : kUpdateNoConnection;
}

std::wstring Attribute(const pugi::xml_node& node, const wchar_t* name)
{
    return node.attribute(name).value();
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
    return RunGet(*request, contentLength, [&](const char* data, DWORD size) {
        received += size;
        if (received > kMaxFetchBytes)
            return false;
        // The answer is UTF-16LE; a piece counts up to its first zero unit.
        size_t units = size / sizeof(wchar_t);
        for (size_t i = 0; i < units; ++i) {
            wchar_t unit = static_cast<wchar_t>(static_cast<unsigned char>(data[2 * i]) |
                                                (static_cast<unsigned char>(data[2 * i + 1]) << 8));
            if (unit == L'\0')
                break;
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
        Platform::UniqueHandle file(::CreateFileW(filePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return kUpdateFileFailed;
        DWORD contentLength = 0;
        unsigned long long written = 0;
        bool writeFailed = false;
        result = RunGet(*request, contentLength, [&](const char* data, DWORD size) {
            if (written + size > kMaxDownloadBytes)
                return false;
            DWORD done = 0;
            if (!::WriteFile(file.Get(), data, size, &done, nullptr) || done != size) {
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
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = length > 0 && length <= MAX_PATH ? std::wstring(temp, length) : std::wstring();
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return folder + L"Tavrin\\update.exe";
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

    std::wstring target = UpdateTargetFile();
    ::DeleteFileW(target.c_str());
    UpdateServerRequest download = MakeUpdateServerRequest(offer->host, offer->path);
    if (DownloadFile(&download, target) != kUpdateOk)
        return;

    {
        // Held open without write sharing, so the file cannot change between
        // the check of its signature and its start.
        Platform::UniqueHandle held(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (held && VerifyCodeSignature(target, held.Get())) {
            SHELLEXECUTEINFOW execute = {};
            execute.cbSize = sizeof(execute);
            execute.fMask = SEE_MASK_NOCLOSEPROCESS;
            execute.lpVerb = L"open";
            execute.lpFile = target.c_str();
            execute.lpParameters = offer->params.c_str();
            execute.nShow = SW_SHOWNORMAL;
            // Started and left to run: the update mode ends without waiting.
            Platform::UniqueHandle started;
            if (::ShellExecuteExW(&execute))
                started.Reset(execute.hProcess);
            return;
        }
    }
    Platform::DebugLine(L"update refused: the downloaded updater is not validly signed");
    ::DeleteFileW(target.c_str());
}

} // namespace Tavrin::Net
