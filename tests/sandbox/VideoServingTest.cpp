#include "sandbox/CourseSandbox.h"
#include "tests/sandbox/SandboxTestClient.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

const std::string samplePath = CourseSandbox::videoPath("1455026", "1002185001", 4);

class VideoServing : public ::testing::Test {
protected:
    void startWith(SandboxOptions options) {
        options.port = 0;
        sandbox = std::make_unique<CourseSandbox>(options);
        ASSERT_TRUE(sandbox->start());
        ASSERT_GT(sandbox->port(), 0);
    }
    httplib::Client client() const { return httplib::Client("127.0.0.1", sandbox->port()); }

    std::unique_ptr<CourseSandbox> sandbox;
};

std::string secondsSince(Clock::time_point start) {
    return std::to_string(std::chrono::duration<double>(Clock::now() - start).count()) + " s";
}

TEST(VideoContent, SlicesAgreeWithTheWholeFileAndPathsDiffer) {
    const std::string whole = CourseSandbox::videoContent(samplePath, 4096);
    ASSERT_EQ(whole.size(), 4096u);
    for (auto [offset, length] : {std::pair{0, 1}, {3, 13}, {7, 1}, {8, 8}, {1000, 3096}}) {
        EXPECT_EQ(CourseSandbox::videoContentAt(samplePath, offset, length),
                  whole.substr(offset, length))
            << offset << "+" << length;
    }
    EXPECT_NE(whole, CourseSandbox::videoContent(
                         CourseSandbox::videoPath("1455026", "1002185001", 5), 4096));
    // Not a repeating pattern: a slice served from the wrong offset must show.
    EXPECT_NE(whole.substr(0, 64), whole.substr(64, 64));
    EXPECT_NE(whole.substr(0, 8), whole.substr(8, 8));
}

TEST(VideoContent, VideoPathsAreDistinctPerQualityAndEmptyOutsideOneToSix) {
    EXPECT_EQ(CourseSandbox::videoPath("1455026", "1002185001", 1),
              "/video/1455026/1002185001_hd.flv");
    EXPECT_EQ(CourseSandbox::videoPath("1455026", "1002185001", 6),
              "/video/1455026/1002185001_shd.mp4");
    EXPECT_EQ(CourseSandbox::videoPath("1455026", "1002185001", 0), "");
    EXPECT_EQ(CourseSandbox::videoPath("1455026", "1002185001", 7), "");
}

TEST_F(VideoServing, WholeFileAndRangesCarryTheExactBytes) {
    startWith({.videoSize = 100000});
    const std::string content = CourseSandbox::videoContent(samplePath, 100000);
    struct Case {
        const char* range;
        int status;
        const char* contentRange;
        std::size_t first;
        std::size_t length;
    };
    const Case cases[] = {
        {"", 200, "", 0, 100000},
        {"bytes=0-9", 206, "bytes 0-9/100000", 0, 10},
        {"bytes=70000-", 206, "bytes 70000-99999/100000", 70000, 30000},
        {"bytes=-5", 206, "bytes 99995-99999/100000", 99995, 5},
        {"bytes=99990-200000", 206, "bytes 99990-99999/100000", 99990, 10},
        {"bytes=0-1,5-6", 200, "", 0, 100000},
    };
    auto cli = client();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range);
        httplib::Headers headers;
        if (*c.range != '\0') {
            headers.emplace("Range", c.range);
        }
        const auto res = cli.Get(samplePath, headers);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, c.status);
        EXPECT_EQ(res->get_header_value("Content-Range"), c.contentRange);
        EXPECT_EQ(res->get_header_value("Accept-Ranges"), "bytes");
        EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(c.length));
        EXPECT_TRUE(res->body == content.substr(c.first, c.length));
    }
    EXPECT_EQ(sandbox->videoRequests(), 6);
    EXPECT_EQ(sandbox->videoBytesSent(), 100000 + 10 + 30000 + 5 + 10 + 100000);
}

TEST_F(VideoServing, UnsatisfiableRangeGets416WithTheSize) {
    startWith({.videoSize = 1000});
    auto cli = client();
    for (const char* range : {"bytes=1000-", "bytes=-0", "bytes=5000-6000"}) {
        const auto res = cli.Get(samplePath, {{"Range", range}});
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 416) << range;
        EXPECT_EQ(res->get_header_value("Content-Range"), "bytes */1000") << range;
    }
    EXPECT_EQ(sandbox->videoBytesSent(), 0);
}

TEST_F(VideoServing, HeadGivesSizeWithoutBodyAndIsNotCounted) {
    startWith({.videoSize = 123456, .fail503First = 1, .cutFirst = 1});
    auto cli = client();
    const auto whole = cli.Head(samplePath);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->status, 200);
    EXPECT_EQ(whole->get_header_value("Content-Length"), "123456");
    EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes");
    EXPECT_TRUE(whole->body.empty());
    const auto part = cli.Head(samplePath, {{"Range", "bytes=100-"}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 100-123455/123456");
    EXPECT_EQ(part->get_header_value("Content-Length"), "123356");
    // HEADs neither use up the faults nor count as video requests.
    EXPECT_EQ(sandbox->videoRequests(), 0);
    EXPECT_EQ(sandbox->videoBytesSent(), 0);
    EXPECT_EQ(cli.Get(samplePath)->status, 503);
}

TEST_F(VideoServing, EmptyOrNegativeSizeGivesAnEmptyFile) {
    for (std::int64_t size : {0, -5}) {
        startWith({.videoSize = size});
        auto cli = client();
        const auto whole = cli.Get(samplePath);
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->status, 200);
        EXPECT_EQ(whole->get_header_value("Content-Length"), "0");
        EXPECT_EQ(cli.Get(samplePath, {{"Range", "bytes=0-"}})->status, 416);
    }
}

TEST_F(VideoServing, LargeFileIsServedFromAnyOffset) {
    constexpr std::int64_t gib = 1LL << 30;
    startWith({.videoSize = gib});
    auto cli = client();
    const auto head = cli.Head(samplePath);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(gib));
    const auto tail = cli.Get(samplePath, {{"Range", "bytes=1073741800-"}});
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->status, 206);
    EXPECT_TRUE(tail->body == CourseSandbox::videoContentAt(samplePath, gib - 24, 24));
}

TEST_F(VideoServing, UnknownPathsGet404) {
    startWith({.generatedLessons = 3});
    auto cli = client();
    for (const std::string& path : {
             std::string("/video/1455026/1002185004_hd.mp4"), // the lesson without video
             std::string("/video/1455026/9999999999_hd.mp4"),
             std::string("/video/1455026/1002185001_hd.avi"),
             std::string("/video/1455027/1002185001_hd.mp4"),
             CourseSandbox::videoPath("2000000", "3000004", 1), // past the generated lessons
             CourseSandbox::videoPath("1455026", "3000001", 1), // a lesson of another course
             std::string("/video/"),
             std::string("/nothing"),
         }) {
        const auto res = cli.Get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 404) << path;
    }
    EXPECT_EQ(cli.Get(CourseSandbox::videoPath("2000000", "3000003", 6))->status, 200);
}

// Each GET is classified by what reached the client: a 503, a body cut short with the
// connection closed by the server, or the full body.
TEST_F(VideoServing, FaultsHitTheFirstRequestsInOrder) {
    struct Case {
        int fail503;
        int cut;
        std::vector<std::string> outcomes;
    };
    const Case cases[] = {
        {2, 0, {"503", "503", "full"}},
        {0, 2, {"cut", "cut", "full"}},
        {1, 1, {"503", "cut", "full"}},
        {0, 0, {"full", "full"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fail503) + " 503s, " + std::to_string(c.cut) + " cuts");
        startWith({.videoSize = 200000, .fail503First = c.fail503, .cutFirst = c.cut});
        const std::string content = CourseSandbox::videoContent(samplePath, 200000);
        for (const std::string& expected : c.outcomes) {
            const RawReply reply = rawExchange(sandbox->port(), rawGet(samplePath));
            std::string outcome = "other";
            if (reply.status == 503) {
                outcome = "503";
            } else if (reply.status == 200 && reply.contentLength == 200000 &&
                       reply.body.size() == 100000 && reply.closedByServer &&
                       reply.body == content.substr(0, 100000)) {
                outcome = "cut";
            } else if (reply.status == 200 && reply.complete() && reply.body == content) {
                outcome = "full";
            }
            EXPECT_EQ(outcome, expected);
        }
        EXPECT_EQ(sandbox->videoRequests(), static_cast<int>(c.outcomes.size()));
    }
}

TEST_F(VideoServing, CutRangeReplyEndsAfterHalfOfTheRange) {
    startWith({.videoSize = 100000, .cutFirst = 1});
    const RawReply reply = rawExchange(sandbox->port(), rawGet(samplePath, "bytes=1000-1999"));
    EXPECT_EQ(reply.status, 206);
    EXPECT_EQ(reply.contentLength, 1000);
    EXPECT_TRUE(reply.closedByServer);
    EXPECT_TRUE(reply.body == CourseSandbox::videoContentAt(samplePath, 1000, 500));
    EXPECT_EQ(sandbox->videoBytesSent(), 500);
}

// The rate limit is a lower bound on the time a reply takes, which no load on the
// machine can break; with the limit shared instead of per connection, four parallel
// replies would take four times as long.
TEST_F(VideoServing, RateLimitHoldsForEachConnectionSeparately) {
    constexpr std::int64_t rate = 100000;
    constexpr int size = 50000; // 0.5 s at the rate
    startWith({.videoSize = size, .rateLimitPerConnection = rate});
    const auto start = Clock::now();
    std::atomic<int> complete = 0;
    std::vector<std::thread> downloads;
    for (int i = 0; i < 4; ++i) {
        downloads.emplace_back([&, i] {
            auto cli = client();
            const auto res = cli.Get(CourseSandbox::videoPath("1455026", "1002185001", i + 1));
            if (res && res->status == 200 && res->body.size() == size) {
                ++complete;
            }
        });
    }
    for (auto& t : downloads) {
        t.join();
    }
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(complete, 4);
    EXPECT_GE(elapsed, std::chrono::milliseconds(450)) << secondsSince(start);
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500)) << secondsSince(start);
    EXPECT_EQ(sandbox->videoBytesSent(), 4 * size);
}

TEST_F(VideoServing, StopEndsASlowReplyPromptly) {
    startWith({.videoSize = 1 << 20, .rateLimitPerConnection = 2000});
    std::thread download([this] { client().Get(samplePath); });
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (sandbox->videoBytesSent() == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GT(sandbox->videoBytesSent(), 0);
    const auto start = Clock::now();
    sandbox->stop();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2)) << secondsSince(start);
    download.join();
    EXPECT_FALSE(sandbox->start()); // one run per sandbox
}

} // namespace
