#include "tests/app/TestEngine.h"

#include <atomic>

namespace {
std::atomic<std::int32_t> initCalls{0};
std::atomic<std::int32_t> unInitCalls{0};
} // namespace

extern "C" {

__attribute__((visibility("default"))) std::int32_t XL_Init() {
    return ++initCalls, 1;
}
__attribute__((visibility("default"))) std::int32_t XL_UnInit() {
    return ++unInitCalls, 1;
}
__attribute__((visibility("default"))) std::int32_t XL_CreateTask(void*) {
    return 0;
}
__attribute__((visibility("default"))) std::int32_t XL_StartTask(std::int32_t) {
    return 0;
}
__attribute__((visibility("default"))) std::int32_t XL_StopTask(std::int32_t) {
    return 0;
}
__attribute__((visibility("default"))) std::int32_t XL_QueryTaskInfoEx(std::int32_t, void*) {
    return 0;
}

__attribute__((visibility("default"))) std::int32_t testEngineInitCalls() {
    return initCalls;
}
__attribute__((visibility("default"))) std::int32_t testEngineUnInitCalls() {
    return unInitCalls;
}
}
