#include "engine/TaskBoard.h"

#include "engine/TaskReport.h"

#include <atomic>

namespace {
// Shared by every engine started in the process, so that a handle of an engine that has
// been shut down never names a task of a later one.
std::atomic<std::int32_t> nextHandle{1};
} // namespace

std::int32_t TaskBoard::createTask(TaskRequest request) {
    const FailureCode refusal = checkTaskRequest(request);
    if (refusal != FailureCode::none)
        return createFailedTask(refusal);
    const std::int32_t handle = nextHandle.fetch_add(1);
    {
        std::lock_guard lock(mutex_);
        Slot& slot = slots_[handle];
        slot.requestedSeq = 1;
        commands_.push_back({TaskCommand::Kind::create, handle, 1, std::move(request)});
    }
    wake_.notify_one();
    return handle;
}

std::int32_t TaskBoard::createFailedTask(FailureCode code) {
    const std::int32_t handle = nextHandle.fetch_add(1);
    std::lock_guard lock(mutex_);
    Slot& slot = slots_[handle];
    slot.refused = true;
    slot.facts.phase = TransferPhase::failed;
    slot.facts.failure = code;
    return handle;
}

bool TaskBoard::startTask(std::int32_t handle) {
    return command(handle, TaskCommand::Kind::start);
}

bool TaskBoard::stopTask(std::int32_t handle) {
    return command(handle, TaskCommand::Kind::stop);
}

bool TaskBoard::command(std::int32_t handle, TaskCommand::Kind kind) {
    {
        std::lock_guard lock(mutex_);
        const auto found = slots_.find(handle);
        if (found == slots_.end())
            return false;
        Slot& slot = found->second;
        if (slot.refused || shutdown_)
            return true;
        slot.wantRunning = kind == TaskCommand::Kind::start;
        slot.requestedSeq += 1;
        commands_.push_back({kind, handle, slot.requestedSeq, {}});
    }
    wake_.notify_one();
    return true;
}

bool TaskBoard::queryTask(std::int32_t handle, void* record) const {
    TaskReport report;
    {
        std::lock_guard lock(mutex_);
        const auto found = slots_.find(handle);
        if (found == slots_.end())
            return false;
        const Slot& slot = found->second;
        report = reportFor(slot.facts, slot.wantRunning, slot.appliedSeq == slot.requestedSeq);
    }
    writeTaskReport(record, report);
    return true;
}

std::vector<TaskCommand> TaskBoard::takeCommands(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    if (wait.count() > 0)
        wake_.wait_for(lock, wait, [this] { return !commands_.empty() || shutdown_; });
    std::vector<TaskCommand> taken(std::make_move_iterator(commands_.begin()),
                                   std::make_move_iterator(commands_.end()));
    commands_.clear();
    return taken;
}

void TaskBoard::publish(std::int32_t handle, const TaskFacts& facts, std::uint64_t appliedSeq) {
    std::lock_guard lock(mutex_);
    const auto found = slots_.find(handle);
    if (found == slots_.end())
        return;
    found->second.facts = facts;
    found->second.appliedSeq = appliedSeq;
}

void TaskBoard::requestShutdown() {
    {
        std::lock_guard lock(mutex_);
        shutdown_ = true;
    }
    wake_.notify_all();
}

bool TaskBoard::shutdownRequested() const {
    std::lock_guard lock(mutex_);
    return shutdown_;
}

void TaskBoard::markFinished() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    finishedChanged_.notify_all();
}

bool TaskBoard::waitFinished(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    return finishedChanged_.wait_for(lock, wait, [this] { return finished_; });
}
