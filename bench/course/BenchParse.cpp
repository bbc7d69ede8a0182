// Time from "解析" to the summary in the status line, in the real window (offscreen),
// for a generated course on the bundled sandbox that adds a fixed latency before every
// plain-call reply. Prints each run's total and the time per lesson beyond the
// latency: (total - calls x latency) / lessons.
//
//   bench_parse [lessons] [latency ms] [runs]     (defaults 300, 20, 3)

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "sandbox/CourseSandbox.h"
#include "seam/ControlSeam.h"
#include "text/Codepage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

static int argumentOr(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::max(0, std::atoi(argv[index])) : fallback;
}

struct RunResult {
    bool finished;
    double totalMs;
    std::size_t calls;
};

// One parse of the generated course in a fresh window and a fresh sandbox.
static RunResult timeOneParse(int lessons, int latencyMs) {
    SandboxOptions options;
    options.port = 0;
    options.generatedLessons = lessons;
    options.latencyMs = latencyMs;
    CourseSandbox sandbox(options);
    if (!sandbox.start()) {
        std::fprintf(stderr, "the sandbox did not start\n");
        std::exit(1);
    }
    auto state = createGlobalState();
    MainWindow window(*state, sandbox.host());
    window.show();
    const auto controls = window.controls();
    controls->setText("编辑框1", "http://" + sandbox.host() + "/course/introduction/" +
                                     std::string(CourseSandbox::generatedCourseId) + ".htm");
    const std::string summary = utf8ToCp936("解析完成共解析到： " + std::to_string(lessons) +
                                            " 个文件。双击可以单个加入下载列表");
    auto parseButton = window.findChild<QAbstractButton*>(QString::fromUtf8("按钮1"));

    QEventLoop loop;
    QTimer poll;
    bool finished = false;
    const auto timeLimit =
        std::chrono::seconds(60) + lessons * std::chrono::milliseconds(10 * (latencyMs + 10));
    const Clock::time_point start = Clock::now();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (controls->text("透明标签2") == summary && controls->isEnabled("按钮4")) {
            finished = true;
            loop.quit();
        } else if (Clock::now() - start > timeLimit) {
            loop.quit();
        }
    });
    parseButton->click();
    poll.start(1);
    loop.exec();
    const double totalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return {finished, totalMs, sandbox.plainCalls().size()};
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int lessons = std::max(1, argumentOr(argc, argv, 1, 300));
    const int latencyMs = argumentOr(argc, argv, 2, 20);
    const int runs = std::max(1, argumentOr(argc, argv, 3, 3));

    std::printf("parse of %d lessons, %d ms latency per plain call\n", lessons, latencyMs);
    std::vector<double> overheads;
    for (int run = 1; run <= runs; ++run) {
        const RunResult result = timeOneParse(lessons, latencyMs);
        if (!result.finished) {
            std::printf("run %d: no summary after %.0f ms\n", run, result.totalMs);
            return 1;
        }
        const double overhead =
            (result.totalMs - static_cast<double>(result.calls) * latencyMs) / lessons;
        overheads.push_back(overhead);
        std::printf("run %d: total %.0f ms, %zu calls, overhead %.2f ms per lesson\n", run,
                    result.totalMs, result.calls, overhead);
    }
    std::sort(overheads.begin(), overheads.end());
    std::printf("median overhead %.2f ms per lesson beyond the latency\n",
                overheads[overheads.size() / 2]);
    return 0;
}
