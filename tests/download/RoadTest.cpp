// The whole road as a user takes it: paste the course address, "解析", wait for the
// summary, "一键加入下载列表", the download page, "下载", and wait for every file. Real
// window, real parsing workers, real engine, the course sandbox.
#include "sandbox/CourseSandbox.h"
#include "tests/app/GuiTestBase.h"
#include "text/Codepage.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

namespace fs = std::filesystem;

class RoadTest : public GuiTestBase {
protected:
    void SetUp() override {
        SandboxOptions options;
        options.port = 0;
        options.videoSize = videoSize;
        sandbox_ = std::make_unique<CourseSandbox>(options);
        ASSERT_TRUE(sandbox_->start());
        GuiTestBase::SetUp();
        ASSERT_TRUE(folder_.isValid());
    }
    std::string webHost() const override { return sandbox_->host(); }
    std::string engineLibrary() const override {
        return (QCoreApplication::applicationDirPath() + "/libdlengine.so").toStdString();
    }

    static constexpr std::int64_t videoSize = 96 * 1024;
    std::unique_ptr<CourseSandbox> sandbox_;
    QTemporaryDir folder_;
};

std::string fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(RoadTest, ACourseAddressBecomesItsVideoFiles) {
    const auto& lessons = CourseSandbox::sampleLessons();
    auto address = control<QLineEdit>("编辑框1");
    address->setText(ui("http://") + QString::fromStdString(sandbox_->host()) +
                     ui("/course/introduction/1455026.htm"));
    click("按钮1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return control<QWidget>("按钮2")->isEnabled(); }, 20000));
    EXPECT_EQ(rowCount("超级列表框1"), static_cast<int>(lessons.size()));

    click("按钮2");
    ASSERT_EQ(rowCount("超级列表框2"), static_cast<int>(lessons.size()));
    auto saveBox = control<QLineEdit>("编辑框保存");
    showPageOf(saveBox);
    saveBox->setText(folder_.path());
    click("按钮下载");

    const auto everyVideoDone = [&] {
        for (std::size_t row = 0; row < lessons.size(); ++row) {
            const bool done = cellUtf8("超级列表框2", static_cast<int>(row), 4) == "下载完毕";
            if (lessons[row].hasVideo && !done) {
                return false;
            }
        }
        return true;
    };
    ASSERT_TRUE(QTest::qWaitFor(everyVideoDone, 60000));

    std::set<std::string> expectedNames;
    for (std::size_t row = 0; row < lessons.size(); ++row) {
        SCOPED_TRACE(lessons[row].nameUtf8);
        const std::string completion = cellUtf8("超级列表框2", static_cast<int>(row), 4);
        if (!lessons[row].hasVideo) {
            // A lesson without a video is marked failed by the parse and skipped.
            EXPECT_EQ(completion, "");
            continue;
        }
        EXPECT_EQ(completion, "下载完毕");
        const std::string name = lessons[row].nameUtf8 + ".mp4";
        expectedNames.insert(name);
        const std::string path =
            CourseSandbox::videoPath(CourseSandbox::sampleCourseId, lessons[row].id, 4);
        EXPECT_EQ(fileBytes(fs::path(folder_.path().toStdString()) / name),
                  CourseSandbox::videoContent(path, videoSize));
    }
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.path().toStdString())) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, expectedNames);
    EXPECT_EQ(controls()->timerPeriod("时钟1"), 0);
}

} // namespace
