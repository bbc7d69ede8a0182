#pragma once
// The bundled stand-in for the course platform: the plain-call endpoint that answers
// the course plan and video information calls, the course introduction pages, and the
// video files the answers point to. It listens on 127.0.0.1 only. Tests, benchmarks
// and ./run use it; options add latency, rate limits and faults.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct SandboxOptions {
    int port = 8765;                  // 0 picks a free port
    int generatedLessons = 0;         // lessons of the generated course (id 2000000); 0: none
    std::int64_t videoSize = 1 << 20; // bytes of every video file
    std::int64_t rateLimitPerConnection = 0; // bytes per second per connection; 0: unlimited
    int latencyMs = 0;                       // added before every plain-call reply
    int fail503First = 0;                    // the first N video requests are answered with 503
    int cutFirst = 0; // the first N video replies are cut off in the middle of their body
};

// One plain-call request as the sandbox received it.
struct ReceivedCall {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

// A lesson of the sample course 1455026.
struct SampleLesson {
    std::string id;
    std::string nameUtf8;
    bool hasVideo;
};

class CourseSandbox final {
public:
    static constexpr std::string_view sampleCourseId = "1455026";
    static constexpr std::string_view generatedCourseId = "2000000";

    explicit CourseSandbox(SandboxOptions options = {});
    ~CourseSandbox();
    CourseSandbox(const CourseSandbox&) = delete;
    CourseSandbox& operator=(const CourseSandbox&) = delete;

    // Starts listening on a background thread; returns once requests are accepted.
    // False when the port cannot be bound, and for a second start after stop().
    bool start();
    void stop();
    int port() const;
    std::string host() const; // "127.0.0.1:<port>"

    std::vector<ReceivedCall> plainCalls() const;
    std::int64_t videoBytesSent() const; // body bytes of video replies sent so far
    int videoRequests() const;           // GET requests for video files so far

    static const std::vector<SampleLesson>& sampleLessons();
    // The path of a lesson's video of quality 1..6 (1-3 .flv, 4-6 .mp4), and the
    // deterministic bytes every video file of that path holds.
    static std::string videoPath(std::string_view courseId, std::string_view lessonId, int quality);
    static std::string videoContent(std::string_view path, std::int64_t size);
    // The `length` bytes of that content from `offset` on, made without the bytes before
    // them (to check a slice of a large file); empty for a negative offset or length.
    static std::string videoContentAt(std::string_view path, std::int64_t offset,
                                      std::int64_t length);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
