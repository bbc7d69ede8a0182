// The download controller in the real main window, with the real engine library and
// the bundled course sandbox serving the video files.
#include "course/AddressCodec.h"
#include "download/EngineLoader.h"
#include "sandbox/CourseSandbox.h"
#include "tests/app/GuiTestBase.h"
#include "text/Codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

namespace fs = std::filesystem;

constexpr const char* downloadList = "超级列表框2";
constexpr int finishWaitMs = 30000;

class DownloadControllerTest : public GuiTestBase {
protected:
    virtual SandboxOptions sandboxOptions() const {
        SandboxOptions options;
        options.port = 0;
        options.videoSize = 200 * 1024;
        return options;
    }

    void SetUp() override {
        options_ = sandboxOptions();
        sandbox_ = std::make_unique<CourseSandbox>(options_);
        ASSERT_TRUE(sandbox_->start());
        GuiTestBase::SetUp();
        ASSERT_TRUE(root_.isValid());
        // The save folder lies two levels down, so a file that escaped it would show.
        folder_ = fs::path(root_.path().toStdString()) / "a" / "b";
        fs::create_directories(folder_);
        controls()->setText("编辑框保存", utf8ToCp936(folder_.string()));
        state().chosenExtension->set(".mp4");
    }

    std::string webHost() const override { return sandbox_->host(); }
    std::string engineLibrary() const override {
        return (QCoreApplication::applicationDirPath() + "/libdlengine.so").toStdString();
    }

    // A video path of the sample course; `lesson` picks one of its lessons.
    static std::string videoPath(int lesson) {
        return CourseSandbox::videoPath(CourseSandbox::sampleCourseId,
                                        CourseSandbox::sampleLessons()[lesson].id, 4);
    }
    std::string scrambledAddress(const std::string& path) const {
        return scrambleAddress("http://" + sandbox_->host() + path, addressTagKey);
    }
    // A download-list row as the list commands make it (UTF-8 title, list text as is).
    void addRow(const std::string& titleUtf8, const std::string& column3) {
        appendRow(downloadList,
                  {std::to_string(rowCount(downloadList) + 1), titleUtf8, "", column3, ""});
    }
    std::string fileBytes(const fs::path& file) const {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string expectedBytes(int lesson) const {
        return CourseSandbox::videoContent(videoPath(lesson), options_.videoSize);
    }
    std::set<std::string> namesIn(const fs::path& directory) const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    bool rowFinished(int row) const { return cellUtf8(downloadList, row, 4) == "下载完毕"; }
    bool waitUntilFinished(int row) const {
        return QTest::qWaitFor([&] { return rowFinished(row); }, finishWaitMs);
    }
    std::string labelUtf8(const char* name) const { return cp936ToUtf8(controls()->text(name)); }
    int timerPeriod() const { return controls()->timerPeriod("时钟1"); }

    SandboxOptions options_;
    std::unique_ptr<CourseSandbox> sandbox_;
    QTemporaryDir root_;
    fs::path folder_;
};

// A sandbox whose video replies trickle, so a download lasts a few seconds.
class SlowDownloadTest : public DownloadControllerTest {
protected:
    SandboxOptions sandboxOptions() const override {
        SandboxOptions options = DownloadControllerTest::sandboxOptions();
        options.videoSize = 384 * 1024;
        options.rateLimitPerConnection = 128 * 1024;
        return options;
    }
};

TEST_F(DownloadControllerTest, DownloadsTheRowsOneAfterTheOtherWithTheServedBytes) {
    addRow("第一讲", scrambledAddress(videoPath(0)));
    addRow("第二讲", scrambledAddress(videoPath(1)));
    click("按钮下载");
    EXPECT_EQ(timerPeriod(), 1000);
    const std::int32_t firstTask = state().currentTaskHandle;

    ASSERT_TRUE(waitUntilFinished(0));
    // The tick that finished the first file started the second one at once.
    EXPECT_EQ(state().currentRow, 1);
    EXPECT_NE(state().currentTaskHandle, firstTask);
    EXPECT_EQ(timerPeriod(), 1000);
    EXPECT_EQ(cellUtf8(downloadList, 0, 2), "0.20MB");
    EXPECT_EQ(cellUtf8(downloadList, 1, 2), "0.00MB");

    ASSERT_TRUE(waitUntilFinished(1));
    EXPECT_EQ(timerPeriod(), 0);
    EXPECT_EQ(cellUtf8(downloadList, 1, 2), "0.20MB");
    EXPECT_EQ(fileBytes(folder_ / "第一讲.mp4"), expectedBytes(0));
    EXPECT_EQ(fileBytes(folder_ / "第二讲.mp4"), expectedBytes(1));
    EXPECT_EQ(namesIn(folder_), (std::set<std::string>{"第一讲.mp4", "第二讲.mp4"}));

    // With every row done, "下载" starts nothing and says nothing.
    const std::int32_t lastTask = state().currentTaskHandle;
    click("按钮下载");
    EXPECT_EQ(state().currentTaskHandle, lastTask);
    EXPECT_EQ(timerPeriod(), 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(DownloadControllerTest, AnEmptyListShowsNoTaskAndStartsNothing) {
    QString text;
    QString caption;
    whenModalOpens([&](QWidget* modal) {
        auto box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        text = box->text();
        caption = box->windowTitle();
        box->accept();
    });
    click("按钮下载");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !text.isEmpty(); }, 5000));
    EXPECT_EQ(text, ui("无下载任务"));
    EXPECT_EQ(caption, ui("信息："));
    EXPECT_EQ(state().currentTaskHandle, 0);
    EXPECT_EQ(timerPeriod(), 0);
}

TEST_F(DownloadControllerTest, RowsWithoutAnAddressAreSkippedAndTitlesStayInTheFolder) {
    addRow("标记失败", "解析失败");
    addRow("只有标签", scrambleAddress("", addressTagKey));
    addRow("不是地址", "0123456789");
    addRow("标记在地址里", scrambleAddress(utf8ToCp936("解析失败"), addressTagKey));
    addRow("../../evil", scrambledAddress(videoPath(2)));
    click("按钮下载");
    EXPECT_EQ(state().currentRow, 4);
    ASSERT_TRUE(waitUntilFinished(4));
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(cellUtf8(downloadList, row, 4), "") << row;
    }
    EXPECT_EQ(namesIn(folder_), std::set<std::string>{"..／..／evil.mp4"});
    EXPECT_EQ(fileBytes(folder_ / "..／..／evil.mp4"), expectedBytes(2));
    EXPECT_EQ(namesIn(folder_.parent_path()), std::set<std::string>{"b"});
    EXPECT_EQ(namesIn(folder_.parent_path().parent_path()), std::set<std::string>{"a"});
}

TEST_F(SlowDownloadTest, PauseStopsTheTaskAndResumeFinishesIt) {
    addRow("暂停测试", scrambledAddress(videoPath(0)));
    click("按钮下载");
    ASSERT_TRUE(QTest::qWaitFor([&] { return labelUtf8("透明标签1") == "下载中"; }, 10000));

    click("按钮暂停");
    EXPECT_EQ(labelUtf8("按钮暂停"), "继续");
    EXPECT_EQ(timerPeriod(), 0);
    QTest::qWait(1200);
    const std::int64_t sentWhilePaused = sandbox_->videoBytesSent();
    QTest::qWait(1200);
    EXPECT_EQ(sandbox_->videoBytesSent(), sentWhilePaused);
    EXPECT_LT(sentWhilePaused, options_.videoSize);
    EXPECT_FALSE(rowFinished(0));

    click("按钮暂停");
    EXPECT_EQ(labelUtf8("按钮暂停"), "暂停");
    EXPECT_EQ(timerPeriod(), 1000);
    ASSERT_TRUE(waitUntilFinished(0));
    EXPECT_EQ(fileBytes(folder_ / "暂停测试.mp4"), expectedBytes(0));
}

// "下载" pressed again while a file downloads: the earlier task is stopped, so two
// tasks never write the same file.
TEST_F(SlowDownloadTest, ASecondDownloadPressDoesNotCorruptTheFile) {
    addRow("重复下载", scrambledAddress(videoPath(1)));
    click("按钮下载");
    ASSERT_TRUE(QTest::qWaitFor([&] { return labelUtf8("透明标签1") == "下载中"; }, 10000));
    click("按钮下载");
    ASSERT_TRUE(waitUntilFinished(0));
    EXPECT_EQ(namesIn(folder_), std::set<std::string>{"重复下载.mp4"});
    EXPECT_EQ(fileBytes(folder_ / "重复下载.mp4"), expectedBytes(1));
}

// The list emptied and filled anew during a download: the finished file does not mark
// the new first row, which is downloaded next.
TEST_F(SlowDownloadTest, AListReplacedDuringADownloadIsDownloadedFromItsFirstRow) {
    addRow("旧的一讲", scrambledAddress(videoPath(0)));
    click("按钮下载");
    ASSERT_TRUE(QTest::qWaitFor([&] { return labelUtf8("透明标签1") == "下载中"; }, 10000));
    click("按钮1清空");
    appendRow("超级列表框1", {"1", "新的一讲", "", scrambledAddress(videoPath(1))});
    doubleClickRow("超级列表框1", 0);
    ASSERT_EQ(rowCount(downloadList), 1);
    ASSERT_TRUE(waitUntilFinished(0));
    EXPECT_EQ(fileBytes(folder_ / "旧的一讲.mp4"), expectedBytes(0));
    EXPECT_EQ(fileBytes(folder_ / "新的一讲.mp4"), expectedBytes(1));
    EXPECT_EQ(state().currentRow, 1);
}

} // namespace

namespace {

TEST_F(DownloadControllerTest, AFailedTaskShowsCancelledAndStopsPolling) {
    addRow("不存在", scrambledAddress("/video/1455026/no_such_lesson.mp4"));
    click("按钮下载");
    ASSERT_TRUE(QTest::qWaitFor([&] { return labelUtf8("透明标签1") == "已取消"; }, 20000));
    EXPECT_EQ(timerPeriod(), 0);
    EXPECT_FALSE(rowFinished(0));
    EXPECT_EQ(state().currentRow, 0);
}

// The engine reporting a paused task stops the polling; the caption stays, and the
// button pauses and resumes as ever.
TEST_F(SlowDownloadTest, AnEnginePausedTaskStopsPollingUntilResumed) {
    addRow("引擎暂停", scrambledAddress(videoPath(2)));
    click("按钮下载");
    ASSERT_TRUE(QTest::qWaitFor([&] { return labelUtf8("透明标签1") == "下载中"; }, 10000));
    dlengine::XL_StopTask(state().currentTaskHandle);
    ASSERT_TRUE(QTest::qWaitFor([&] { return labelUtf8("透明标签1") == "已暂停"; }, 5000));
    EXPECT_EQ(timerPeriod(), 0);
    EXPECT_EQ(labelUtf8("按钮暂停"), "暂停");

    click("按钮暂停");
    EXPECT_EQ(labelUtf8("按钮暂停"), "继续");
    EXPECT_EQ(timerPeriod(), 0);
    click("按钮暂停");
    EXPECT_EQ(timerPeriod(), 1000);
    ASSERT_TRUE(waitUntilFinished(0));
    EXPECT_EQ(fileBytes(folder_ / "引擎暂停.mp4"), expectedBytes(2));
}

} // namespace

namespace {

// A server that takes the connection and never answers: the task stays at sending its
// request, and the controller keeps polling.
TEST_F(DownloadControllerTest, ATaskWaitingForItsServerShowsSendingRequestAndKeepsPolling) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string url =
        "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/silent.mp4";
    addRow("无应答", scrambleAddress(url, addressTagKey));
    click("按钮下载");
    EXPECT_TRUE(QTest::qWaitFor([&] { return labelUtf8("透明标签1") == "发送请求"; }, 5000));
    EXPECT_EQ(timerPeriod(), 1000);
    EXPECT_EQ(cellUtf8(downloadList, 0, 2), "0.00MB");
    EXPECT_EQ(labelUtf8("透明标签显示").rfind("当前速度：0KB    可用资源数：", 0), 0u);
    close(listener);
}

// A folder the engine's record cannot hold would reach the engine cut short, naming
// another folder: nothing is started.
TEST_F(DownloadControllerTest, AFolderTooLongForTheEngineStartsNothing) {
    controls()->setText("编辑框保存", "/tmp/" + std::string(300, 'x'));
    addRow("太长", scrambledAddress(videoPath(0)));
    click("按钮下载");
    EXPECT_EQ(labelUtf8("透明标签1"), "保存路径过长");
    EXPECT_EQ(state().currentTaskHandle, 0);
    EXPECT_EQ(timerPeriod(), 0);
    EXPECT_EQ(state().currentRow, 0);
}

} // namespace
