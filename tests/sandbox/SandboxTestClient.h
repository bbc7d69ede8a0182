#pragma once
// Raw HTTP exchanges with the sandbox, for the cases where a client library would hide
// what went over the wire (a body cut short, a connection closed early).

#include <string>

struct RawReply {
    int status = 0;
    std::string headers; // the header block, without the status line
    std::string body;    // every byte after the header block, up to the server's close
    long long contentLength = -1;
    bool closedByServer = false; // the server closed the connection (not a time-out)

    bool complete() const { return contentLength == static_cast<long long>(body.size()); }
};

// Sends `request` as it stands to 127.0.0.1:port and reads until the reply is complete
// (by its Content-Length), the server closes the connection, or 5 s pass without a byte.
RawReply rawExchange(int port, const std::string& request);

// "GET <path> HTTP/1.1" with Host and, when given, Range; keep-alive, so that only the
// server's own close ends the reply.
std::string rawGet(const std::string& path, const std::string& range = "");
