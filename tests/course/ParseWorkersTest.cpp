// "解析" in the real window (offscreen), against the bundled course sandbox or a
// recording server on 127.0.0.1: what the two workers put into the window and what
// they send.

#include "course/AddressCodec.h"
#include "course/CourseProtocol.h"
#include "sandbox/CourseSandbox.h"
#include "tests/app/GuiTestBase.h"
#include "tests/support/RecordingHttpServer.h"
#include "text/Codepage.h"

#include <QRadioButton>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

static const char* const resultsList = "超级列表框1";
static constexpr int waitMs = 15000;

static std::string summaryUtf8(int rows) {
    return "解析完成共解析到： " + std::to_string(rows) + " 个文件。双击可以单个加入下载列表";
}

static std::string endpointOf(const std::string& host) {
    return "http://" + host + "/dwr/call/plaincall/PlanNewBean.getPlanCourseDetail.dwr";
}

// What every test here does with the window: start a parse and watch it.
class ParseInWindow : public GuiTestBase {
protected:
    std::string statusUtf8() const { return cp936ToUtf8(controls()->text("透明标签2")); }

    bool waitUntil(const std::function<bool()>& condition) const {
        return QTest::qWaitFor(condition, waitMs);
    }

    void setAddress(const std::string& utf8) { controls()->setText("编辑框1", utf8ToCp936(utf8)); }

    // Presses "解析"; the status line and the two buttons are reset first, so that the
    // waits below see this run's writes, not an earlier run's.
    void pressParse() {
        controls()->setText("透明标签2", "");
        controls()->setEnabled("按钮2", false);
        controls()->setEnabled("按钮4", false);
        click("按钮1");
    }

    // Waits for worker two's last writes: the summary and, with rows, the two buttons.
    void waitForSummary(int rows) {
        ASSERT_TRUE(waitUntil([&] { return statusUtf8() == summaryUtf8(rows); }))
            << "status: " << statusUtf8();
        if (rows > 0) {
            ASSERT_TRUE(waitUntil(
                [&] { return controls()->isEnabled("按钮2") && controls()->isEnabled("按钮4"); }));
        }
    }

    // A marker row in the results list: worker one deletes all rows once the reply is
    // decoded, so its disappearance shows that the worker got that far.
    void putMarkerRow() { appendRow(resultsList, {"1", "earlier run", "42", ""}); }
    void waitForWorkerOneToClearTheList() {
        ASSERT_TRUE(waitUntil([&] { return rowCount(resultsList) == 0; }));
        // What worker one would do next (append rows, start worker two) takes far less.
        QTest::qWait(200);
    }

    std::string chosenExtension() const { return state().chosenExtension->get(); }
};

// ---- Against the course sandbox ------------------------------------------------------

class ParseFromSandbox : public ParseInWindow {
protected:
    void SetUp() override {
        options_.port = 0;
        sandbox_ = std::make_unique<CourseSandbox>(options_);
        ASSERT_TRUE(sandbox_->start());
        ParseInWindow::SetUp();
    }
    void TearDown() override {
        ParseInWindow::TearDown();
        sandbox_.reset();
    }
    std::string webHost() const override { return sandbox_->host(); }

    std::string videoAddress(const std::string& lessonId, int quality) const {
        return "http://" + sandbox_->host() +
               CourseSandbox::videoPath(CourseSandbox::sampleCourseId, lessonId, quality);
    }

    // Every sample row holds its lesson and, in column 3, the scrambled address of the
    // quality, or the failure marker for the lesson without video.
    void expectSampleRows(int quality) const {
        const auto& lessons = CourseSandbox::sampleLessons();
        ASSERT_EQ(rowCount(resultsList), static_cast<int>(lessons.size()));
        for (int row = 0; row < rowCount(resultsList); ++row) {
            const SampleLesson& lesson = lessons[static_cast<std::size_t>(row)];
            SCOPED_TRACE("row " + std::to_string(row) + ", quality " + std::to_string(quality));
            EXPECT_EQ(cellUtf8(resultsList, row, 0), std::to_string(row + 1));
            EXPECT_EQ(cellUtf8(resultsList, row, 1), lesson.nameUtf8);
            EXPECT_EQ(cellUtf8(resultsList, row, 2), lesson.id);
            const std::string cell = cellUtf8(resultsList, row, 3);
            if (lesson.hasVideo) {
                EXPECT_EQ(unscrambleAddress(cell, addressTagKey), videoAddress(lesson.id, quality));
                EXPECT_EQ(cell.size(), 2 * videoAddress(lesson.id, quality).size() + 9);
            } else {
                EXPECT_EQ(cell, "解析失败");
            }
        }
    }

    SandboxOptions options_;
    std::unique_ptr<CourseSandbox> sandbox_;
};

class ParseFromSlowSandbox : public ParseFromSandbox {
protected:
    void SetUp() override {
        options_.latencyMs = 200;
        ParseFromSandbox::SetUp();
    }
};

TEST_F(ParseFromSlowSandbox, SampleCourseGoesThroughEveryStage) {
    const std::string courseId(CourseSandbox::sampleCourseId);
    pressParse();

    // Worker one, waiting for the course plan.
    ASSERT_TRUE(waitUntil([&] { return statusUtf8() == "解析中，请稍后"; })) << statusUtf8();
    ASSERT_TRUE(waitUntil([&] { return controls()->text("编辑框ID") == courseId; }));
    // Worker two, lessons listed, addresses on their way.
    ASSERT_TRUE(waitUntil([&] { return statusUtf8() == "下载地址解析中。。。"; })) << statusUtf8();
    EXPECT_EQ(rowCount(resultsList), 5);
    EXPECT_FALSE(controls()->isEnabled("按钮2"));

    waitForSummary(5);
    expectSampleRows(4);
    EXPECT_EQ(chosenExtension(), ".mp4");

    // One course plan call, then one video call per row, in row order.
    const std::vector<ReceivedCall> calls = sandbox_->plainCalls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].body, coursePlanRequestBody(courseId));
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(calls[k + 1].body,
                  videoInfoRequestBody(CourseSandbox::sampleLessons()[k].id, courseId));
    }
}

TEST_F(ParseFromSandbox, QualityFollowsTheFirstCheckedRadioButton) {
    struct Case {
        const char* checked; // nullptr: none checked
        int quality;
        const char* extension;
    };
    const Case cases[] = {
        {"单选框2", 2, ".flv"}, {"单选框1", 1, ".flv"}, {"单选框5", 5, ".mp4"},
        {"单选框6", 6, ".mp4"}, {nullptr, 6, ".mp4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.checked ? c.checked : "none checked");
        if (c.checked) {
            control<QRadioButton>(c.checked)->setChecked(true);
        } else {
            for (int k = 1; k <= 6; ++k) {
                auto button = control<QRadioButton>(("单选框" + std::to_string(k)).c_str());
                button->setAutoExclusive(false);
                button->setChecked(false);
            }
        }
        pressParse();
        waitForSummary(5);
        expectSampleRows(c.quality);
        EXPECT_EQ(chosenExtension(), c.extension);
    }
}

// A row deleted while worker two waits for a reply shifts the rows below it: the
// reply's address belongs to the lesson that was asked for, never to the lesson that
// has moved into its place.
TEST_F(ParseFromSlowSandbox, AnAddressNeverLandsInAnotherLessonsRow) {
    const auto& lessons = CourseSandbox::sampleLessons();
    pressParse();
    // Worker two has asked for lesson 2 (the course plan, lesson 1, lesson 2) and waits
    // for the reply.
    ASSERT_TRUE(waitUntil([&] { return sandbox_->plainCalls().size() == 3; }));
    controls()->deleteRow(resultsList, 0);
    waitForSummary(4);

    ASSERT_EQ(rowCount(resultsList), 4);
    EXPECT_EQ(cellUtf8(resultsList, 0, 2), lessons[1].id);
    EXPECT_EQ(cellUtf8(resultsList, 1, 2), lessons[2].id);
    // Lesson 2 was asked for while it stood in row 1; row 1 now holds lesson 3.
    EXPECT_EQ(cellUtf8(resultsList, 1, 3), "");
    EXPECT_EQ(cellUtf8(resultsList, 2, 3), "解析失败"); // lesson 4 has no video
    EXPECT_EQ(unscrambleAddress(cellUtf8(resultsList, 3, 3), addressTagKey),
              videoAddress(lessons[4].id, 4));
}

TEST_F(ParseFromSlowSandbox, ListEmptiedDuringTheRunGivesAZeroSummary) {
    pressParse();
    ASSERT_TRUE(waitUntil([&] { return statusUtf8() == "下载地址解析中。。。"; }));
    controls()->deleteAllRows(resultsList);
    waitForSummary(0);
    QTest::qWait(100);
    EXPECT_FALSE(controls()->isEnabled("按钮2"));
    EXPECT_FALSE(controls()->isEnabled("按钮4"));
}

// ---- Against a recording server ----------------------------------------------------

class ParseFromRecorder : public ParseInWindow {
protected:
    std::string webHost() const override { return server_.hostPort(); }

    static std::string bodyOf(const std::string& request) {
        const std::size_t end = request.find("\r\n\r\n");
        return end == std::string::npos ? std::string() : request.substr(end + 4);
    }

    // Keeps the UI thread serving the workers' control calls while it waits.
    bool waitForRequests(std::size_t count) {
        return waitUntil([&] { return server_.requests().size() >= count; });
    }

    RecordingHttpServer server_;
};

TEST_F(ParseFromRecorder, RequestsGoOutByteForByte) {
    // A course plan with one lesson whose name is escaped, and its video information.
    server_.queueReply(ScriptedReply().withBody(
        "//#DWR-REPLY\r\nvar s2={};s2.hasReferences=false;s2.id=123;s2.learnedIndex=null;"
        "s2.lessonName=\"\\u7B2C\\u4E00\\u8BB2 A\";s2.liveContent=null;\r\n"));
    server_.queueReply(ScriptedReply().withBody(
        "s1.flvHdUrl=\"http://v/1.flv\";s1.flvSdUrl=\"http://v/2.flv\";s1.flvShdUrl="
        "\"http://v/3.flv\";s1.mp4HdUrl=\"http:\\/\\/v\\/4.mp4\";s1.mp4SdUrl=\"http://v/5.mp4\";"
        "s1.mp4ShdUrl=\"http://v/6.mp4\";s1.needKeyTimeValidate=false;\r\n"));
    setAddress("http://" + server_.hostPort() + "/course/introduction/1455026.htm");
    pressParse();
    waitForSummary(1);

    const std::string host = server_.hostPort();
    const std::string endpoint = endpointOf(host);
    const std::string planBody =
        "callCount=1&scriptSessionId=${scriptSessionId}190&httpSessionId=&c0-scriptName="
        "PlanNewBean&c0-methodName=getPlanCourseDetail&c0-id=0&c0-param0=string:1455026"
        "&c0-param1=number:0&c0-param2=null:null&batchId=1234567890123";
    const std::string videoBody =
        "callCount=1&scriptSessionId=${scriptSessionId}190&httpSessionId=&c0-scriptName="
        "LessonLearnBean&c0-methodName=getVideoLearnInfo&c0-id=0&c0-param0=string:123"
        "&c0-param1=string:1455026&batchId=1234567890123";
    const std::string defaults = "Accept: */*\r\nAccept-Language: zh-cn\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\n";
    const std::vector<std::string> requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0],
              "POST /dwr/call/plaincall/PlanNewBean.getPlanCourseDetail.dwr HTTP/1.1\r\n"
              "Host: " +
                  host +
                  "\r\n"
                  "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; "
                  "Trident/5.0)\r\n"
                  "Referer: " +
                  endpoint + "\r\n" + defaults +
                  "Content-Length: " + std::to_string(planBody.size()) + "\r\n\r\n" + planBody);
    EXPECT_EQ(requests[1],
              "POST /dwr/call/plaincall/PlanNewBean.getPlanCourseDetail.dwr HTTP/1.1\r\n"
              "Host: " +
                  host +
                  "\r\n"
                  "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 2Pac; .NET CLR "
                  "2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)\r\n"
                  "Referer: " +
                  endpoint + "\r\n" + defaults +
                  "Content-Length: " + std::to_string(videoBody.size()) + "\r\n\r\n" + videoBody);

    EXPECT_EQ(cellUtf8(resultsList, 0, 1), "第一讲 A");
    EXPECT_EQ(cellUtf8(resultsList, 0, 2), "123");
    EXPECT_EQ(unscrambleAddress(cellUtf8(resultsList, 0, 3), addressTagKey), "http://v/4.mp4");
}

TEST_F(ParseFromRecorder, CourseIdComesFromTheAddress) {
    struct Case {
        const char* path;
        const char* courseId;
    };
    const Case cases[] = {
        {"/course/introduction/1455026.htm", "1455026"},
        {"/course/introduction/1455026.htm?from=x", "1455026"},
        {"/course/introduction/abc.html", "abc"},
        {"/course/INTRODUCTION/1455026.htm", ""},
        {"/course/introduction/1455026", ""},
    };
    std::size_t sent = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        controls()->setText("编辑框ID", "stale");
        putMarkerRow();
        setAddress("http://" + server_.hostPort() + c.path);
        pressParse();
        ASSERT_TRUE(waitForRequests(++sent));
        waitForWorkerOneToClearTheList();
        EXPECT_EQ(controls()->text("编辑框ID"), c.courseId);
        EXPECT_EQ(bodyOf(server_.requests().back()), coursePlanRequestBody(c.courseId));
    }
}

// No lessons in the reply: no rows, no video calls, and the status stays at the first
// stage (nothing else tells the user).
TEST_F(ParseFromRecorder, ReplyWithoutLessonsGivesNoRows) {
    struct Case {
        const char* name;
        std::string body;
    };
    const Case cases[] = {
        {"empty reply", ""},
        {"garbage", "\x01\xFF<html>\r\n'\\u12"},
        {"service error", "//#DWR-REPLY\r\ndwr.engine._remoteHandleException('1234567890123','0',"
                          "{javaClassName:\"java.lang.Throwable\",message:\"no course\"});\r\n"},
        {"lesson fields split over two lines",
         "s2.hasReferences=false;s2.id=123;\r\ns2.learnedIndex=null;s2.lessonName=\"A\";"
         "s2.liveContent=null;\r\n"},
    };
    std::size_t sent = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.queueReply(
            ScriptedReply().withBody(c.body).withDelay(std::chrono::milliseconds(200)));
        putMarkerRow();
        pressParse();
        ASSERT_TRUE(waitForRequests(++sent));
        // The earlier rows stay in sight until the reply is in.
        EXPECT_EQ(rowCount(resultsList), 1);
        waitForWorkerOneToClearTheList();
        EXPECT_EQ(rowCount(resultsList), 0);
        EXPECT_EQ(statusUtf8(), "解析中，请稍后");
        EXPECT_EQ(server_.requests().size(), sent);
    }
}

// Nothing listens at the window's host: the course plan request fails at once.
TEST_F(ParseInWindow, UnreachableServiceGivesNoRows) {
    putMarkerRow();
    pressParse();
    waitForWorkerOneToClearTheList();
    EXPECT_EQ(rowCount(resultsList), 0);
    EXPECT_EQ(statusUtf8(), "解析中，请稍后");
}
