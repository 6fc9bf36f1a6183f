#include "net/WinInetRequest.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "net/InstallerSettings.h"
#include "platform/Text.h"

namespace Tavrin::Net {

namespace {

// Every request is HTTPS with WinINet's certificate checks: what the server
// answers decides what runs elevated, so it must be the server it claims to
// be. Redirects are never followed: a request goes to the host it names and
// nowhere else. Nothing a hostile server sends is kept in the user's cache
// or cookies, and a windowless mode must never show WinINet's dialogs.
constexpr DWORD kRequestFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
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

WinInetRequest::WinInetRequest(const wchar_t* agent, const RequestLimits& limits) : m_limits(limits)
{
    try {
        m_watchdog = std::thread([this] { Watch(); });
    } catch (...) {
        // Without a watchdog nothing bounds the request: it is not made
        // (Open fails without a session).
        return;
    }
    m_session.Reset(::InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (m_session)
        ApplyNetworkTimeouts(m_session.Get());
}

WinInetRequest::~WinInetRequest()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_wake.notify_all();
    if (m_watchdog.joinable())
        m_watchdog.join();
    if (m_unread) {
        // Closing any of the three would read the rest of the answer.
        m_request.Release();
        m_connection.Release();
        m_session.Release();
    }
}

bool WinInetRequest::Open(const std::wstring& host, INTERNET_PORT port, const wchar_t* verb,
                          const std::wstring& objectPath)
{
    if (!m_session)
        return false;
    m_connection.Reset(::InternetConnectW(m_session.Get(), host.c_str(), port, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0));
    if (!m_connection)
        return false;
    ApplyNetworkTimeouts(m_connection.Get());
    m_request.Reset(::HttpOpenRequestW(m_connection.Get(), verb, objectPath.c_str(), nullptr, nullptr,
                                       nullptr, kRequestFlags, 0));
    if (!m_request)
        return false;
    ApplyNetworkTimeouts(m_request.Get());
    return true;
}

bool WinInetRequest::AddHeaders(const std::wstring& headers)
{
    HINTERNET request = m_request.Get();
    return request && ::HttpAddRequestHeadersW(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                                               HTTP_ADDREQ_FLAG_ADD);
}

bool WinInetRequest::Send(const std::wstring& headers, const void* body, DWORD bodyLength)
{
    HINTERNET request = m_request.Get();
    // No connection is kept for another request.
    if (!request || !AddHeaders(L"Connection: close"))
        return false;
    bool sent =
        ::HttpSendRequestW(request, headers.empty() ? nullptr : headers.c_str(),
                           static_cast<DWORD>(headers.size()), const_cast<void*>(body), bodyLength) != FALSE;
    // Until it is read to the end, an answer may follow.
    m_unread = sent;
    return sent;
}

std::optional<DWORD> WinInetRequest::QueryNumber(DWORD info) const
{
    HINTERNET request = m_request.Get();
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
    ReadEnd end = ReadPieces(
        [this](char* buffer, DWORD size, DWORD& read) {
            HINTERNET request = m_request.Get();
            if (!request || !::InternetReadFile(request, buffer, size, &read))
                return false;
            m_received += read;
            return true;
        },
        sink, kPieceSize);
    if (end == ReadEnd::Complete)
        m_unread = false;
    return end;
}

void WinInetRequest::Watch()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(m_limits.deadlineMs);
    const std::chrono::milliseconds window(m_limits.rateWindowMs);
    Clock::time_point nextCheck = m_limits.rateWindowMs ? start + window : deadline;
    unsigned long long atLastCheck = 0;

    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_wake.wait_until(lock, std::min(deadline, nextCheck), [this] { return m_finished; }))
            return;
        Clock::time_point now = Clock::now();
        if (now < deadline && now < nextCheck)
            continue;
        if (now < deadline) {
            unsigned long long received = m_received;
            if (received - atLastCheck >= m_limits.minBytesPerWindow) {
                atLastCheck = received;
                nextCheck += window;
                continue;
            }
        }
        break;
    }
    // Closing the request would end a blocked call on Windows, but Wine's
    // WinINet leaves the call blocked (in a send waiting for a trickling
    // header) or reads the rest of the answer (however long) when the handle
    // goes. The request is given up together with the process.
    Platform::DebugLine(L"request ran out of its limits: ending the process");
    ::TerminateProcess(::GetCurrentProcess(), ERROR_TIMEOUT);
}

} // namespace Tavrin::Net
