#include "sandbox/CourseSandbox.h"

#include "sandbox/PlainCallReplies.h"
#include "sandbox/SandboxCatalog.h"
#include "sandbox/VideoBytes.h"
#include "sandbox/VideoRange.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* listenAddress = "127.0.0.1";
constexpr std::size_t largestChunk = 64 * 1024;
// Enough threads for several downloads with a few connections each, the parse workers
// and the tests, since every open connection holds one.
constexpr std::size_t serverThreads = 48;

struct QualityName {
    std::string_view name;
    std::string_view extension;
};
constexpr QualityName qualityNames[] = {{"hd", "flv"}, {"sd", "flv"}, {"shd", "flv"},
                                        {"hd", "mp4"}, {"sd", "mp4"}, {"shd", "mp4"}};

int qualityOf(std::string_view name, std::string_view extension) {
    for (int q = 1; q <= 6; ++q) {
        if (qualityNames[q - 1].name == name && qualityNames[q - 1].extension == extension) {
            return q;
        }
    }
    return 0;
}

// Headers the server adds to a request itself; they are not part of what a client sent.
bool isServerAddedHeader(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

std::string htmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A client that goes away in the middle of a reply would otherwise end the whole
// process with SIGPIPE on the server's next write; the write must fail instead. A
// handler that the program installed itself is left alone.
void ignoreBrokenPipes() {
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        std::signal(SIGPIPE, SIG_IGN);
    }
}

} // namespace

struct CourseSandbox::Impl {
    explicit Impl(SandboxOptions o) : options(o), catalog(o.generatedLessons) {
        options.videoSize = std::max<std::int64_t>(options.videoSize, 0);
    }

    SandboxOptions options;
    SandboxCatalog catalog;
    httplib::Server server;
    std::thread listener;
    bool started = false;
    int port = 0;

    std::atomic<bool> stopping{false};
    std::mutex pauseMutex;
    std::condition_variable pauseWake;

    mutable std::mutex callsMutex;
    std::vector<ReceivedCall> calls;

    std::atomic<std::int64_t> videoBytes{0};
    std::atomic<int> videoGets{0};
    std::atomic<int> videoBodyReplies{0};

    std::string host() const { return std::string(listenAddress) + ":" + std::to_string(port); }

    // Waits until `deadline`; false when the sandbox is stopping, so that no reply keeps
    // stop() waiting.
    bool pauseUntil(Clock::time_point deadline) {
        std::unique_lock lock(pauseMutex);
        return !pauseWake.wait_until(lock, deadline, [this] { return stopping.load(); });
    }

    void addRoutes();
    void recordCall(const httplib::Request& req);
    std::string answerPlainCall(const std::string& body) const;
    void serveIntroduction(const httplib::Request& req, httplib::Response& res) const;
    void serveIndex(httplib::Response& res) const;
    void serveVideo(const httplib::Request& req, httplib::Response& res);
    void streamVideo(httplib::Response& res, const std::string& path, VideoRange range, bool cut,
                     std::string_view contentType);
};

void CourseSandbox::Impl::addRoutes() {
    server.Post(R"(/dwr/call/plaincall/[A-Za-z0-9_]+\.[A-Za-z0-9_]+\.dwr)",
                [this](const httplib::Request& req, httplib::Response& res) {
                    recordCall(req);
                    if (options.latencyMs > 0) {
                        pauseUntil(Clock::now() + std::chrono::milliseconds(options.latencyMs));
                    }
                    res.set_content(answerPlainCall(req.body), "text/javascript;charset=utf-8");
                });
    server.Get(R"(/course/introduction/([^/]*)\.htm)",
               [this](const httplib::Request& req, httplib::Response& res) {
                   serveIntroduction(req, res);
               });
    server.Get("/", [this](const httplib::Request&, httplib::Response& res) { serveIndex(res); });
    // GET and HEAD both land here: the server routes a HEAD to the GET handlers and
    // leaves the body out.
    server.Get(
        R"(/video/(\d+)/(\d+)_(hd|sd|shd)\.(flv|mp4))",
        [this](const httplib::Request& req, httplib::Response& res) { serveVideo(req, res); });
}

void CourseSandbox::Impl::recordCall(const httplib::Request& req) {
    ReceivedCall call{req.method, req.path, {}, req.body};
    for (const auto& [name, value] : req.headers) {
        if (!isServerAddedHeader(name)) {
            call.headers.emplace_back(name, value);
        }
    }
    std::lock_guard lock(callsMutex);
    calls.push_back(std::move(call));
}

// Error messages are fixed texts: nothing of the request is echoed, since after the
// client's decoding an echoed text could read as a lesson record or an address.
std::string CourseSandbox::Impl::answerPlainCall(const std::string& body) const {
    const PlainCall call = parsePlainCallBody(body);
    if (call.scriptName == "PlanNewBean" && call.methodName == "getPlanCourseDetail") {
        if (!catalog.hasCourse(call.param0)) {
            return plainCallErrorReply(call, "课程不存在");
        }
        return coursePlanReply(call, call.param0, catalog.lessonsOf(call.param0));
    }
    if (call.scriptName == "LessonLearnBean" && call.methodName == "getVideoLearnInfo") {
        const auto lesson = catalog.lesson(call.param1, call.param0);
        if (!lesson) {
            return plainCallErrorReply(call, "课时不存在");
        }
        return videoInfoReply(call, host(), call.param1, *lesson);
    }
    return plainCallErrorReply(call, "No such method");
}

void CourseSandbox::Impl::serveIntroduction(const httplib::Request& req,
                                            httplib::Response& res) const {
    const std::string courseId = req.matches[1].str();
    if (!catalog.hasCourse(courseId)) {
        res.status = 404;
        res.set_content(
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>课程不存在</title>"
            "</head><body><p>课程不存在</p></body></html>\n",
            "text/html; charset=utf-8");
        return;
    }
    const std::string title = htmlEscaped(catalog.courseTitleUtf8(courseId));
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
                       "</title></head>\n<body><h1>" + title + "</h1>\n<p>课程编号 " + courseId +
                       "</p>\n<ol>\n";
    for (const SampleLesson& lesson : catalog.lessonsOf(courseId)) {
        page += "<li>" + htmlEscaped(lesson.nameUtf8) + (lesson.hasVideo ? "" : "（无视频）") +
                "</li>\n";
    }
    page += "</ol>\n</body></html>\n";
    res.set_content(page, "text/html; charset=utf-8");
}

void CourseSandbox::Impl::serveIndex(httplib::Response& res) const {
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>课程平台"
                       "</title></head>\n<body><ul>\n";
    for (std::string_view id : {CourseSandbox::sampleCourseId, CourseSandbox::generatedCourseId}) {
        if (catalog.hasCourse(id)) {
            const std::string address =
                "http://" + host() + "/course/introduction/" + std::string(id) + ".htm";
            page += "<li><a href=\"" + address + "\">" + address + "</a> " +
                    htmlEscaped(catalog.courseTitleUtf8(id)) + "</li>\n";
        }
    }
    page += "</ul>\n</body></html>\n";
    res.set_content(page, "text/html; charset=utf-8");
}

void CourseSandbox::Impl::serveVideo(const httplib::Request& req, httplib::Response& res) {
    const std::string courseId = req.matches[1].str();
    const std::string lessonId = req.matches[2].str();
    const int quality = qualityOf(req.matches[3].str(), req.matches[4].str());
    const auto lesson = catalog.lesson(courseId, lessonId);
    if (quality == 0 || !lesson || !lesson->hasVideo) {
        res.status = 404;
        res.set_content("Not Found\n", "text/plain");
        return;
    }
    // cpp-httplib 0.11 would apply the parsed ranges itself after this handler, and it
    // answers a range that runs past the end with a length larger than the file. The
    // ranges are resolved here instead, so the library must see none. The request object
    // is the server's own non-const one, handed to handlers as const.
    const_cast<httplib::Request&>(req).ranges.clear();

    const bool isGet = req.method == "GET";
    const int requestNumber = isGet ? ++videoGets : 0;
    res.set_header("Accept-Ranges", "bytes");
    if (isGet && requestNumber <= options.fail503First) {
        res.status = 503;
        res.set_content("Service Unavailable\n", "text/plain");
        return;
    }
    const std::int64_t size = options.videoSize;
    const VideoRange range = resolveVideoRange(req.get_header_value("Range"), size);
    if (range.kind == VideoRange::Kind::Unsatisfiable) {
        res.status = 416;
        res.set_header("Content-Range", "bytes */" + std::to_string(size));
        return;
    }
    if (range.kind == VideoRange::Kind::Partial) {
        res.status = 206;
        res.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                            std::to_string(range.last) + "/" +
                                            std::to_string(size));
    } else {
        res.status = 200;
    }
    const bool cut = isGet && ++videoBodyReplies <= options.cutFirst;
    const std::string_view contentType = quality <= 3 ? "video/x-flv" : "video/mp4";
    streamVideo(res, req.path, range, cut, contentType);
}

// Streams the range in chunks made on demand. With a rate limit, chunk k leaves no
// earlier than (bytes before it) / rate seconds after the first one, so each reply, and
// so each connection, stays under the rate on its own. A cut reply ends after half of
// its body: the provider fails and the server closes the connection.
void CourseSandbox::Impl::streamVideo(httplib::Response& res, const std::string& path,
                                      VideoRange range, bool cut, std::string_view contentType) {
    const auto length = static_cast<std::size_t>(range.length());
    if (length == 0) {
        res.set_content("", std::string(contentType));
        return;
    }
    const std::int64_t rate = options.rateLimitPerConnection;
    std::size_t chunk = largestChunk;
    if (rate > 0) {
        chunk = static_cast<std::size_t>(std::clamp<std::int64_t>(rate / 50, 1, largestChunk));
    }
    struct Stream {
        std::uint64_t seed;
        std::int64_t first;
        std::size_t stopAt;
        std::size_t chunk;
        std::int64_t rate;
        Clock::time_point start{};
        std::string buffer;
    };
    auto stream = std::make_shared<Stream>(
        Stream{videoSeed(path), range.first, cut ? length / 2 : length, chunk, rate, {}, {}});
    res.set_content_provider(
        length, std::string(contentType),
        [this, stream](std::size_t offset, std::size_t available, httplib::DataSink& sink) {
            if (stopping || offset >= stream->stopAt) {
                return false;
            }
            const std::size_t n = std::min({available, stream->chunk, stream->stopAt - offset});
            if (stream->rate > 0) {
                if (offset == 0) {
                    stream->start = Clock::now();
                }
                const auto due =
                    stream->start +
                    std::chrono::microseconds(static_cast<std::int64_t>(
                        static_cast<double>(offset) * 1e6 / static_cast<double>(stream->rate)));
                if (!pauseUntil(due)) {
                    return false;
                }
            }
            stream->buffer.resize(n);
            fillVideoBytes(stream->seed, stream->first + static_cast<std::int64_t>(offset),
                           stream->buffer.data(), n);
            // Counted before the write, so that a client that has read the bytes never
            // finds the count behind; taken back when the write fails.
            videoBytes += static_cast<std::int64_t>(n);
            if (!sink.write(stream->buffer.data(), n)) {
                videoBytes -= static_cast<std::int64_t>(n);
                return false;
            }
            return true;
        });
}

CourseSandbox::CourseSandbox(SandboxOptions options) : impl_(std::make_unique<Impl>(options)) {}

CourseSandbox::~CourseSandbox() {
    stop();
}

bool CourseSandbox::start() {
    Impl& impl = *impl_;
    if (impl.listener.joinable()) {
        return true;
    }
    // A sandbox serves one run: its counters and recorded calls belong to it.
    if (impl.started) {
        return false;
    }
    impl.started = true;
    ignoreBrokenPipes();
    impl.stopping = false;
    impl.server.new_task_queue = [] { return new httplib::ThreadPool(serverThreads); };
    impl.server.set_keep_alive_timeout(2);
    impl.server.set_keep_alive_max_count(100);
    impl.server.set_payload_max_length(1 << 20);
    // The library's default also sets SO_REUSEPORT, with which a second sandbox on the
    // same port would start "successfully" and share the requests with the first.
    impl.server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    impl.addRoutes();
    if (impl.options.port == 0) {
        impl.port = impl.server.bind_to_any_port(listenAddress);
    } else if (impl.options.port > 0 && impl.options.port < 65536 &&
               impl.server.bind_to_port(listenAddress, impl.options.port)) {
        impl.port = impl.options.port;
    } else {
        impl.port = -1;
    }
    if (impl.port <= 0) {
        impl.port = 0;
        return false;
    }
    impl.listener = std::thread([&impl] { impl.server.listen_after_bind(); });
    // The socket already listens; waiting for the accept loop also makes sure that a
    // stop() right after start() finds the server running and can end it.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!impl.server.is_running() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return impl.server.is_running();
}

void CourseSandbox::stop() {
    Impl& impl = *impl_;
    {
        std::lock_guard lock(impl.pauseMutex);
        impl.stopping = true;
    }
    impl.pauseWake.notify_all();
    if (impl.listener.joinable()) {
        impl.server.stop();
        impl.listener.join();
    }
}

int CourseSandbox::port() const {
    return impl_->port;
}

std::string CourseSandbox::host() const {
    return impl_->host();
}

std::vector<ReceivedCall> CourseSandbox::plainCalls() const {
    std::lock_guard lock(impl_->callsMutex);
    return impl_->calls;
}

std::int64_t CourseSandbox::videoBytesSent() const {
    return impl_->videoBytes;
}

int CourseSandbox::videoRequests() const {
    return impl_->videoGets;
}

const std::vector<SampleLesson>& CourseSandbox::sampleLessons() {
    return SandboxCatalog::sampleLessons();
}

std::string CourseSandbox::videoPath(std::string_view courseId, std::string_view lessonId,
                                     int quality) {
    if (quality < 1 || quality > 6) {
        return {};
    }
    const QualityName& q = qualityNames[quality - 1];
    return "/video/" + std::string(courseId) + "/" + std::string(lessonId) + "_" +
           std::string(q.name) + "." + std::string(q.extension);
}

std::string CourseSandbox::videoContent(std::string_view path, std::int64_t size) {
    return videoContentAt(path, 0, size);
}

std::string CourseSandbox::videoContentAt(std::string_view path, std::int64_t offset,
                                          std::int64_t length) {
    if (offset < 0 || length <= 0) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(length), '\0');
    fillVideoBytes(videoSeed(path), offset, bytes.data(), bytes.size());
    return bytes;
}
