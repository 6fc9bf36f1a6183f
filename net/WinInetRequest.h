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

// One HTTPS request through WinINet, as every request of this program is
// made: the server's certificate checked by WinINet (no flag lets an error
// pass, and there is no plain-HTTP fallback), no redirects followed, nothing
// written to the user's cache, no cookies, no dialogs, the time-outs above,
// and a watchdog for its limits.
//
// A request stops receiving where this program stops reading. Its handles
// are closed only once its answer was read to the end (or none came): an
// answer left unread, or cut off at a size cap, keeps its connection open
// and unread until the process ends, because closing makes a WinINet that
// keeps connections for reuse (Wine's) read the rest of the answer, however
// long. Requests are made only by the command-line modes, whose work ends
// with them; for the same reason the watchdog ends the process when the
// deadline or the minimum rate runs out (exit code ERROR_TIMEOUT), rather
// than closing the request under a call that may never return.
class WinInetRequest {
public:
    static constexpr DWORD kPieceSize = 2048;

    WinInetRequest(const wchar_t* agent, const RequestLimits& limits);
    ~WinInetRequest();
    WinInetRequest(const WinInetRequest&) = delete;
    WinInetRequest& operator=(const WinInetRequest&) = delete;

    // Opens the session, the connection and the request; false when one of
    // them cannot be opened.
    bool Open(const std::wstring& host, INTERNET_PORT port, const wchar_t* verb,
              const std::wstring& objectPath);
    bool AddHeaders(const std::wstring& headers);
    bool Send(const std::wstring& headers, const void* body, DWORD bodyLength);
    // A numeric answer header (HTTP_QUERY_STATUS_CODE, ...); nothing when
    // the answer has none.
    std::optional<DWORD> QueryNumber(DWORD info) const;

    // Reads the answer with ReadPieces in pieces of at most kPieceSize bytes.
    ReadEnd ReadAll(const PieceSink& sink);

private:
    void Watch();

    RequestLimits m_limits;
    InternetHandle m_session;
    InternetHandle m_connection;
    InternetHandle m_request;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_finished = false; // guarded by m_mutex
    // An answer began (the request was sent) and was not read to its end.
    bool m_unread = false;
    std::atomic<unsigned long long> m_received{0};
    std::thread m_watchdog;
};

} // namespace Tavrin::Net
