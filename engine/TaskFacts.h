#pragma once
// What the engine thread last learnt about one task's transfer.

#include "engine/FailureCode.h"

#include <cstdint>
#include <string>

enum class TransferPhase {
    notAdded, // nothing handed to the transfer session yet
    waiting,  // queued, not yet running
    active,   // running (or halting after a pause request)
    paused,
    complete, // finished, and the file checked under its final name
    failed,
};

struct TaskFacts {
    TransferPhase phase = TransferPhase::notAdded;
    FailureCode failure = FailureCode::none;
    std::string fileName; // UTF-8 name of the file as written, without the folder
    std::int64_t totalBytes = 0;
    std::int64_t completedBytes = 0;
    std::int32_t bytesPerSecond = 0;
    std::int32_t usableConnections = 0; // connections the task may use
    std::int32_t activeConnections = 0;
    bool bytesArrived = false; // since the task last started or resumed
    bool fileCreated = false;
};
