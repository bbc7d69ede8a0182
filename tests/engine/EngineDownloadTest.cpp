// The engine library driven through the system's loader and records, against real
// servers on 127.0.0.1.

#include "download/EngineLoader.h"
#include "download/TaskInfoRecord.h"
#include "download/TaskParamRecord.h"
#include "sandbox/CourseSandbox.h"
#include "tests/support/RecordingHttpServer.h"
#include "text/Codepage.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::string_view courseId = CourseSandbox::sampleCourseId;
constexpr std::string_view lessonId = "1002185001";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Short pauses and time-outs for the tasks of these tests (the library is loaded by the
// first XL_Init).
void shortenRetries(int maxTries, int retryWaitSeconds, int timeoutSeconds) {
    void* library = dlopen("libdlengine.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    using SetPolicy = void (*)(std::int32_t, std::int32_t, std::int32_t);
    auto set = reinterpret_cast<SetPolicy>(dlsym(library, "dlengineSetRetryPolicy"));
    ASSERT_NE(set, nullptr);
    set(maxTries, retryWaitSeconds, timeoutSeconds);
    dlclose(library);
}

struct TaskWish {
    std::string url;
    std::string fileNameUtf8 = "lesson.mp4";
    std::string folder;
    bool useResume = true;
    std::string referrer;
    std::string cookies;
};

class EngineDownload : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/engine-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        folder_ = root_ / "save";
        ASSERT_EQ(dlengine::XL_Init(), 1);
        shortenRetries(10, 1, 5);
    }

    void TearDown() override {
        dlengine::XL_UnInit();
        fs::remove_all(root_);
    }

    std::unique_ptr<CourseSandbox> startSandbox(SandboxOptions options) {
        options.port = 0;
        auto sandbox = std::make_unique<CourseSandbox>(options);
        EXPECT_TRUE(sandbox->start());
        return sandbox;
    }

    static std::string videoPath() { return CourseSandbox::videoPath(courseId, lessonId, 4); }
    static std::string videoUrl(const CourseSandbox& sandbox) {
        return "http://" + sandbox.host() + videoPath();
    }

    std::int32_t create(const TaskWish& wish) {
        const std::string folder = wish.folder.empty() ? folder_.string() + "/" : wish.folder;
        param_.defineFields(wish.url, wish.referrer, wish.cookies, utf8ToCp936(wish.fileNameUtf8),
                            utf8ToCp936(folder), false, true, wish.useResume);
        info_.defineFields();
        return dlengine::XL_CreateTask(param_.baseAddress());
    }

    std::int32_t createAndStart(std::string url, std::string name = "lesson.mp4",
                                std::string folder = {}, bool useResume = true,
                                std::string referrer = {}, std::string cookies = {}) {
        TaskWish wish;
        wish.url = std::move(url);
        wish.fileNameUtf8 = std::move(name);
        wish.folder = std::move(folder);
        wish.useResume = useResume;
        wish.referrer = std::move(referrer);
        wish.cookies = std::move(cookies);
        const std::int32_t handle = create(wish);
        EXPECT_GT(handle, 0);
        EXPECT_EQ(dlengine::XL_StartTask(handle), 1);
        return handle;
    }

    // Polls until `done` holds for the task's record; false on time-out.
    bool waitFor(std::int32_t handle, const std::function<bool(const TaskInfoRecord&)>& done,
                 std::chrono::milliseconds timeout = 20s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (dlengine::XL_QueryTaskInfoEx(handle, info_.baseAddress()) != 0 && done(info_))
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    bool waitForState(std::int32_t handle, std::int32_t state,
                      std::chrono::milliseconds timeout = 20s) {
        return waitFor(
            handle, [state](const TaskInfoRecord& info) { return info.state() == state; }, timeout);
    }

    std::int32_t queryState(std::int32_t handle) {
        EXPECT_EQ(dlengine::XL_QueryTaskInfoEx(handle, info_.baseAddress()), 1);
        return info_.state();
    }

    fs::path root_;
    fs::path folder_;
    TaskParamRecord param_;
    TaskInfoRecord info_;
};

TEST_F(EngineDownload, CompletesWithExactlyTheServersBytesInAFolderItCreates) {
    SandboxOptions options;
    options.videoSize = 3 * 1024 * 1024 + 17;
    auto sandbox = startSandbox(options);
    folder_ = root_ / "new" / "nested";
    const std::string name = "第一讲 课程介绍.mp4";
    const std::int32_t handle = createAndStart(videoUrl(*sandbox), name);

    ASSERT_TRUE(waitFor(handle, [](const TaskInfoRecord& i) { return i.state() >= 3; }));
    ASSERT_TRUE(waitFor(handle, [](const TaskInfoRecord& i) { return i.state() == 4; }));
    // Finished means complete under the final name, with no control file left.
    EXPECT_FALSE(fs::exists(folder_ / (name + ".aria2")));
    EXPECT_EQ(readFile(folder_ / name),
              CourseSandbox::videoContent(videoPath(), options.videoSize));
    EXPECT_EQ(info_.failureCode(), 0);
    EXPECT_EQ(info_.fileName(), utf8ToCp936(name));
    EXPECT_EQ(info_.totalSize(), options.videoSize);
    EXPECT_EQ(info_.downloadedBytes(), options.videoSize);
    EXPECT_EQ(info_.totalSources(), 3); // whole MiB pieces the file allows
    EXPECT_EQ(info_.speed(), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(EngineDownload, PausesAndResumesWithoutLosingBytes) {
    SandboxOptions options;
    options.videoSize = 8 * 1024 * 1024;
    options.rateLimitPerConnection = 512 * 1024;
    auto sandbox = startSandbox(options);
    const std::int32_t handle = createAndStart(videoUrl(*sandbox));
    ASSERT_TRUE(waitFor(handle, [](const TaskInfoRecord& i) {
        return i.state() == 3 && i.downloadedBytes() >= 2 * 1024 * 1024 && i.availableSources() > 1;
    }));

    EXPECT_EQ(dlengine::XL_StopTask(handle), 1);
    const std::int32_t rightAfterStop = queryState(handle);
    EXPECT_TRUE(rightAfterStop == 6 || rightAfterStop == 2) << rightAfterStop;
    ASSERT_TRUE(waitForState(handle, 2, 5s));
    const std::int64_t pausedAt = info_.downloadedBytes();
    EXPECT_LT(pausedAt, options.videoSize);
    EXPECT_EQ(info_.speed(), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(queryState(handle), 2);
    EXPECT_EQ(info_.downloadedBytes(), pausedAt);

    EXPECT_EQ(dlengine::XL_StartTask(handle), 1);
    // Never "paused" once resumed, or the controller would stop polling.
    const std::int32_t rightAfterStart = queryState(handle);
    EXPECT_TRUE(rightAfterStart == 5 || rightAfterStart == 3) << rightAfterStart;
    ASSERT_TRUE(waitForState(handle, 4));
    EXPECT_EQ(readFile(folder_ / "lesson.mp4"),
              CourseSandbox::videoContent(videoPath(), options.videoSize));
    // What arrived before the pause was kept, not fetched again.
    EXPECT_LT(sandbox->videoBytesSent(), options.videoSize + 1024 * 1024);
}

TEST_F(EngineDownload, UnInitLeavesAPartialFileThatTheNextEngineContinues) {
    SandboxOptions options;
    options.videoSize = 8 * 1024 * 1024;
    options.rateLimitPerConnection = 512 * 1024;
    auto sandbox = startSandbox(options);
    const std::int32_t first = createAndStart(videoUrl(*sandbox));
    ASSERT_TRUE(waitFor(
        first, [](const TaskInfoRecord& i) { return i.downloadedBytes() >= 2 * 1024 * 1024; }));

    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(dlengine::XL_UnInit(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
    EXPECT_TRUE(fs::exists(folder_ / "lesson.mp4.aria2"));
    EXPECT_EQ(dlengine::XL_QueryTaskInfoEx(first, info_.baseAddress()), 0);

    ASSERT_EQ(dlengine::XL_Init(), 1);
    const std::int64_t sentBefore = sandbox->videoBytesSent();
    const std::int32_t second = createAndStart(videoUrl(*sandbox));
    EXPECT_NE(second, first);
    ASSERT_TRUE(waitForState(second, 4));
    EXPECT_LT(sandbox->videoBytesSent() - sentBefore, options.videoSize - 1024 * 1024);
    EXPECT_EQ(readFile(folder_ / "lesson.mp4"),
              CourseSandbox::videoContent(videoPath(), options.videoSize));
    EXPECT_FALSE(fs::exists(folder_ / "lesson.mp4.aria2"));
}

TEST_F(EngineDownload, CutRepliesAndEarly503sStillGiveTheExactFile) {
    SandboxOptions options;
    options.videoSize = 4 * 1024 * 1024 + 5;
    options.fail503First = 2;
    options.cutFirst = 3;
    auto sandbox = startSandbox(options);
    const std::int32_t handle = createAndStart(videoUrl(*sandbox));
    ASSERT_TRUE(waitForState(handle, 4, 30s))
        << "state " << info_.state() << " code " << info_.failureCode();
    EXPECT_EQ(readFile(folder_ / "lesson.mp4"),
              CourseSandbox::videoContent(videoPath(), options.videoSize));
}

TEST_F(EngineDownload, NotFoundFailsWithItsCode) {
    auto sandbox = startSandbox({});
    const std::int32_t handle =
        createAndStart("http://" + sandbox->host() + "/video/1455026/404_hd.mp4");
    ASSERT_TRUE(waitForState(handle, 1));
    EXPECT_EQ(info_.failureCode(), 10);
    EXPECT_FALSE(fs::exists(folder_ / "lesson.mp4"));
}

TEST_F(EngineDownload, AnUnknownHandleGivesZeroAndLeavesTheRecordAlone) {
    info_.defineFields();
    info_.totalSize(12345);
    EXPECT_EQ(dlengine::XL_QueryTaskInfoEx(987654, info_.baseAddress()), 0);
    EXPECT_EQ(dlengine::XL_QueryTaskInfoEx(0, info_.baseAddress()), 0);
    EXPECT_EQ(info_.state(), 2);
    EXPECT_EQ(info_.totalSize(), 12345);
    EXPECT_EQ(dlengine::XL_StartTask(987654), 0);
    EXPECT_EQ(dlengine::XL_StopTask(987654), 0);
}

TEST_F(EngineDownload, RefusedNamesAndFoldersFailWithTheirCodesAndWriteNothing) {
    auto sandbox = startSandbox({});
    std::ofstream(root_ / "plain-file") << "x";
    struct Case {
        std::string name;
        std::string folder;
        std::int32_t code;
    } cases[] = {
        {"../escaped.mp4", "", 4},
        {"..", "", 4},
        {".", "", 4},
        {"sub/escaped.mp4", "", 4},
        {"lesson.mp4", (root_ / "plain-file" / "save").string() + "/", 5},
    };
    for (const Case& c : cases) {
        const std::int32_t handle = createAndStart(videoUrl(*sandbox), c.name, c.folder);
        ASSERT_TRUE(waitForState(handle, 1)) << c.name;
        EXPECT_EQ(info_.failureCode(), c.code) << c.name;
    }
    EXPECT_FALSE(fs::exists(root_ / "escaped.mp4"));
    EXPECT_FALSE(fs::exists(folder_ / "sub"));
    EXPECT_EQ(sandbox->videoRequests(), 0);
}

TEST_F(EngineDownload, SendsTheReferrerAndTheCookiesAsHeaders) {
    RecordingHttpServer server;
    ScriptedReply reply;
    reply.headerLines = {"Content-Type: video/mp4"};
    reply.body = "0123456789";
    server.setDefaultReply(reply);
    const std::int32_t handle =
        createAndStart(server.baseUrl() + "/v.mp4", "v.mp4", "", true,
                       "http://course.example/introduction/1.htm", "sid=abc; uid=7");
    ASSERT_TRUE(waitForState(handle, 4));
    const auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    const std::string& request = requests.front();
    EXPECT_NE(request.find("\r\nReferer: http://course.example/introduction/1.htm\r\n"),
              std::string::npos)
        << request;
    EXPECT_NE(request.find("\r\nCookie: sid=abc; uid=7\r\n"), std::string::npos) << request;
    EXPECT_EQ(readFile(folder_ / "v.mp4"), "0123456789");
}

TEST_F(EngineDownload, AFileFromAnEarlierProcessIsContinuedOrReplacedAsAsked) {
    SandboxOptions options;
    options.videoSize = 4 * 1024 * 1024;
    // Slow enough that the bytes the server pushes ahead on a connection the engine is
    // about to close stay few, so the count of bytes sent shows what was fetched.
    options.rateLimitPerConnection = 1024 * 1024;
    auto sandbox = startSandbox(options);
    const std::string content = CourseSandbox::videoContent(videoPath(), options.videoSize);
    fs::create_directories(folder_);

    // A prefix left without any control file is continued from its end.
    std::ofstream(folder_ / "kept.mp4", std::ios::binary) << content.substr(0, 3 * 1024 * 1024);
    const std::int32_t kept = createAndStart(videoUrl(*sandbox), "kept.mp4");
    ASSERT_TRUE(waitForState(kept, 4));
    EXPECT_EQ(readFile(folder_ / "kept.mp4"), content);
    EXPECT_LT(sandbox->videoBytesSent(), 2 * 1024 * 1024);

    // Without resume, whatever is there is replaced by a fresh download.
    std::ofstream(folder_ / "fresh.mp4", std::ios::binary) << std::string(1024 * 1024, 'z');
    const std::int32_t fresh =
        createAndStart(videoUrl(*sandbox), "fresh.mp4", "", /*useResume=*/false);
    ASSERT_TRUE(waitForState(fresh, 4)) << info_.failureCode();
    EXPECT_EQ(readFile(folder_ / "fresh.mp4"), content);
}

} // namespace

// The program may end without XL_UnInit while a download runs: exit must neither hang
// nor crash, and the unfinished file keeps its control file for a later run.
TEST(EngineExit, ExitingWithoutUnInitMidDownloadIsPromptAndKeepsTheControlFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs this body again from its start: it finds the parent's folder in
    // its environment.
    if (std::getenv("ENGINE_EXIT_TEST_FOLDER") == nullptr) {
        char pattern[] = "/tmp/engine-exit-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        setenv("ENGINE_EXIT_TEST_FOLDER", pattern, 1);
    }
    const fs::path folder = std::getenv("ENGINE_EXIT_TEST_FOLDER");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
            SandboxOptions options;
            options.port = 0;
            options.videoSize = 8 * 1024 * 1024;
            options.rateLimitPerConnection = 256 * 1024;
            CourseSandbox sandbox(options);
            sandbox.start();
            dlengine::XL_Init();
            TaskParamRecord param;
            TaskInfoRecord info;
            param.defineFields("http://" + sandbox.host() +
                                   CourseSandbox::videoPath(courseId, lessonId, 4),
                               {}, {}, "lesson.mp4", folder.string() + "/", false, true, true);
            info.defineFields();
            const std::int32_t handle = dlengine::XL_CreateTask(param.baseAddress());
            dlengine::XL_StartTask(handle);
            while (dlengine::XL_QueryTaskInfoEx(handle, info.baseAddress()) == 0 ||
                   info.downloadedBytes() < 512 * 1024)
                std::this_thread::sleep_for(20ms);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_TRUE(fs::exists(folder / "lesson.mp4.aria2"));
    fs::remove_all(folder);
    unsetenv("ENGINE_EXIT_TEST_FOLDER");
}

TEST_F(EngineDownload, AReplyWithoutALengthIsSavedWhole) {
    RecordingHttpServer server;
    ScriptedReply reply;
    reply.headerLines = {"Content-Type: video/mp4", "Connection: close"};
    reply.body = std::string(300000, 'v');
    reply.addContentLength = false;
    server.setDefaultReply(reply);
    const std::int32_t handle = createAndStart(server.baseUrl() + "/v.mp4", "v.mp4");
    ASSERT_TRUE(
        waitFor(handle, [](const TaskInfoRecord& i) { return i.state() == 4 || i.state() == 1; }));
    EXPECT_EQ(info_.state(), 4) << info_.failureCode();
    EXPECT_EQ(info_.totalSize(), 300000);
    EXPECT_EQ(readFile(folder_ / "v.mp4"), reply.body);
}

TEST_F(EngineDownload, StartingAFailedTaskAgainRetriesIt) {
    RecordingHttpServer server;
    ScriptedReply missing;
    missing.status = 404;
    missing.reason = "Not Found";
    server.queueReply(missing);
    ScriptedReply reply;
    reply.body = "the video";
    server.setDefaultReply(reply);
    const std::int32_t handle = createAndStart(server.baseUrl() + "/v.mp4", "v.mp4");
    ASSERT_TRUE(waitForState(handle, 1));
    EXPECT_EQ(info_.failureCode(), 10);

    EXPECT_EQ(dlengine::XL_StartTask(handle), 1);
    // The old failure is not reported once a retry has been asked for.
    EXPECT_NE(queryState(handle), 1);
    ASSERT_TRUE(waitForState(handle, 4));
    EXPECT_EQ(info_.failureCode(), 0);
    EXPECT_EQ(readFile(folder_ / "v.mp4"), "the video");
}

TEST_F(EngineDownload, A500ReplyIsTriedAgainAfterAPause) {
    RecordingHttpServer server;
    ScriptedReply failing;
    failing.status = 500;
    failing.reason = "Internal Server Error";
    server.queueReply(failing);
    server.queueReply(failing);
    ScriptedReply reply;
    reply.body = "the video";
    server.setDefaultReply(reply);
    const std::int32_t handle = createAndStart(server.baseUrl() + "/v.mp4", "v.mp4");
    ASSERT_TRUE(
        waitFor(handle, [](const TaskInfoRecord& i) { return i.state() == 4 || i.state() == 1; }));
    EXPECT_EQ(info_.state(), 4) << info_.failureCode();
    EXPECT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(readFile(folder_ / "v.mp4"), "the video");
}

TEST_F(EngineDownload, RepeatedUnexpectedRepliesFailAfterTheLastTry) {
    shortenRetries(3, 0, 5);
    RecordingHttpServer server;
    ScriptedReply refused;
    refused.status = 403;
    refused.reason = "Forbidden";
    server.setDefaultReply(refused);
    const std::int32_t handle = createAndStart(server.baseUrl() + "/v.mp4", "v.mp4");
    ASSERT_TRUE(waitForState(handle, 1));
    EXPECT_EQ(info_.failureCode(), 13);
    EXPECT_EQ(server.requests().size(), 3u);
}
