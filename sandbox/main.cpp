// course-sandbox: the bundled stand-in for the course platform, for ./run, the
// benchmarks and manual tries. Runs until SIGINT or SIGTERM.

#include "sandbox/CourseSandbox.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

namespace {

void printUsage(std::FILE* to) {
    std::fputs("usage: course-sandbox [options]\n"
               "  --port N              port on 127.0.0.1 (default 8765; 0 picks a free one)\n"
               "  --lessons N           lessons of the generated course 2000000 (default 0: none)\n"
               "  --video-size BYTES    size of every video file (default 1048576)\n"
               "  --rate BYTES_PER_S    rate limit of each video connection (default 0: none)\n"
               "  --latency MS          added before every plain-call reply (default 0)\n"
               "  --fail-503 N          answer the first N video requests with 503\n"
               "  --cut N               cut the next N video replies off after half the body\n",
               to);
}

std::optional<long long> nonNegative(const char* text, long long max) {
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    std::size_t used = 0;
    try {
        const long long value = std::stoll(text, &used, 10);
        if (used != std::strlen(text) || value < 0 || value > max) {
            return std::nullopt;
        }
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Fills `options` from the command line; false (after a message) on anything wrong.
bool parseOptions(int argc, char** argv, SandboxOptions& options) {
    constexpr long long intMax = 2147483647;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        const auto number = [&](long long max) { return nonNegative(value, max); };
        std::optional<long long> parsed;
        if (name == "--port") {
            parsed = number(65535);
            if (parsed)
                options.port = static_cast<int>(*parsed);
        } else if (name == "--lessons") {
            parsed = number(100000);
            if (parsed)
                options.generatedLessons = static_cast<int>(*parsed);
        } else if (name == "--video-size") {
            parsed = number(1LL << 40);
            if (parsed)
                options.videoSize = *parsed;
        } else if (name == "--rate") {
            parsed = number(1LL << 40);
            if (parsed)
                options.rateLimitPerConnection = *parsed;
        } else if (name == "--latency") {
            parsed = number(600000);
            if (parsed)
                options.latencyMs = static_cast<int>(*parsed);
        } else if (name == "--fail-503") {
            parsed = number(intMax);
            if (parsed)
                options.fail503First = static_cast<int>(*parsed);
        } else if (name == "--cut") {
            parsed = number(intMax);
            if (parsed)
                options.cutFirst = static_cast<int>(*parsed);
        } else {
            std::fprintf(stderr, "course-sandbox: unknown option %s\n", name.c_str());
            return false;
        }
        if (!parsed) {
            std::fprintf(stderr, "course-sandbox: %s needs a number in range, got %s\n",
                         name.c_str(), value ? value : "nothing");
            return false;
        }
        ++i;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            return 0;
        }
    }
    SandboxOptions options;
    if (!parseOptions(argc, argv, options)) {
        printUsage(stderr);
        return 2;
    }
    // Block the stop signals before any thread starts, so that every server thread
    // inherits the mask and only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    CourseSandbox sandbox(options);
    if (!sandbox.start()) {
        std::fprintf(stderr, "course-sandbox: cannot listen on 127.0.0.1:%d\n", options.port);
        return 1;
    }
    std::cout << "listening on " << sandbox.host() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    sandbox.stop();
    return 0;
}
