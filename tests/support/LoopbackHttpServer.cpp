#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/support/LoopbackHttpServer.h"

#include <algorithm>
#include <cctype>

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

void SendAll(SOCKET socket, const std::string& data)
{
    size_t sent = 0;
    // Each send either makes progress or fails; the send time-out bounds it.
    while (sent < data.size()) {
        int n = ::send(socket, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
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

LoopbackHttpServer::LoopbackHttpServer()
{
    WSADATA data;
    winsock_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!winsock_)
        return;
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET)
        return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof(address);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    Stop();
    if (winsock_)
        ::WSACleanup();
}

std::wstring LoopbackHttpServer::Address() const
{
    return L"127.0.0.1:" + std::to_wstring(port_);
}

void LoopbackHttpServer::Answer(const std::string& path, const HttpAnswer& answer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[path] = answer;
}

std::vector<HttpRequestRecord> LoopbackHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool LoopbackHttpServer::WaitForRequests(size_t count, DWORD timeoutMs) const
{
    DWORD start = ::GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (requests_.size() >= count)
                return true;
        }
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(20);
    }
}

void LoopbackHttpServer::Stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ != INVALID_SOCKET) {
        ::closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (SOCKET socket : held_)
        ::closesocket(socket);
    held_.clear();
}

void LoopbackHttpServer::Run()
{
    DWORD start = ::GetTickCount();
    int connections = 0;
    while (!stopping_ && connections < kMaxConnections && ::GetTickCount() - start < kLifetimeMs) {
        if (!Readable(listener_, 50))
            continue;
        SOCKET client = ::accept(listener_, nullptr, nullptr);
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
    while (::GetTickCount() - start < kRequestTimeoutMs && received.size() < kMaxRequestBytes && !stopping_) {
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
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(record);
        auto found = answers_.find(record.target.substr(0, record.target.find('?')));
        if (found != answers_.end())
            answer = found->second;
        if (answer.silent) {
            held_.push_back(client);
            return;
        }
    }

    std::string response = "HTTP/1.1 " + std::to_string(answer.status) + " " + Reason(answer.status) + "\r\n";
    response +=
        "Content-Length: " + std::to_string(answer.contentLength.value_or(answer.body.size())) + "\r\n";
    for (const std::string& header : answer.headers)
        response += header + "\r\n";
    response += "Connection: close\r\n\r\n";
    response += answer.body;
    SendAll(client, response);
    ::shutdown(client, SD_SEND);
    // Let the client read to the end before the socket goes.
    DWORD drainStart = ::GetTickCount();
    while (::GetTickCount() - drainStart < 1000 && Readable(client, 50)) {
        if (::recv(client, buffer, sizeof(buffer), 0) <= 0)
            break;
    }
    ::closesocket(client);
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
