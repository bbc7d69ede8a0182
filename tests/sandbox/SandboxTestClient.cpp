#include "tests/sandbox/SandboxTestClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

long long contentLengthOf(const std::string& headers) {
    const std::string name = "\r\ncontent-length:";
    std::string lower = "\r\n" + headers;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto at = lower.find(name);
    if (at == std::string::npos) {
        return -1;
    }
    return std::atoll(lower.c_str() + at + name.size());
}

} // namespace

RawReply rawExchange(int port, const std::string& request) {
    RawReply reply;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return reply;
    }
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size())) {
        close(fd);
        return reply;
    }
    std::string received;
    char buffer[65536];
    std::size_t headerEnd = std::string::npos;
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) {
            reply.closedByServer = true;
            break;
        }
        if (n < 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(n));
        if (headerEnd == std::string::npos) {
            headerEnd = received.find("\r\n\r\n");
        }
        // A reply that is all there is done: the connection may stay open for the next.
        if (headerEnd != std::string::npos) {
            const long long length = contentLengthOf(received.substr(0, headerEnd + 2));
            if (length >= 0 &&
                received.size() - (headerEnd + 4) >= static_cast<std::size_t>(length)) {
                break;
            }
        }
    }
    close(fd);
    const auto lineEnd = received.find("\r\n");
    if (headerEnd == std::string::npos || received.compare(0, 9, "HTTP/1.1 ") != 0) {
        return reply;
    }
    reply.status = std::atoi(received.c_str() + 9);
    reply.headers = received.substr(lineEnd + 2, headerEnd + 2 - (lineEnd + 2));
    reply.body = received.substr(headerEnd + 4);
    reply.contentLength = contentLengthOf(reply.headers);
    return reply;
}

std::string rawGet(const std::string& path, const std::string& range) {
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!range.empty()) {
        request += "Range: " + range + "\r\n";
    }
    return request + "\r\n";
}
