#pragma once
// The engine of the process between XL_Init and XL_UnInit: its task board and its engine
// thread. At most one runs at a time, because aria2 allows one session per process.

#include "engine/TaskBoard.h"

#include <chrono>
#include <memory>
#include <mutex>

class EngineInstance final {
public:
    // Starts the engine unless one runs; false when a shut-down one has not yet let go of
    // its session.
    static bool start();
    // Asks the engine thread to stop every task and waits up to `wait` for it to close
    // its session. Returns whether it closed in time.
    static bool stop(std::chrono::milliseconds wait);
    // The running engine's board, or null.
    static std::shared_ptr<TaskBoard> board();

private:
    static std::mutex mutex_;
    static std::shared_ptr<TaskBoard> current_;
    // The board of the last engine that was stopped, until its thread has finished.
    static std::shared_ptr<TaskBoard> closing_;
};
