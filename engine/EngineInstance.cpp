#include "engine/EngineInstance.h"

#include "engine/EngineThread.h"

#include <thread>

std::mutex EngineInstance::mutex_;
std::shared_ptr<TaskBoard> EngineInstance::current_;
std::shared_ptr<TaskBoard> EngineInstance::closing_;

bool EngineInstance::start() {
    std::lock_guard lock(mutex_);
    if (current_)
        return true;
    if (closing_) {
        if (!closing_->waitFinished(std::chrono::milliseconds(0)))
            return false;
        closing_.reset();
    }
    auto board = std::make_shared<TaskBoard>();
    // Detached: the thread holds what it uses, and the process never waits on it except
    // through stop(), which bounds the wait.
    std::thread([board] { EngineThread(board).run(); }).detach();
    current_ = std::move(board);
    return true;
}

bool EngineInstance::stop(std::chrono::milliseconds wait) {
    std::shared_ptr<TaskBoard> stopping;
    {
        std::lock_guard lock(mutex_);
        stopping = std::move(current_);
        current_.reset();
        if (!stopping)
            stopping = closing_;
        else
            closing_ = stopping;
    }
    if (!stopping)
        return true;
    stopping->requestShutdown();
    return stopping->waitFinished(wait);
}

std::shared_ptr<TaskBoard> EngineInstance::board() {
    std::lock_guard lock(mutex_);
    return current_;
}
