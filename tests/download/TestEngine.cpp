// A tiny stand-in engine for the loader's tests: it records the calls it gets. Built
// once with all six operations and once without XL_StopTask.
#include <cstdint>
#include <cstring>

namespace {
std::int32_t calls = 0;
}

extern "C" {

std::int32_t XL_Init() {
    return ++calls;
}
std::int32_t XL_UnInit() {
    return ++calls;
}
// The handle is the parameter record's first byte plus 100, so a test sees that the
// record's address arrived.
std::int32_t XL_CreateTask(void* taskParam) {
    ++calls;
    return 100 + *static_cast<const std::uint8_t*>(taskParam);
}
std::int32_t XL_StartTask(std::int32_t handle) {
    return handle + 1;
}
#ifndef WITHOUT_STOP_TASK
std::int32_t XL_StopTask(std::int32_t handle) {
    return handle + 2;
}
#endif
// Writes the handle into the state field at offset 0.
std::int32_t XL_QueryTaskInfoEx(std::int32_t handle, void* taskInfo) {
    std::memcpy(taskInfo, &handle, sizeof handle);
    return 1;
}
}
