// The control seam: calls from a worker thread carried out on the UI thread, texts in
// code page 936, the empty answers for controls, rows and columns that do not exist,
// and closing the window while a worker waits in a call.

#include "tests/app/GuiTestBase.h"

#include "app/QtControlSeam.h"
#include "text/Codepage.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>

using namespace std::chrono_literals;

namespace {
std::string cp936(const char* utf8) {
    return utf8ToCp936(utf8);
}
} // namespace

class ControlSeamTest : public GuiTestBase {
protected:
    // Runs `work` on a thread of its own while the UI thread keeps handling events, as
    // it does while a parsing worker runs.
    template <typename Work> void runOnWorker(Work work) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            work();
            done = true;
        });
        const bool finished = QTest::qWaitFor([&] { return done.load(); }, 5000);
        worker.join();
        ASSERT_TRUE(finished);
    }

    // Blocks the UI thread until a worker's call is waiting for it.
    bool waitUntilAWorkerIsWaiting() {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (window().seam().waitingCalls() == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
};

TEST_F(ControlSeamTest, WorkerCallsAreCarriedOutOnTheUiThreadInCodePage936) {
    auto seam = controls();
    const char* const results = "超级列表框1";
    runOnWorker([&] {
        seam->setText("透明标签2", cp936("解析中，请稍后"));
        const int row = seam->appendRow(results);
        EXPECT_EQ(row, 0);
        seam->setCellText(results, row, 1, cp936("第一课 Intro"));
        seam->setEnabled("按钮2", true);
        EXPECT_EQ(seam->rowCount(results), 1);
        EXPECT_EQ(seam->cellText(results, 0, 1), cp936("第一课 Intro"));
        EXPECT_EQ(seam->text("按钮3"), cp936("清空列表"));
        EXPECT_TRUE(seam->isChecked("单选框4"));
        EXPECT_FALSE(seam->isChecked("单选框1"));
        EXPECT_TRUE(seam->isEnabled("按钮2"));
    });
    EXPECT_EQ(control<QLabel>("透明标签2")->text(), ui("解析中，请稍后"));
    EXPECT_EQ(list("超级列表框1")->topLevelItem(0)->text(1), ui("第一课 Intro"));
    EXPECT_TRUE(control("按钮2")->isEnabled());
}

TEST_F(ControlSeamTest, ManyWorkersAppendingAtOnceGetDistinctRows) {
    auto seam = controls();
    constexpr int workers = 4, rowsEach = 25;
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < rowsEach; ++i) {
                const int row = seam->appendRow("超级列表框1");
                seam->setCellText("超级列表框1", row, 0, std::to_string(w * 100 + i));
            }
            ++finished;
        });
    }
    const bool allDone = QTest::qWaitFor([&] { return finished == workers; }, 10000);
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(allDone);
    std::set<std::string> numbers;
    for (int row = 0; row < rowCount("超级列表框1"); ++row)
        numbers.insert(cellUtf8("超级列表框1", row, 0));
    EXPECT_EQ(numbers.size(), static_cast<std::size_t>(workers * rowsEach));
}

TEST_F(ControlSeamTest, MissingControlsRowsAndColumnsGiveEmptyAnswersAndChangeNothing) {
    auto seam = controls();
    appendRow("超级列表框2", {"1", "a", "", "x", ""});
    EXPECT_EQ(seam->text("无此控件"), "");
    EXPECT_FALSE(seam->isEnabled("无此控件"));
    EXPECT_EQ(seam->rowCount("无此控件"), 0);
    EXPECT_EQ(seam->appendRow("无此控件"), -1);
    EXPECT_EQ(seam->selectedRow("超级列表框2"), -1);
    struct Cell {
        int row, column;
    };
    for (Cell cell : {Cell{-1, 0}, Cell{1, 0}, Cell{0, -1}, Cell{0, 5}}) {
        EXPECT_EQ(seam->cellText("超级列表框2", cell.row, cell.column), "");
        seam->setCellText("超级列表框2", cell.row, cell.column, "z");
    }
    seam->deleteRow("超级列表框2", 1);
    seam->deleteRow("超级列表框2", -1);
    ASSERT_EQ(rowCount("超级列表框2"), 1);
    for (int column = 0; column < 5; ++column)
        EXPECT_NE(cellUtf8("超级列表框2", 0, column), "z");
}

TEST_F(ControlSeamTest, TimerPeriodStartsAndStopsTheTimer) {
    auto seam = controls();
    seam->setTimerPeriod("时钟1", 1000);
    EXPECT_EQ(seam->timerPeriod("时钟1"), 1000);
    seam->setTimerPeriod("时钟1", 0);
    EXPECT_EQ(seam->timerPeriod("时钟1"), 0);
}

TEST_F(ControlSeamTest, ButtonCaptionCanBeChanged) {
    auto seam = controls();
    seam->setText("按钮暂停", cp936("继续"));
    EXPECT_EQ(control<QPushButton>("按钮暂停")->text(), ui("继续"));
    EXPECT_EQ(seam->text("按钮暂停"), cp936("继续"));
}

TEST_F(ControlSeamTest, MessageBoxHasOnlyAnOkButtonAndWaitsForIt) {
    bool seen = false;
    whenModalOpens([&](QWidget* modal) {
        auto box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->text(), ui("无下载任务"));
        EXPECT_EQ(box->windowTitle(), ui("信息："));
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    controls()->showMessage(cp936("无下载任务"), cp936("信息："));
    EXPECT_TRUE(seen);
}

TEST_F(ControlSeamTest, CompletionSoundIsInTheProgramAndPlaysWithoutBlocking) {
    // A resource of a static library is easily dropped by the linker.
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/sound/chime.wav")));
    // Two in a row, as when two short files finish one after the other; without an
    // audio device nothing is heard and nothing fails.
    controls()->playCompletionSound();
    controls()->playCompletionSound();
}

TEST_F(ControlSeamTest, ClosingTheWindowReleasesAWorkerWaitingInACall) {
    auto seam = controls();
    auto answer = std::make_shared<std::promise<std::string>>();
    std::thread worker([seam, answer] { answer->set_value(seam->text("编辑框1")); });
    // The UI thread does not handle events here, so the call stays waiting until the
    // window goes away.
    ASSERT_TRUE(waitUntilAWorkerIsWaiting());
    destroyWindow();
    auto released = answer->get_future();
    if (released.wait_for(5s) != std::future_status::ready) {
        worker.detach(); // still blocked: keep the test program from hanging on it
        FAIL() << "the waiting worker was not released";
    }
    EXPECT_EQ(released.get(), "");
    worker.join();

    // Later calls answer at once with empty results, from any thread.
    EXPECT_EQ(seam->rowCount("超级列表框1"), 0);
    std::thread late([&] {
        seam->setText("透明标签2", "x");
        EXPECT_EQ(seam->appendRow("超级列表框1"), -1);
        seam->showMessage("x", "y");
    });
    late.join();
    QCoreApplication::processEvents(); // nothing queued may run now
}
