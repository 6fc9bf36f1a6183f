#pragma once
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Tavrin::Test {

// One request as the server received it.
struct HttpRequestRecord {
    std::string method;
    std::string target;  // path with query, as sent
    std::string headers; // the header lines, each ending in "\r\n"
    std::string body;
    // Bytes of the answer the client took, once the answer ended.
    std::optional<size_t> answerBytesSent;

    // Value of a header (name compared without regard to case), if present.
    std::optional<std::string> Header(const std::string& name) const;
};

// A scripted answer.
struct HttpAnswer {
    int status = 200;
    std::string body;
    std::vector<std::string> headers; // extra "Name: value" lines
    // Content-Length announced; the body's own length when not set.
    std::optional<size_t> contentLength;
    // Accept and read the request, then never answer (the connection is
    // held open until the server stops).
    bool silent = false;
    // Sends the status line and the headers one byte every headerByteMs.
    DWORD headerByteMs = 0;
    // Sends the body in pieces of pieceBytes with piecePauseMs between them
    // (0: all at once).
    size_t pieceBytes = 0;
    DWORD piecePauseMs = 0;
    // Chunked transfer encoding, one chunk per piece, instead of a
    // Content-Length.
    bool chunked = false;
    // A chunked answer that repeats its body as one more chunk every
    // piecePauseMs and never ends (until the client goes, the server stops
    // or kStreamLimitMs passed).
    bool endless = false;
};

// A plain answer with a status and a body.
inline HttpAnswer Reply(int status, std::string body = {})
{
    HttpAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

// A 302 to another place.
inline HttpAnswer Redirect(const std::string& location)
{
    HttpAnswer answer = Reply(302, "moved");
    answer.headers.push_back("Location: " + location);
    return answer;
}

// An HTTP server on 127.0.0.1 owned by a test. It answers each request with
// the answer scripted for its path (the target without its query), 404 for
// any other path, and closes the connection after each answer. Its loop is
// bounded: at most kMaxConnections connections, kLifetimeMs in all,
// kRequestTimeoutMs to read one request and kStreamLimitMs to send one
// answer, however slowly it is scripted to go.
//
// Unless made Plain, clients reach it over TLS only, through tls_front, a
// Unix program (Wine's Schannel cannot serve) that relays each connection as
// it goes: its certificate names "localhost" and was issued by the test
// root that tools/test-root.sh put in the prefix's trusted roots.
class LoopbackHttpServer {
public:
    // A winsock SOCKET, kept as its underlying type so that this header
    // does not impose an include order on winsock2.h and windows.h.
    using Socket = UINT_PTR;

    static constexpr int kMaxConnections = 64;
    static constexpr DWORD kLifetimeMs = 180000;
    static constexpr DWORD kRequestTimeoutMs = 5000;
    static constexpr DWORD kStreamLimitMs = 60000;
    static constexpr size_t kMaxRequestBytes = 1024 * 1024;

    enum class Transport { Tls, Plain };

    explicit LoopbackHttpServer(Transport transport = Transport::Tls);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool Started() const
    {
        return m_listener != kNoSocket && (m_transport == Transport::Plain || m_frontPort);
    }
    // Where clients connect, in the form the program accepts as a host:
    // "localhost:<port>" of the TLS front (WinINet matches the certificate
    // to host names only), or "127.0.0.1:<port>" of a plain server.
    std::wstring Address() const;

    void Answer(const std::string& path, const HttpAnswer& answer);
    std::vector<HttpRequestRecord> Requests() const;
    // The connections that brought an HTTP request (a TLS handshake sent to
    // a plain server does not).
    size_t HttpRequestCount() const;
    // Waits until at least count requests arrived; false after timeoutMs.
    bool WaitForRequests(size_t count, DWORD timeoutMs) const;
    void Stop();

private:
    bool StartFront();
    void StopFront();
    void Run();
    void Serve(Socket client);
    // Sends the answer; returns the bytes the client took.
    size_t SendAnswer(Socket client, const HttpAnswer& answer);
    // Sends data in pieces with a pause after each; false when the client
    // went, the server stops or the answer ran out of time.
    bool SendPaced(Socket client, const std::string& data, size_t pieceBytes, DWORD pauseMs, DWORD start,
                   size_t& sent);
    static constexpr Socket kNoSocket = ~Socket(0);

    Socket m_listener = kNoSocket;
    unsigned short m_port = 0;
    Transport m_transport;
    unsigned short m_frontPort = 0;
    // The front's connection to this server: it ends when this one does.
    Socket m_frontControl = kNoSocket;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::map<std::string, HttpAnswer> m_answers;
    std::vector<HttpRequestRecord> m_requests;
    std::vector<Socket> m_held;
    std::thread m_thread;
    bool m_winsock = false;
};

// The UTF-16LE bytes of a text, as the update endpoint answers.
std::string Utf16Le(const std::wstring& text);

} // namespace Tavrin::Test
