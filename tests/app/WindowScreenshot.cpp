// Writes pictures of the main window to PNG files. Run it under Xvfb with the CJK font
// installed.
//
//   xvfb-run -a build/bin/window-screenshot docs/window.png [TAB-PAGE 0..2]
// The window as it opens (the counting stand-in engine; nothing is downloaded).
//
//   xvfb-run -a build/bin/window-screenshot --course docs/parsed.png docs/downloading.png
// Real use: an in-process course sandbox, the real engine (libdlengine.so beside the
// program) and the real window. "解析" on the sample course, the results page once the
// summary is in the status line; then "一键加入下载列表", "下载" into a temporary folder,
// and the download page after a few timer ticks. The sandbox's videos are large and
// served slowly, so the first file is still being downloaded in the second picture.

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "download/EngineLoader.h"
#include "sandbox/CourseSandbox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace {

QString ui(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString besideProgram(const char* fileName) {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + ui(fileName);
}

bool savePicture(QWidget& window, const char* file) {
    QTest::qWait(300); // lets the last changes be painted
    if (window.grab().save(QString::fromLocal8Bit(file), "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", file);
    return false;
}

int windowAsItOpens(const char* output, const char* tabPage) {
    // The picture needs no downloads: the counting stand-in engine is enough.
    dlengine::setLibraryName(besideProgram("libapptestengine.so").toStdString());
    auto state = createGlobalState();
    MainWindow window(*state, "127.0.0.1:8765");
    if (tabPage)
        window.findChild<QTabWidget*>(ui("选择夹1"))->setCurrentIndex(std::atoi(tabPage));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    return savePicture(window, output) ? 0 : 1;
}

// The sandbox on the usual port, so that the address in the picture is the one ./run
// shows; on any free port when that one is taken.
std::unique_ptr<CourseSandbox> startSandbox() {
    SandboxOptions options;
    options.videoSize = 200LL << 20;
    options.rateLimitPerConnection = 1LL << 20;
    for (int port : {8765, 0}) {
        options.port = port;
        auto sandbox = std::make_unique<CourseSandbox>(options);
        if (sandbox->start())
            return sandbox;
    }
    return nullptr;
}

template <typename Control> Control* control(MainWindow& window, const char* name) {
    auto found = window.findChild<Control*>(ui(name));
    if (!found)
        std::fprintf(stderr, "no control named %s\n", name);
    return found;
}

// A real mouse click on the button's middle, its tab page brought to the front first.
bool click(MainWindow& window, const char* name) {
    auto button = control<QPushButton>(window, name);
    if (!button)
        return false;
    const QVariant page = button->property("tabPage");
    if (page.isValid())
        control<QTabWidget>(window, "选择夹1")->setCurrentIndex(page.toInt());
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    return true;
}

bool waitFor(const char* what, const std::function<bool()>& condition, int timeoutMs) {
    if (QTest::qWaitFor(condition, timeoutMs))
        return true;
    std::fprintf(stderr, "gave up waiting for %s\n", what);
    return false;
}

int courseInUse(const char* parsedOutput, const char* downloadingOutput) {
    const auto sandbox = startSandbox();
    if (!sandbox) {
        std::fputs("the course sandbox cannot listen\n", stderr);
        return 1;
    }
    // A short name with Chinese in it, as a user's own folder would have; it outlives
    // the window, whose engine writes into it.
    QTemporaryDir folder(QDir::tempPath() + ui("/视频-XXXXXX"));
    if (!folder.isValid()) {
        std::fputs("no temporary folder\n", stderr);
        return 1;
    }
    dlengine::setLibraryName(besideProgram("libdlengine.so").toStdString());
    auto state = createGlobalState();
    auto window = std::make_unique<MainWindow>(*state, sandbox->host());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;

    // The address box already holds the sample course's address on the sandbox's host.
    if (!click(*window, "按钮1"))
        return 1;
    auto status = control<QLabel>(*window, "透明标签2");
    auto addAll = control<QPushButton>(*window, "按钮2");
    const bool parsed = waitFor(
        "the summary of the parse",
        [&] { return status->text().startsWith(ui("解析完成共解析到：")) && addAll->isEnabled(); },
        20000);
    if (!parsed || !savePicture(*window, parsedOutput))
        return 1;

    if (!click(*window, "按钮2"))
        return 1;
    control<QTabWidget>(*window, "选择夹1")->setCurrentIndex(1);
    control<QLineEdit>(*window, "编辑框保存")->setText(folder.path());
    if (!click(*window, "按钮下载"))
        return 1;
    auto stateLabel = control<QLabel>(*window, "透明标签1");
    if (!waitFor(
            "the first download to run", [&] { return stateLabel->text() == ui("下载中"); }, 10000))
        return 1;
    // A few more ticks of the one-second timer: size, speed and sources filled in.
    QTest::qWait(3500);
    const bool saved = savePicture(*window, downloadingOutput);
    // What the picture claims: the engine is writing the first lesson into the folder
    // (the file is sparse, so its size says little; the sandbox counts what it sent).
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    std::printf("in the download folder: %s; video bytes sent: %lld\n",
                files.join(ui(", ")).toUtf8().constData(),
                static_cast<long long>(sandbox->videoBytesSent()));
    if (files.isEmpty())
        std::fputs("nothing was written into the download folder\n", stderr);

    // The engine is uninitialised with the window, before the folder goes.
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    sandbox->stop();
    return saved && !files.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool courseMode = argc > 1 && std::string(argv[1]) == "--course";
    const bool course = courseMode && argc == 4;
    const bool opening = !courseMode && (argc == 2 || argc == 3);
    if (!course && !opening) {
        std::fprintf(stderr,
                     "usage: %s OUTPUT.png [TAB-PAGE 0..2]\n"
                     "       %s --course PARSED.png DOWNLOADING.png\n",
                     argv[0], argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    if (course)
        return courseInUse(argv[2], argv[3]);
    return windowAsItOpens(argv[1], argc == 3 ? argv[2] : nullptr);
}
