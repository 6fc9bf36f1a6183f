#include "net/WinInetRequest.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "net/InstallerSettings.h"
#include "platform/Text.h"

namespace Tavrin::Net {

namespace {

// Redirects are never followed: a request goes to the host it names and
// nowhere else. Nothing a hostile server sends is kept in the user's cache
// or cookies, and a windowless mode must never show WinINet's dialogs.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_NO_UI;

void ApplyNetworkTimeouts(HINTERNET handle)
{
    DWORD timeoutMs = kNetworkTimeoutMs;
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
          INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(handle, option, &timeoutMs, sizeof(timeoutMs));
}

// A shorter limit from the installer's key; 0, a missing value or a longer
// one leaves the built-in limit.
DWORD Shortened(DWORD builtInMs, const wchar_t* secondsValue)
{
    std::optional<DWORD> seconds = InstallerDword(secondsValue);
    if (!seconds || *seconds == 0 || *seconds >= builtInMs / 1000)
        return builtInMs;
    return *seconds * 1000;
}

} // namespace

RequestLimits ConfiguredLimits(const RequestLimits& builtIn)
{
    RequestLimits limits = builtIn;
    limits.deadlineMs = Shortened(builtIn.deadlineMs, L"RequestDeadlineSeconds");
    if (builtIn.rateWindowMs)
        limits.rateWindowMs = Shortened(builtIn.rateWindowMs, L"DownloadRateWindowSeconds");
    return limits;
}

WinInetRequest::WinInetRequest(const wchar_t* agent, const RequestLimits& limits) : limits_(limits)
{
    try {
        watchdog_ = std::thread([this] { Watch(); });
    } catch (...) {
        // Without a watchdog nothing bounds the request: it is not made.
        expired_ = true;
        return;
    }
    session_.Reset(::InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (session_)
        ApplyNetworkTimeouts(session_.Get());
}

WinInetRequest::~WinInetRequest()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    wake_.notify_all();
    if (watchdog_.joinable())
        watchdog_.join();
    if (request_)
        ::InternetCloseHandle(request_);
}

bool WinInetRequest::Open(const std::wstring& host, INTERNET_PORT port, const wchar_t* verb,
                          const std::wstring& objectPath, DWORD extraFlags)
{
    if (!session_)
        return false;
    connection_.Reset(::InternetConnectW(session_.Get(), host.c_str(), port, nullptr, nullptr,
                                         INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection_)
        return false;
    ApplyNetworkTimeouts(connection_.Get());
    HINTERNET request = ::HttpOpenRequestW(connection_.Get(), verb, objectPath.c_str(), nullptr, nullptr,
                                           nullptr, kRequestFlags | extraFlags, 0);
    if (!request)
        return false;
    ApplyNetworkTimeouts(request);
    std::lock_guard<std::mutex> lock(mutex_);
    if (expired_) {
        ::InternetCloseHandle(request);
        return false;
    }
    request_ = request;
    return true;
}

HINTERNET WinInetRequest::Request() const
{
    // The value is used after the lock is let go: when the watchdog closes
    // the handle meanwhile, the call on it fails, which is the point. No
    // other thread opens WinINet handles, so the value is not reused.
    std::lock_guard<std::mutex> lock(mutex_);
    return request_;
}

bool WinInetRequest::Expired() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return expired_;
}

bool WinInetRequest::AddHeaders(const std::wstring& headers)
{
    HINTERNET request = Request();
    return request && ::HttpAddRequestHeadersW(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                                               HTTP_ADDREQ_FLAG_ADD);
}

bool WinInetRequest::Send(const std::wstring& headers, const void* body, DWORD bodyLength)
{
    HINTERNET request = Request();
    // The connection is not kept for another request, so closing the
    // request early never makes WinINet read the rest of a long answer.
    if (!request || !AddHeaders(L"Connection: close"))
        return false;
    return ::HttpSendRequestW(request, headers.empty() ? nullptr : headers.c_str(),
                              static_cast<DWORD>(headers.size()), const_cast<void*>(body),
                              bodyLength) != FALSE;
}

std::optional<DWORD> WinInetRequest::QueryNumber(DWORD info) const
{
    HINTERNET request = Request();
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!request || !::HttpQueryInfoW(request, info | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr))
        return std::nullopt;
    return value;
}

ReadEnd ReadPieces(const PieceReader& read, const PieceSink& sink, DWORD pieceSize)
{
    std::vector<char> piece(pieceSize);
    for (;;) {
        DWORD size = 0;
        // A read that fails (a time-out, a dropped connection, the watchdog)
        // means the answer is incomplete, never that it ended.
        if (!read(piece.data(), pieceSize, size) || size > pieceSize)
            return ReadEnd::Failed;
        if (size == 0)
            return ReadEnd::Complete;
        if (!sink(piece.data(), size))
            return ReadEnd::Stopped;
    }
}

ReadEnd WinInetRequest::ReadAll(const PieceSink& sink)
{
    return ReadPieces(
        [this](char* buffer, DWORD size, DWORD& read) {
            HINTERNET request = Request();
            if (!request || !::InternetReadFile(request, buffer, size, &read) || Expired())
                return false;
            received_ += read;
            return true;
        },
        sink, kPieceSize);
}

void WinInetRequest::Watch()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(limits_.deadlineMs);
    const std::chrono::milliseconds window(limits_.rateWindowMs);
    Clock::time_point nextCheck = limits_.rateWindowMs ? start + window : deadline;
    unsigned long long atLastCheck = 0;

    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (wake_.wait_until(lock, std::min(deadline, nextCheck), [this] { return finished_; }))
            return;
        Clock::time_point now = Clock::now();
        if (now < deadline && now < nextCheck)
            continue;
        if (now < deadline) {
            unsigned long long received = received_;
            if (received - atLastCheck >= limits_.minBytesPerWindow) {
                atLastCheck = received;
                nextCheck += window;
                continue;
            }
        }
        break;
    }
    expired_ = true;
    if (request_) {
        ::InternetCloseHandle(request_);
        request_ = nullptr;
    }
    // Closing the handle ends a blocked call on Windows; a WinINet that
    // leaves the call blocked (Wine's, in a send waiting for a trickling
    // header) would hold the mode past every limit. The request is then
    // given up together with the process.
    if (!wake_.wait_for(lock, std::chrono::milliseconds(kStuckGraceMs), [this] { return finished_; })) {
        Platform::DebugLine(L"request still blocked after its deadline: ending the process");
        ::TerminateProcess(::GetCurrentProcess(), ERROR_TIMEOUT);
    }
}

} // namespace Tavrin::Net
