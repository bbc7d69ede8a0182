// The six operations of the engine library, with C linkage. Records are taken by
// address and read or written as raw bytes at their fixed offsets.

#include "engine/EngineInstance.h"
#include "engine/RetryPolicy.h"
#include "engine/TaskRequest.h"

#include <chrono>
#include <cstdint>

#define ENGINE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// XL_UnInit stops every transfer at once; the wait covers aria2 writing the control
// files of unfinished files.
constexpr auto unInitWait = std::chrono::seconds(15);
} // namespace

// 1 when the engine runs, 0 when it could not be started.
ENGINE_EXPORT std::int32_t XL_Init() {
    return EngineInstance::start() ? 1 : 0;
}

// Stops every task promptly, leaving unfinished files to be continued by a later task.
// 1 when the engine closed in time (or was not running).
ENGINE_EXPORT std::int32_t XL_UnInit() {
    return EngineInstance::stop(unInitWait) ? 1 : 0;
}

// A handle (positive), or 0 when the engine is not running. A task whose record is
// missing or asks for something the engine refuses gets a handle all the same and reports
// state 1 with its failure code.
ENGINE_EXPORT std::int32_t XL_CreateTask(void* taskParam) {
    const auto board = EngineInstance::board();
    if (!board)
        return 0;
    if (!taskParam)
        return board->createFailedTask(FailureCode::missingRecord);
    return board->createTask(readTaskRequest(taskParam));
}

// Starts, resumes or retries the task. 1 for a known handle, else 0.
ENGINE_EXPORT std::int32_t XL_StartTask(std::int32_t handle) {
    const auto board = EngineInstance::board();
    return board && board->startTask(handle) ? 1 : 0;
}

// Pauses the task. 1 for a known handle, else 0.
ENGINE_EXPORT std::int32_t XL_StopTask(std::int32_t handle) {
    const auto board = EngineInstance::board();
    return board && board->stopTask(handle) ? 1 : 0;
}

// Fills the information record from the task's latest figures and returns 1; returns 0
// and leaves the record alone for a handle it does not know.
ENGINE_EXPORT std::int32_t XL_QueryTaskInfoEx(std::int32_t handle, void* taskInfo) {
    const auto board = EngineInstance::board();
    if (!board || !taskInfo)
        return 0;
    return board->queryTask(handle, taskInfo) ? 1 : 0;
}

// Not one of the six: lets tests and tools shorten the retry pauses and time-outs of the
// tasks created afterwards. Values below 1 try, 0 s pause or 1 s time-out are raised.
ENGINE_EXPORT void dlengineSetRetryPolicy(std::int32_t maxTries, std::int32_t retryWaitSeconds,
                                          std::int32_t timeoutSeconds) {
    RetryPolicy policy;
    policy.maxTries = maxTries;
    policy.retryWaitSeconds = retryWaitSeconds;
    policy.timeoutSeconds = timeoutSeconds;
    policy.connectTimeoutSeconds = timeoutSeconds;
    setRetryPolicy(policy);
}
