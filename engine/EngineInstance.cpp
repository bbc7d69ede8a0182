#include "engine/EngineInstance.h"

#include "engine/EngineThread.h"

#include <mutex>
#include <thread>

namespace {

struct Instances {
    std::mutex mutex;
    std::shared_ptr<TaskBoard> current;
    // The board of the last engine that was stopped, until its thread has finished.
    std::shared_ptr<TaskBoard> closing;
};

// Never destroyed: the exit hook below and a detached engine thread may use it while
// the process's static objects are being torn down.
Instances& instances() {
    static Instances* const kept = new Instances;
    return *kept;
}

// When the program exits without XL_UnInit, the engine still saves its control files,
// but exit is never held up for long.
constexpr auto exitWait = std::chrono::seconds(3);

struct StopAtExit {
    StopAtExit() { instances(); }
    ~StopAtExit() { EngineInstance::stop(exitWait); }
} stopAtExit;

} // namespace

bool EngineInstance::start() {
    Instances& all = instances();
    std::lock_guard lock(all.mutex);
    if (all.current)
        return true;
    if (all.closing) {
        if (!all.closing->waitFinished(std::chrono::milliseconds(0)))
            return false;
        all.closing.reset();
    }
    auto board = std::make_shared<TaskBoard>();
    // Detached: the thread holds what it uses, and the process never waits on it except
    // through stop(), which bounds the wait.
    std::thread([board] { EngineThread(board).run(); }).detach();
    all.current = std::move(board);
    return true;
}

bool EngineInstance::stop(std::chrono::milliseconds wait) {
    Instances& all = instances();
    std::shared_ptr<TaskBoard> stopping;
    {
        std::lock_guard lock(all.mutex);
        if (all.current) {
            all.closing = std::move(all.current);
            all.current.reset();
        }
        stopping = all.closing;
    }
    if (!stopping)
        return true;
    stopping->requestShutdown();
    return stopping->waitFinished(wait);
}

std::shared_ptr<TaskBoard> EngineInstance::board() {
    Instances& all = instances();
    std::lock_guard lock(all.mutex);
    return all.current;
}
