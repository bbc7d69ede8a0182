#pragma once
// The meeting point of the callers of the six operations and the engine thread. Callers
// leave commands and read the latest published facts; the engine thread takes the
// commands and publishes facts. Nothing here waits for the transfer session, so a query
// holds the lock only for a copy.

#include "engine/FailureCode.h"
#include "engine/TaskFacts.h"
#include "engine/TaskRequest.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

struct TaskCommand {
    enum class Kind { create, start, stop };
    Kind kind;
    std::int32_t handle;
    std::uint64_t seq;   // per task, counting from 1
    TaskRequest request; // for create
};

class TaskBoard final {
public:
    TaskBoard() = default;
    TaskBoard(const TaskBoard&) = delete;
    TaskBoard& operator=(const TaskBoard&) = delete;

    // Caller side. A task whose request fails its checks is failed at once and never
    // reaches the engine thread. Handles are positive and never reused in the process.
    std::int32_t createTask(TaskRequest request);
    std::int32_t createFailedTask(FailureCode code);
    bool startTask(std::int32_t handle);
    bool stopTask(std::int32_t handle);
    // Fills the information record; false (record untouched) for an unknown handle.
    bool queryTask(std::int32_t handle, void* record) const;

    // Engine side. Waits up to `wait` for a command or a shutdown request.
    std::vector<TaskCommand> takeCommands(std::chrono::milliseconds wait);
    void publish(std::int32_t handle, const TaskFacts& facts, std::uint64_t appliedSeq);

    void requestShutdown();
    bool shutdownRequested() const;
    void markFinished();
    bool waitFinished(std::chrono::milliseconds wait);

private:
    struct Slot {
        TaskFacts facts;
        bool refused = false; // failed its checks; commands do not apply to it
        bool wantRunning = false;
        std::uint64_t requestedSeq = 0;
        std::uint64_t appliedSeq = 0;
    };

    bool command(std::int32_t handle, TaskCommand::Kind kind);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::map<std::int32_t, Slot> slots_;
    std::deque<TaskCommand> commands_;
    bool shutdown_ = false;
    bool finished_ = false;
    std::condition_variable finishedChanged_;
};
