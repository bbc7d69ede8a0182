#pragma once
// The engine of the process between XL_Init and XL_UnInit: its task board and its engine
// thread. At most one runs at a time, because aria2 allows one session per process. When
// the program exits without XL_UnInit, the running engine is stopped on the way out.

#include "engine/TaskBoard.h"

#include <chrono>
#include <memory>

class EngineInstance final {
public:
    EngineInstance() = delete;

    // Starts the engine unless one runs; false when a shut-down one has not yet let go of
    // its session.
    static bool start();
    // Asks the engine thread to stop every task and waits up to `wait` for it to close
    // its session. Returns whether it closed in time.
    static bool stop(std::chrono::milliseconds wait);
    // The running engine's board, or null.
    static std::shared_ptr<TaskBoard> board();
};
