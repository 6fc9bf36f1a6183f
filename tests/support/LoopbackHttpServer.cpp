#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/support/LoopbackHttpServer.h"

#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace Tavrin::Test {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const char* Reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

// Waits up to ms for the socket to become readable.
bool Readable(SOCKET socket, DWORD ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait = {static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    return ::select(0, &set, nullptr, nullptr, &wait) == 1;
}

// Adds what was sent to sent, also when the client went in the middle.
bool SendAll(SOCKET socket, const char* data, size_t size, size_t& sent)
{
    size_t done = 0;
    // Each send either makes progress or fails; the send time-out bounds it.
    while (done < size) {
        int n = ::send(socket, data + done, static_cast<int>(size - done), 0);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string Chunk(const std::string& data)
{
    char size[16];
    std::snprintf(size, sizeof(size), "%zx\r\n", data.size());
    return size + data + "\r\n";
}

} // namespace

std::optional<std::string> HttpRequestRecord::Header(const std::string& name) const
{
    std::string wanted = Lower(name) + ":";
    size_t start = 0;
    while (start < headers.size()) {
        size_t end = headers.find("\r\n", start);
        if (end == std::string::npos)
            end = headers.size();
        std::string line = headers.substr(start, end - start);
        if (Lower(line.substr(0, wanted.size())) == wanted) {
            std::string value = line.substr(wanted.size());
            size_t first = value.find_first_not_of(' ');
            return first == std::string::npos ? std::string() : value.substr(first);
        }
        start = end + 2;
    }
    return std::nullopt;
}

LoopbackHttpServer::LoopbackHttpServer(Transport transport) : m_transport(transport)
{
    WSADATA data;
    m_winsock = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!m_winsock)
        return;
    m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_listener == INVALID_SOCKET)
        return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof(address);
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listener, 8) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(m_listener);
        m_listener = INVALID_SOCKET;
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
    if (m_transport == Transport::Tls && !StartFront())
        m_frontPort = 0;
}

bool LoopbackHttpServer::StartFront()
{
    // Wine gives a Unix program no pipes for its standard handles, and no
    // process or thread handle: the front connects back to a port of this server,
    // tells its own port there and lives as long as that connection.
    SOCKET control = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    bool listening = control != INVALID_SOCKET &&
                     ::bind(control, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                     ::listen(control, 1) == 0 &&
                     ::getsockname(control, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    // Why a front did not start goes to the log: the case itself only sees
    // that the server has no front.
    auto failed = [](const char* step, int error) {
        std::fprintf(stderr, "tls_front: %s (error %d)\n", step, error);
        return false;
    };
    if (!listening) {
        int error = ::WSAGetLastError();
        if (control != INVALID_SOCKET)
            ::closesocket(control);
        return failed("no control port", error);
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::wstring program = BinFolder() + L"\\tls_front";
    std::wstring commandLine =
        L"\"" + program + L"\" " + std::to_wstring(m_port) + L" " + std::to_wstring(ntohs(address.sin_port));
    PROCESS_INFORMATION started = {};
    if (!StartTestProcess(program.c_str(), commandLine, FALSE, nullptr, startup, started)) {
        DWORD error = ::GetLastError();
        ::closesocket(control);
        return failed("CreateProcess", static_cast<int>(error));
    }
    // The handles it reports for a Unix program are not the program's: Wine
    // leaves them as an earlier call left them, and closing them closed
    // whatever handle now has that value (here, the control socket above).
    if (Readable(control, 10000))
        m_frontControl = ::accept(control, nullptr, nullptr);
    int acceptError = ::WSAGetLastError();
    ::closesocket(control);
    if (m_frontControl == INVALID_SOCKET)
        return failed("it did not connect within 10 s", acceptError);

    // Its first line is its port.
    std::string line;
    DWORD start = ::GetTickCount();
    char buffer[16];
    int received = 1;
    while (line.find('\n') == std::string::npos && ::GetTickCount() - start < 10000) {
        if (!Readable(m_frontControl, 100))
            continue;
        received = ::recv(m_frontControl, buffer, sizeof(buffer), 0);
        if (received <= 0)
            break;
        line.append(buffer, static_cast<size_t>(received));
    }
    unsigned long port = std::strtoul(line.c_str(), nullptr, 10);
    m_frontPort = port > 0 && port < 65536 ? static_cast<unsigned short>(port) : 0;
    if (m_frontPort == 0)
        return failed(received <= 0 ? "it ended before telling its port" : "it told no port within 10 s",
                      received < 0 ? ::WSAGetLastError() : 0);
    return true;
}

void LoopbackHttpServer::StopFront()
{
    if (m_frontControl == INVALID_SOCKET)
        return;
    // The front closes its ports, then the connection: once it did, its port
    // refuses connections.
    ::shutdown(m_frontControl, SD_SEND);
    DWORD start = ::GetTickCount();
    char buffer[16];
    while (::GetTickCount() - start < 10000) {
        if (Readable(m_frontControl, 100) && ::recv(m_frontControl, buffer, sizeof(buffer), 0) <= 0)
            break;
    }
    ::closesocket(m_frontControl);
    m_frontControl = INVALID_SOCKET;
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    Stop();
    if (m_winsock)
        ::WSACleanup();
}

std::wstring LoopbackHttpServer::Address() const
{
    if (m_transport == Transport::Tls)
        return L"localhost:" + std::to_wstring(m_frontPort);
    return L"127.0.0.1:" + std::to_wstring(m_port);
}

void LoopbackHttpServer::Answer(const std::string& path, const HttpAnswer& answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[path] = answer;
}

std::vector<HttpRequestRecord> LoopbackHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

size_t LoopbackHttpServer::HttpRequestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::count_if(m_requests.begin(), m_requests.end(), [](const HttpRequestRecord& record) {
        return record.target.rfind("/", 0) == 0 && !record.headers.empty();
    });
}

bool LoopbackHttpServer::WaitForRequests(size_t count, DWORD timeoutMs) const
{
    DWORD start = ::GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_requests.size() >= count)
                return true;
        }
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(20);
    }
}

void LoopbackHttpServer::Stop()
{
    StopFront();
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener != INVALID_SOCKET) {
        ::closesocket(m_listener);
        m_listener = INVALID_SOCKET;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    for (SOCKET socket : m_held)
        ::closesocket(socket);
    m_held.clear();
}

void LoopbackHttpServer::Run()
{
    DWORD start = ::GetTickCount();
    int connections = 0;
    while (!m_stopping && connections < kMaxConnections && ::GetTickCount() - start < kLifetimeMs) {
        if (!Readable(m_listener, 50))
            continue;
        SOCKET client = ::accept(m_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        ++connections;
        Serve(client);
    }
}

void LoopbackHttpServer::Serve(Socket client)
{
    DWORD sendTimeout = kRequestTimeoutMs;
    ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeout),
                 sizeof(sendTimeout));

    // Read the request line and headers, then as much body as announced,
    // within the time and size limits.
    std::string received;
    size_t headerEnd = std::string::npos;
    size_t wanted = 0;
    DWORD start = ::GetTickCount();
    char buffer[4096];
    while (::GetTickCount() - start < kRequestTimeoutMs && received.size() < kMaxRequestBytes &&
           !m_stopping) {
        if (headerEnd != std::string::npos && received.size() >= headerEnd + 4 + wanted)
            break;
        if (!Readable(client, 50))
            continue;
        int n = ::recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;
        received.append(buffer, static_cast<size_t>(n));
        if (headerEnd == std::string::npos) {
            headerEnd = received.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                HttpRequestRecord probe;
                probe.headers = received.substr(0, headerEnd + 2);
                std::optional<std::string> length = probe.Header("Content-Length");
                wanted = length
                             ? std::min<size_t>(std::strtoul(length->c_str(), nullptr, 10), kMaxRequestBytes)
                             : 0;
            }
        }
    }

    HttpRequestRecord record;
    size_t lineEnd = received.find("\r\n");
    std::string requestLine = received.substr(0, lineEnd);
    size_t space1 = requestLine.find(' ');
    size_t space2 = requestLine.find(' ', space1 == std::string::npos ? 0 : space1 + 1);
    if (space1 != std::string::npos) {
        record.method = requestLine.substr(0, space1);
        record.target = requestLine.substr(space1 + 1, space2 == std::string::npos ? std::string::npos
                                                                                   : space2 - space1 - 1);
    }
    if (lineEnd != std::string::npos && headerEnd != std::string::npos && headerEnd >= lineEnd) {
        record.headers = received.substr(lineEnd + 2, headerEnd + 2 - (lineEnd + 2));
        record.body = received.substr(headerEnd + 4);
    }

    HttpAnswer answer;
    answer.status = 404;
    size_t index = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        index = m_requests.size();
        m_requests.push_back(record);
        auto found = m_answers.find(record.target.substr(0, record.target.find('?')));
        if (found != m_answers.end())
            answer = found->second;
        if (answer.silent) {
            m_held.push_back(client);
            return;
        }
    }

    size_t sent = SendAnswer(client, answer);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests[index].answerBytesSent = sent;
    }
    ::shutdown(client, SD_SEND);
    // Let the client read to the end before the socket goes.
    DWORD drainStart = ::GetTickCount();
    while (::GetTickCount() - drainStart < 1000 && Readable(client, 50)) {
        if (::recv(client, buffer, sizeof(buffer), 0) <= 0)
            break;
    }
    ::closesocket(client);
}

bool LoopbackHttpServer::SendPaced(Socket client, const std::string& data, size_t pieceBytes, DWORD pauseMs,
                                   DWORD start, size_t& sent)
{
    if (pieceBytes == 0)
        pieceBytes = data.size();
    for (size_t offset = 0; offset < data.size(); offset += pieceBytes) {
        if (m_stopping || ::GetTickCount() - start >= kStreamLimitMs)
            return false;
        if (!SendAll(client, data.data() + offset, std::min(pieceBytes, data.size() - offset), sent))
            return false;
        if (pauseMs > 0)
            ::Sleep(pauseMs);
    }
    return true;
}

size_t LoopbackHttpServer::SendAnswer(Socket client, const HttpAnswer& answer)
{
    DWORD start = ::GetTickCount();
    size_t sent = 0;
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + Reason(answer.status) + "\r\n";
    if (answer.chunked || answer.endless)
        head += "Transfer-Encoding: chunked\r\n";
    else
        head +=
            "Content-Length: " + std::to_string(answer.contentLength.value_or(answer.body.size())) + "\r\n";
    for (const std::string& header : answer.headers)
        head += header + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!SendPaced(client, head, answer.headerByteMs ? 1 : 0, answer.headerByteMs, start, sent))
        return sent;

    if (!answer.chunked && !answer.endless) {
        SendPaced(client, answer.body, answer.pieceBytes, answer.piecePauseMs, start, sent);
        return sent;
    }
    size_t pieceBytes = answer.pieceBytes ? answer.pieceBytes : std::max<size_t>(answer.body.size(), 1);
    for (size_t offset = 0; offset < answer.body.size(); offset += pieceBytes) {
        if (!SendPaced(client, Chunk(answer.body.substr(offset, pieceBytes)), 0, answer.piecePauseMs, start,
                       sent))
            return sent;
    }
    while (answer.endless && !answer.body.empty()) {
        if (!SendPaced(client, Chunk(answer.body), 0, answer.piecePauseMs, start, sent))
            return sent;
    }
    SendPaced(client, "0\r\n\r\n", 0, 0, start, sent);
    return sent;
}

std::string Utf16Le(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return bytes;
}

} // namespace Tavrin::Test
