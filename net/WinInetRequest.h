#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/UniqueHandle.h"

namespace Tavrin::Net {

// A WinINet session or connection handle.
using InternetHandle = Platform::UniqueResource<Platform::NullHandleTraits<HINTERNET, ::InternetCloseHandle>>;

// How long a connect, a send or a wait for data may take before the request
// fails: a server that accepts and then stays silent must not hold a
// command-line mode forever.
constexpr DWORD kNetworkTimeoutMs = 15000;

// What one request may take in all. WinINet's time-outs start again with
// every byte, so only a limit over the whole request ends a server that
// trickles its answer or never ends it.
struct RequestLimits {
    DWORD deadlineMs = 0;
    // At least minBytesPerWindow bytes of the answer in every rateWindowMs
    // from the start of the request (0: no minimum rate).
    DWORD rateWindowMs = 0;
    DWORD minBytesPerWindow = 0;
};

// The limits with the installer's REG_DWORD values "RequestDeadlineSeconds"
// and "DownloadRateWindowSeconds" applied; they can only shorten them.
RequestLimits ConfiguredLimits(const RequestLimits& builtIn);

enum class ReadEnd { Complete, Failed, Stopped };
// Reads one piece of at most size bytes into buffer; false when the read
// failed. A successful read of no bytes is the end of the answer.
using PieceReader = std::function<bool(char* buffer, DWORD size, DWORD& read)>;
// Takes one piece of the answer; false stops reading.
using PieceSink = std::function<bool(const char* data, DWORD size)>;
// Reads pieces of at most pieceSize bytes until the end of the answer,
// handing each to sink. A piece may be shorter than asked for anywhere in
// the answer: only the read of no bytes ends it.
ReadEnd ReadPieces(const PieceReader& read, const PieceSink& sink, DWORD pieceSize);

// One HTTP request through WinINet, as every request of this program is
// made: no redirects followed, nothing written to the user's cache, no
// cookies, no dialogs, the time-outs above, and a watchdog that closes the
// request handle when its limits run out, so that a call blocked in it
// returns. Requests are made only by the command-line modes, whose work ends
// with them: a request that still blocks kStuckGraceMs after its handle was
// closed ends the process (exit code ERROR_TIMEOUT).
class WinInetRequest {
public:
    static constexpr DWORD kPieceSize = 2048;
    // A call on a closed handle that still waits for data returns at the
    // latest when the network time-out runs out, unless data keeps trickling.
    static constexpr DWORD kStuckGraceMs = kNetworkTimeoutMs;

    WinInetRequest(const wchar_t* agent, const RequestLimits& limits);
    ~WinInetRequest();
    WinInetRequest(const WinInetRequest&) = delete;
    WinInetRequest& operator=(const WinInetRequest&) = delete;

    // Opens the session, the connection and the request; false when one of
    // them cannot be opened. extraFlags are added to the request's flags.
    bool Open(const std::wstring& host, INTERNET_PORT port, const wchar_t* verb,
              const std::wstring& objectPath, DWORD extraFlags = 0);
    bool AddHeaders(const std::wstring& headers);
    bool Send(const std::wstring& headers, const void* body, DWORD bodyLength);
    // A numeric answer header (HTTP_QUERY_STATUS_CODE, ...); nothing when
    // the answer has none.
    std::optional<DWORD> QueryNumber(DWORD info) const;

    // Reads the answer with ReadPieces in pieces of at most kPieceSize bytes.
    ReadEnd ReadAll(const PieceSink& sink);

    // True once the watchdog closed the request.
    bool Expired() const;

private:
    HINTERNET Request() const;
    void Watch();

    RequestLimits m_limits;
    InternetHandle m_session;
    InternetHandle m_connection;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    // The watchdog may close the request from its thread, so the handle is
    // held here rather than in an owning wrapper; guarded by m_mutex.
    HINTERNET m_request = nullptr;
    bool m_finished = false;
    bool m_expired = false;
    std::atomic<unsigned long long> m_received{0};
    std::thread m_watchdog;
};

} // namespace Tavrin::Net
