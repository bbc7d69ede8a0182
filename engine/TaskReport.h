#pragma once
// The figures written into a task information record, and how they follow from what the
// engine knows of a task.

#include "engine/TaskFacts.h"

#include <cstdint>
#include <string>

struct TaskReport {
    std::int32_t state = 2;
    std::int32_t failureCode = 0;
    std::string fileName; // UTF-8
    std::int64_t totalSize = 0;
    std::int64_t downloadedBytes = 0;
    float progress = 0.0f; // 0.0 to 1.0
    std::int32_t totalSources = 0;
    std::int32_t activeSources = 0;
    std::int64_t originBytes = 0;
    std::int32_t speed = 0;
    bool originInUse = false;
    std::int32_t fileCreated = 0;
};

// States of "当前状态".
inline constexpr std::int32_t stateFailed = 1;
inline constexpr std::int32_t statePaused = 2;
inline constexpr std::int32_t stateDownloading = 3;
inline constexpr std::int32_t stateFinished = 4;
inline constexpr std::int32_t stateRequesting = 5;
inline constexpr std::int32_t stateStopping = 6;

// `wantRunning`: the caller's last word (XL_StartTask true, XL_StopTask false).
// `factsCurrent`: the engine thread has carried out every command given so far, so the
// facts are not older than the caller's last word.
TaskReport reportFor(const TaskFacts& facts, bool wantRunning, bool factsCurrent);

// Writes the report's fields into the 1429-byte information record at `record`; the
// reserved fields are left as they are.
void writeTaskReport(void* record, const TaskReport& report);
