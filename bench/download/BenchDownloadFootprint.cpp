// The program's footprint while it downloads: peak resident memory while the main
// window downloads a 1 GiB file through the engine, and CPU use while it only polls
// the engine (a task whose server accepts the connection and never answers).
//
//   bench_download_footprint [size in MiB, default 1024]
//
// The parent process serves the video from an in-process course sandbox and measures;
// the child process is the program: the real main window, download controller and
// engine library (run offscreen), driven as a user would. Only the child's figures
// count: /proc/<child>/status VmHWM for memory, utime + stime for CPU.
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "course/AddressCodec.h"
#include "sandbox/CourseSandbox.h"
#include "seam/ControlSeam.h"
#include "text/Codepage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string downloadList = "超级列表框2";

// --- the program (child) ---------------------------------------------------------

void addRow(ControlSeam& controls, const std::string& title, const std::string& url) {
    const int row = controls.appendRow(downloadList);
    controls.setCellText(downloadList, row, 0, std::to_string(row + 1));
    controls.setCellText(downloadList, row, 1, title);
    controls.setCellText(downloadList, row, 3, scrambleAddress(url, addressTagKey));
}

int runProgram(const std::string& videoUrl, const std::string& silentUrl,
               const std::string& folder) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "coursedl";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    std::unique_ptr<GlobalState> state = createGlobalState();
    MainWindow window(*state, "127.0.0.1:9");
    window.show();
    std::shared_ptr<ControlSeam> controls = window.controls();
    controls->setText("编辑框保存", folder);
    state->chosenExtension->set(".mp4");
    addRow(*controls, "big", videoUrl);
    auto download = window.findChild<QAbstractButton*>(QString::fromUtf8("按钮下载"));
    download->click();

    const std::string finished = utf8ToCp936("下载完毕");
    QTimer watch;
    bool polling = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!polling && controls->cellText(downloadList, 0, 4) == finished) {
            std::printf("downloaded\n");
            std::fflush(stdout);
            // The next row's server never answers: from now on the program only polls.
            addRow(*controls, "silent", silentUrl);
            download->click();
            polling = true;
            std::printf("polling\n");
            std::fflush(stdout);
        }
    });
    watch.start(200);
    return application.exec();
}

// --- the measurement (parent) ----------------------------------------------------

struct Usage {
    double cpuSeconds = 0;
    long peakKiB = 0;
    long residentKiB = 0;
};

Usage usageOf(pid_t pid) {
    Usage usage;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command name, which ends at the last ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14)
            utime = std::stoull(field);
        if (index == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    usage.cpuSeconds =
        static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            usage.peakKiB = std::stol(line.substr(6));
        if (line.rfind("VmRSS:", 0) == 0)
            usage.residentKiB = std::stol(line.substr(6));
    }
    return usage;
}

// A server that takes connections into its backlog and never answers them.
int silentListener(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    port = ntohs(address.sin_port);
    return fd;
}

bool readLine(std::FILE* from, const std::string& expected) {
    char line[256];
    while (std::fgets(line, sizeof line, from) != nullptr) {
        if (expected + "\n" == line)
            return true;
    }
    return false;
}

int measure(std::int64_t videoSize) {
    SandboxOptions options;
    options.port = 0;
    options.videoSize = videoSize;
    CourseSandbox sandbox(options);
    int silentPort = 0;
    const int silent = silentListener(silentPort);
    if (!sandbox.start() || silent < 0) {
        std::fprintf(stderr, "cannot start the servers\n");
        return 1;
    }
    const fs::path folder =
        fs::temp_directory_path() / ("bench_download_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string videoPath = CourseSandbox::videoPath(CourseSandbox::sampleCourseId,
                                                           CourseSandbox::sampleLessons()[0].id, 4);
    const std::string videoUrl = "http://" + sandbox.host() + videoPath;
    const std::string silentUrl = "http://127.0.0.1:" + std::to_string(silentPort) + "/silent.mp4";

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string folderText = folder.string();
    const char* childArgs[] = {self.c_str(),      "--program",        videoUrl.c_str(),
                               silentUrl.c_str(), folderText.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, self.c_str(), &actions, nullptr, const_cast<char**>(childArgs),
                    environ) != 0)
        return 1;
    close(pipeFds[1]);
    std::FILE* fromChild = fdopen(pipeFds[0], "r");

    const auto started = Clock::now();
    const bool downloaded = readLine(fromChild, "downloaded");
    const double downloadSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    const Usage afterDownload = usageOf(child);
    const bool polling = downloaded && readLine(fromChild, "polling");
    // Let the new task settle into waiting for its silent server, then watch 20 polls.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const Usage pollStart = usageOf(child);
    constexpr int pollSeconds = 20;
    std::this_thread::sleep_for(std::chrono::seconds(pollSeconds));
    const Usage pollEnd = usageOf(child);

    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    std::fclose(fromChild);
    close(silent);
    std::error_code ignored;
    const auto fileSize = fs::file_size(folder / "big.mp4", ignored);
    fs::remove_all(folder, ignored);

    if (!downloaded || !polling || fileSize != static_cast<std::uintmax_t>(videoSize)) {
        std::fprintf(stderr, "the download did not complete (file size %ju)\n",
                     static_cast<std::uintmax_t>(fileSize));
        return 1;
    }
    const double mib = static_cast<double>(videoSize) / 1048576.0;
    const double pollCpu = (pollEnd.cpuSeconds - pollStart.cpuSeconds) / pollSeconds * 100.0;
    std::printf("download of %.0f MiB: %.1f s (%.0f MiB/s), CPU %.1f s\n", mib, downloadSeconds,
                mib / downloadSeconds, afterDownload.cpuSeconds);
    std::printf("peak resident memory while downloading: %.1f MiB (goal: under 150 MiB)\n",
                static_cast<double>(afterDownload.peakKiB) / 1024.0);
    std::printf("CPU while only polling: %.2f %% over %d s (goal: under 1 %%)\n", pollCpu,
                pollSeconds);
    return afterDownload.peakKiB < 150 * 1024 && pollCpu < 1.0 ? 0 : 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--program")
        return runProgram(argv[2], argv[3], argv[4]);
    const std::int64_t mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    return measure(mib * 1048576);
}
