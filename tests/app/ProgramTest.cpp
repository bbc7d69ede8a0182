// Start-up and exit: the program's directory, the global state and its exit routine,
// and the whole program path ending with exit code 0 while a worker waits in the seam.

#include "tests/app/GuiTestBase.h"
#include "tests/app/TestEngine.h"

#include "app/ProgramDirectory.h"
#include "app/QtControlSeam.h"
#include "app/Startup.h"
#include "download/EngineLoader.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <unistd.h>

using namespace std::chrono_literals;

TEST(ProgramDirectoryTest, IsEverythingBeforeTheLastSlash) {
    struct Case {
        const char* programFile;
        const char* directory;
    };
    const Case cases[] = {
        {"/opt/coursedl/bin/coursedl", "/opt/coursedl/bin"},
        {"/home/用户/工具/coursedl", "/home/用户/工具"},
        {"/coursedl", "/"}, // the root folder shows as "/", not as nothing
        {"/a b/c", "/a b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(programDirectory(QString::fromUtf8(c.programFile)),
                  QString::fromUtf8(c.directory))
            << c.programFile;
}

TEST(GlobalStateTest, StartsEmptyWithBothRecordsAndIsReleasedByTheExitRoutine) {
    auto state = createGlobalState();
    EXPECT_EQ(state->currentTaskHandle, 0);
    EXPECT_EQ(state->currentRow, 0);
    ASSERT_NE(state->chosenExtension, nullptr);
    EXPECT_EQ(state->chosenExtension->get(), "");
    EXPECT_NE(state->taskInfo, nullptr);
    EXPECT_NE(state->taskParam, nullptr);

    // A worker still holding the extension keeps its own reference alive.
    std::shared_ptr<SharedText> heldByWorker = state->chosenExtension;
    state->fileName = "lesson.mp4";
    runExitRoutine(*state);
    EXPECT_EQ(state->chosenExtension, nullptr);
    EXPECT_EQ(state->taskInfo, nullptr);
    EXPECT_EQ(state->taskParam, nullptr);
    EXPECT_EQ(state->fileName, "");
    heldByWorker->set(".mp4");
    runExitRoutine(*state); // a second run finds nothing left
}

namespace {

// Reports the engine calls as the process ends.
void reportEngineCalls() {
    std::fprintf(stderr, "XL_Init %d XL_UnInit %d\n", testEngineInitCalls(),
                 testEngineUnInitCalls());
    std::fflush(stderr);
}

// The program's path from the window on, with a worker blocked in a seam call when
// the window is closed.
[[noreturn]] void closeWhileAWorkerWaits() {
    alarm(30); // a program that hangs instead of ending dies of SIGALRM and fails the test
    dlengine::setLibraryName(
        (QCoreApplication::applicationDirPath() + QStringLiteral("/libapptestengine.so"))
            .toStdString());
    static auto state = createGlobalState();
    registerExitRoutine(*state);
    std::at_quick_exit(reportEngineCalls);
    runMainWindowUntilClosed(*state, "127.0.0.1:9", [](MainWindow& window) {
        QTimer::singleShot(0, &window, [&window] {
            std::thread([seam = window.controls()] {
                seam->setText("透明标签2", "x");
                // Released by the closed window; the worker then waits on, like one
                // stuck in a network call, and must not keep the program alive.
                std::this_thread::sleep_for(1h);
            }).detach();
            while (window.seam().waitingCalls() == 0)
                std::this_thread::sleep_for(1ms);
            window.close();
        });
    });
}

} // namespace

TEST(ProgramExitDeathTest, ClosingTheWindowEndsTheProgramWithZeroWhileAWorkerWaits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(closeWhileAWorkerWaits(), ::testing::ExitedWithCode(0), "XL_Init 1 XL_UnInit 1");
}
