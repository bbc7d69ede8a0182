#include "tests/support/RecordingHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

constexpr int pollSliceMs = 20;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The value of the first header line named `name` (lower case) in a request head.
std::optional<std::string> headerValue(const std::string& head, const std::string& name) {
    std::size_t lineStart = head.find("\r\n");
    while (lineStart != std::string::npos && lineStart + 2 < head.size()) {
        lineStart += 2;
        const std::size_t lineEnd = head.find("\r\n", lineStart);
        const std::string line = head.substr(lineStart, lineEnd - lineStart);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && lowerCase(line.substr(0, colon)) == name) {
            const std::size_t value = line.find_first_not_of(" \t", colon + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
        lineStart = lineEnd;
    }
    return std::nullopt;
}

// Whether `received` holds one whole request: a head and the body its
// Content-Length or chunked encoding announces.
bool requestComplete(const std::string& received) {
    const std::size_t headEnd = received.find("\r\n\r\n");
    if (headEnd == std::string::npos)
        return false;
    const std::string head = received.substr(0, headEnd + 2);
    const std::size_t bodyLength = received.size() - headEnd - 4;
    if (auto encoding = headerValue(head, "transfer-encoding");
        encoding && lowerCase(*encoding).find("chunked") != std::string::npos)
        return received.ends_with("0\r\n\r\n");
    if (auto length = headerValue(head, "content-length")) {
        std::size_t announced = 0;
        for (char digit : *length) {
            if (digit < '0' || digit > '9' || announced > (std::size_t{1} << 40))
                break;
            announced = announced * 10 + static_cast<std::size_t>(digit - '0');
        }
        return bodyLength >= announced;
    }
    return true;
}

bool sendAll(int socket, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

} // namespace

RequestParts splitRequest(const std::string& raw) {
    RequestParts parts;
    const std::size_t lineEnd = raw.find("\r\n");
    parts.requestLine = raw.substr(0, lineEnd);
    if (lineEnd == std::string::npos)
        return parts;
    const std::size_t headEnd = raw.find("\r\n\r\n", lineEnd);
    if (headEnd == std::string::npos) {
        parts.headerBlock = raw.substr(lineEnd + 2);
        return parts;
    }
    parts.headerBlock = headEnd > lineEnd ? raw.substr(lineEnd + 2, headEnd - lineEnd - 2) : "";
    parts.body = raw.substr(headEnd + 4);
    return parts;
}

std::string ScriptedReply::wireBytes() const {
    if (!raw.empty())
        return raw;
    std::string bytes = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    for (const std::string& line : headerLines)
        bytes += line + "\r\n";
    if (addContentLength)
        bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    bytes += "\r\n";
    bytes += body;
    return bytes;
}

RecordingHttpServer::RecordingHttpServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0)
        throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 64) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener_);
        throw std::runtime_error("bind/listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

RecordingHttpServer::~RecordingHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    acceptor_.join();
    for (std::thread& connection : connections_)
        connection.join();
    ::close(listener_);
}

std::string RecordingHttpServer::hostPort() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string RecordingHttpServer::baseUrl() const {
    return "http://" + hostPort();
}

void RecordingHttpServer::queueReply(ScriptedReply reply) {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(reply));
}

void RecordingHttpServer::setDefaultReply(ScriptedReply reply) {
    std::lock_guard lock(mutex_);
    defaultReply_ = std::move(reply);
}

std::vector<std::string> RecordingHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool RecordingHttpServer::waitForRequests(std::size_t count,
                                          std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool RecordingHttpServer::stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

ScriptedReply RecordingHttpServer::nextReply() {
    std::lock_guard lock(mutex_);
    if (queued_.empty())
        return defaultReply_;
    ScriptedReply reply = std::move(queued_.front());
    queued_.pop_front();
    return reply;
}

void RecordingHttpServer::acceptLoop() {
    while (!stopping()) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, pollSliceMs) <= 0)
            continue;
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0)
            continue;
        std::lock_guard lock(mutex_);
        connections_.emplace_back([this, client] {
            serve(client);
            ::close(client);
        });
    }
}

void RecordingHttpServer::serve(int client) {
    // Read one request; the connection is also served when the client stops sending
    // early, so that a half request is recorded as it came.
    std::string received;
    char chunk[4096];
    while (!stopping() && !requestComplete(received)) {
        pollfd waiting{client, POLLIN, 0};
        if (::poll(&waiting, 1, pollSliceMs) <= 0)
            continue;
        const ssize_t count = ::recv(client, chunk, sizeof chunk, 0);
        if (count <= 0)
            break;
        received.append(chunk, static_cast<std::size_t>(count));
    }
    if (received.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(received);
    }
    arrived_.notify_all();

    const ScriptedReply reply = nextReply();
    const auto sendAt = std::chrono::steady_clock::now() + reply.delay;
    while (!stopping() && std::chrono::steady_clock::now() < sendAt)
        std::this_thread::sleep_for(std::chrono::milliseconds(pollSliceMs));
    if (reply.neverAnswer) {
        // Wait for the client to hang up (a read of 0 bytes) or for the server to stop.
        while (!stopping()) {
            pollfd waiting{client, POLLIN, 0};
            if (::poll(&waiting, 1, pollSliceMs) > 0 && ::recv(client, chunk, sizeof chunk, 0) <= 0)
                return;
        }
        return;
    }
    std::string bytes = reply.wireBytes();
    if (reply.closeAfterBodyBytes) {
        const std::size_t bodyStart = bytes.size() - reply.body.size();
        bytes.resize(std::min(bytes.size(), bodyStart + *reply.closeAfterBodyBytes));
    }
    sendAll(client, bytes.data(), bytes.size());
    ::shutdown(client, SHUT_WR);
    // Let the client read everything before the socket is closed, so that no reset
    // destroys data it has not read yet.
    for (int slice = 0; slice < 50 && !stopping(); ++slice) {
        pollfd waiting{client, POLLIN, 0};
        if (::poll(&waiting, 1, pollSliceMs) > 0 && ::recv(client, chunk, sizeof chunk, 0) <= 0)
            break;
    }
}
