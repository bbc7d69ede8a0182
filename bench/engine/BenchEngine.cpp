// Time to fetch one large file from the course sandbox on 127.0.0.1 through the engine
// library (driven through the loader and the system's records, as the program drives
// it), through the aria2c command with the same connection settings, and through
// `curl -o`; first from an unthrottled server, then from one that limits every
// connection to 4 MiB/s. Prints the times and the ratios of the throughputs. The server
// is the course-sandbox program beside this one, in a process of its own, so that all
// three clients meet it on equal terms.
//
//   bench_engine [MiB]     (default 512; files go to a temporary folder, deleted after)

#include "download/EngineLoader.h"
#include "download/TaskInfoRecord.h"
#include "download/TaskParamRecord.h"
#include "sandbox/CourseSandbox.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
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
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The engine's connection settings, given to aria2c as well.
constexpr const char* aria2cSettings =
    "--no-conf=true --quiet=true --split=8 --max-connection-per-server=8 --min-split-size=1M "
    "--file-allocation=none --allow-overwrite=true --auto-file-renaming=false";

// A course-sandbox process on a free port of 127.0.0.1, ended with the object.
class SandboxProcess final {
public:
    SandboxProcess(std::int64_t size, std::int64_t rateLimit) {
        port_ = freePort();
        const std::string program =
            (fs::read_symlink("/proc/self/exe").parent_path() / "course-sandbox").string();
        std::vector<std::string> args = {program,
                                         "--port",
                                         std::to_string(port_),
                                         "--video-size",
                                         std::to_string(size),
                                         "--rate",
                                         std::to_string(rateLimit)};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        // Its "listening on" line would only break into the table.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (port_ == 0 ||
            posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SandboxProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    // Waits until the server takes connections.
    bool ready() const {
        for (int attempt = 0; pid_ > 0 && attempt < 250; ++attempt) {
            const int s = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address = loopback(port_);
            const bool connected =
                connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            close(s);
            if (connected)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    static int freePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        int port = 0;
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        close(s);
        return port;
    }

    int port_ = 0;
    pid_t pid_ = 0;
};

struct Outcome {
    double seconds = 0;
    bool ok = false;
};

bool fileHasSize(const fs::path& path, std::int64_t size) {
    std::error_code error;
    return fs::is_regular_file(path, error) &&
           static_cast<std::int64_t>(fs::file_size(path, error)) == size;
}

// Spot checks of the downloaded bytes at a few places: comparing all of a large file
// would cost as much as the download.
bool spotChecksMatch(const fs::path& path, const std::string& videoPath, std::int64_t size) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bool same = true;
    constexpr std::int64_t span = 4096;
    for (std::int64_t at : {std::int64_t{0}, size / 3, size / 2, size - span}) {
        if (at < 0)
            continue;
        const std::int64_t n = std::min(span, size - at);
        std::string bytes(static_cast<std::size_t>(n), '\0');
        std::fseek(file, static_cast<long>(at), SEEK_SET);
        same = same && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
               bytes == CourseSandbox::videoContent(videoPath, at + n).substr(at);
    }
    std::fclose(file);
    return same;
}

Outcome throughEngine(const std::string& url, const fs::path& folder, std::int64_t size) {
    TaskParamRecord param;
    TaskInfoRecord info;
    param.defineFields(url, {}, {}, "engine.mp4", folder.string() + "/", false, true, true);
    info.defineFields();
    const auto start = Clock::now();
    const std::int32_t handle = dlengine::XL_CreateTask(param.baseAddress());
    dlengine::XL_StartTask(handle);
    for (;;) {
        if (dlengine::XL_QueryTaskInfoEx(handle, info.baseAddress()) != 0 &&
            (info.state() == 4 || info.state() == 1))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return {seconds, info.state() == 4 && fileHasSize(folder / "engine.mp4", size)};
}

Outcome throughCommand(const std::string& command, const fs::path& file, std::int64_t size) {
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return {seconds, status == 0 && fileHasSize(file, size)};
}

void report(const char* what, const Outcome& outcome, std::int64_t size) {
    std::printf("  %-8s %8.2f s  %9.1f MiB/s  %s\n", what, outcome.seconds,
                static_cast<double>(size) / (1024.0 * 1024.0) / outcome.seconds,
                outcome.ok ? "" : "FAILED");
}

// The three ways, taken in turn `rounds` times; each keeps its best time, so that a
// moment of load from elsewhere on the machine does not decide the comparison.
bool compare(const char* title, std::int64_t size, std::int64_t rateLimit, int rounds,
             const fs::path& folder) {
    SandboxProcess sandbox(size, rateLimit);
    if (!sandbox.ready()) {
        std::fprintf(stderr, "the sandbox did not start\n");
        return false;
    }
    const std::string videoPath =
        CourseSandbox::videoPath(CourseSandbox::sampleCourseId, "1002185001", 4);
    const std::string url = "http://" + sandbox.host() + videoPath;
    std::printf("%s (best of %d)\n", title, rounds);

    Outcome engine{1e30, true}, aria2c{1e30, true}, curl{1e30, true};
    auto keepBest = [](Outcome& best, const Outcome& next) {
        best.seconds = std::min(best.seconds, next.seconds);
        best.ok = best.ok && next.ok;
    };
    for (int round = 0; round < rounds; ++round) {
        Outcome e = throughEngine(url, folder, size);
        e.ok = e.ok && spotChecksMatch(folder / "engine.mp4", videoPath, size);
        fs::remove(folder / "engine.mp4");
        keepBest(engine, e);

        keepBest(aria2c, throughCommand(std::string("aria2c ") + aria2cSettings + " -d '" +
                                            folder.string() + "' -o aria2c.mp4 '" + url + "'",
                                        folder / "aria2c.mp4", size));
        fs::remove(folder / "aria2c.mp4");

        keepBest(curl,
                 throughCommand("curl -s -o '" + (folder / "curl.mp4").string() + "' '" + url + "'",
                                folder / "curl.mp4", size));
        fs::remove(folder / "curl.mp4");
    }
    report("engine", engine, size);
    report("aria2c", aria2c, size);
    report("curl", curl, size);
    std::printf("  engine / aria2c throughput: %.2f (goal >= 0.90)\n",
                aria2c.seconds / engine.seconds);
    std::printf("  engine / curl throughput:   %.2f%s\n", curl.seconds / engine.seconds,
                rateLimit > 0 ? " (goal >= 3.00)" : "");
    return engine.ok && aria2c.ok && curl.ok;
}

} // namespace

int main(int argc, char** argv) {
    const std::int64_t mebibytes = argc > 1 ? std::atoll(argv[1]) : 512;
    if (mebibytes <= 0) {
        std::fprintf(stderr, "usage: bench_engine [MiB]\n");
        return 2;
    }
    const std::int64_t size = mebibytes * 1024 * 1024;
    char pattern[] = "/tmp/bench-engine-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder = pattern;
    dlengine::XL_Init();
    std::printf("%lld MiB from 127.0.0.1, 8 connections of at least 1 MiB\n",
                static_cast<long long>(mebibytes));
    bool ok = compare("unthrottled server:", size, 0, 3, folder);
    // Throttled, one fetch takes its size / (connections x 4 MiB/s): once is enough.
    ok = compare("server limiting each connection to 4 MiB/s:", size, 4 * 1024 * 1024, 1, folder) &&
         ok;
    dlengine::XL_UnInit();
    fs::remove_all(folder);
    return ok ? 0 : 1;
}
