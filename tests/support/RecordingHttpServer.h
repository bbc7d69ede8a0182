#pragma once
// A tiny HTTP server on 127.0.0.1 for tests. It records the exact bytes of every request
// it receives (request line, header block and body, as they came off the socket) and
// answers each one with the next scripted reply, one request per connection. A reply can
// be delayed, cut off in the middle of its body, or never sent at all.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct ScriptedReply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::string> headerLines; // each without its "\r\n"
    std::string body;
    bool addContentLength = true;       // a "Content-Length:" line after `headerLines`
    std::chrono::milliseconds delay{0}; // waited before anything of the reply is sent
    // Close the connection after this many bytes of the body have been sent.
    std::optional<std::size_t> closeAfterBodyBytes;
    // Keep the connection open without sending anything until the client gives up or the
    // server stops.
    bool neverAnswer = false;
    // When not empty, sent verbatim instead of the reply composed from the fields above.
    std::string raw;

    // Chained setters: ScriptedReply().withStatus(302, "Found").withHeader("Location: /x")
    ScriptedReply& withStatus(int code, std::string text) {
        status = code;
        reason = std::move(text);
        return *this;
    }
    ScriptedReply& withHeader(std::string line) {
        headerLines.push_back(std::move(line));
        return *this;
    }
    ScriptedReply& withBody(std::string bytes) {
        body = std::move(bytes);
        return *this;
    }
    ScriptedReply& withoutContentLength() {
        addContentLength = false;
        return *this;
    }
    ScriptedReply& withDelay(std::chrono::milliseconds wait) {
        delay = wait;
        return *this;
    }
    ScriptedReply& cutAfterBodyBytes(std::size_t count) {
        closeAfterBodyBytes = count;
        return *this;
    }
    ScriptedReply& silent() {
        neverAnswer = true;
        return *this;
    }
    ScriptedReply& verbatim(std::string bytes) {
        raw = std::move(bytes);
        return *this;
    }

    // The bytes this reply puts on the wire (before any cut).
    std::string wireBytes() const;
};

// A recorded request taken apart at its first "\r\n" and at its blank line.
struct RequestParts {
    std::string requestLine; // "POST /path HTTP/1.1"
    std::string headerBlock; // the header lines joined by "\r\n", no final "\r\n"
    std::string body;        // everything after the blank line
};
RequestParts splitRequest(const std::string& raw);

class RecordingHttpServer final {
public:
    RecordingHttpServer(); // listens on a free port of 127.0.0.1 at once
    ~RecordingHttpServer();
    RecordingHttpServer(const RecordingHttpServer&) = delete;
    RecordingHttpServer& operator=(const RecordingHttpServer&) = delete;

    int port() const { return port_; }
    std::string hostPort() const; // "127.0.0.1:<port>"
    std::string baseUrl() const;  // "http://127.0.0.1:<port>"

    // Replies are used in the order they were queued; when none is left, the default
    // reply (an empty 200 reply unless changed) answers.
    void queueReply(ScriptedReply reply);
    void setDefaultReply(ScriptedReply reply);

    // Raw bytes of every request received so far, in order of arrival.
    std::vector<std::string> requests() const;
    // Waits until at least `count` requests have arrived; false on time-out.
    bool waitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    void acceptLoop();
    void serve(int client);
    ScriptedReply nextReply();
    bool stopping() const;

    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    bool stopping_ = false;
    std::deque<ScriptedReply> queued_;
    ScriptedReply defaultReply_;
    std::vector<std::string> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};
