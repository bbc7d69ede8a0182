#include "sandbox/CourseSandbox.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

namespace {

// The program under test, started with a pipe on its standard output.
class SandboxProcess final {
public:
    explicit SandboxProcess(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), COURSE_SANDBOX_PROGRAM);
        std::vector<char*> argv;
        for (std::string& a : arguments) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        stdout_ = out[0];
    }
    ~SandboxProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0) {
            close(stdout_);
        }
    }
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    // The first line of standard output, waiting up to 10 s for it.
    std::string firstLine() {
        std::string line;
        while (line.find('\n') == std::string::npos) {
            pollfd p{stdout_, POLLIN, 0};
            char buffer[256];
            if (poll(&p, 1, 10000) <= 0) {
                break;
            }
            const ssize_t n = read(stdout_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            line.append(buffer, static_cast<std::size_t>(n));
        }
        return line;
    }

    // The exit code, or -1 when the process did not exit normally within 5 s.
    int exitCode() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    void signal(int number) const { kill(pid_, number); }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

TEST(SandboxProgram, ServesWithItsOptionsAndExitsCleanlyOnStopSignals) {
    for (int stopSignal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(stopSignal);
        SandboxProcess program({"--port", "0", "--video-size", "1234", "--lessons", "3"});
        const std::string line = program.firstLine();
        std::smatch match;
        ASSERT_TRUE(
            std::regex_match(line, match, std::regex("listening on 127\\.0\\.0\\.1:(\\d+)\n")))
            << line;
        httplib::Client cli("127.0.0.1", std::stoi(match[1].str()));
        const auto head = cli.Head(CourseSandbox::videoPath("2000000", "3000003", 4));
        ASSERT_TRUE(head);
        EXPECT_EQ(head->status, 200);
        EXPECT_EQ(head->get_header_value("Content-Length"), "1234");
        program.signal(stopSignal);
        EXPECT_EQ(program.exitCode(), 0);
    }
}

TEST(SandboxProgram, RefusesBadOptionsAndATakenPort) {
    const std::vector<std::string> badOptions[] = {
        {"--port", "x"},
        {"--port", "70000"},
        {"--rate", "-1"},
        {"--lessons"},
        {"--cut", "2", "--latency", "1.5"},
        {"--bogus"},
    };
    for (const auto& options : badOptions) {
        SandboxProcess program(options);
        EXPECT_EQ(program.exitCode(), 2) << options.front();
    }
    CourseSandbox holder({.port = 0});
    ASSERT_TRUE(holder.start());
    SandboxProcess program({"--port", std::to_string(holder.port())});
    EXPECT_EQ(program.exitCode(), 1);
}

} // namespace
