#pragma once
// The six operations of the download engine library. The library is opened by name
// (found beside the program, as its $ORIGIN run path says) at the first call, and all
// six operations are looked up once, then. If the library or one of the operations
// cannot be found, the program writes which one to standard error and ends with exit
// code 1: it cannot download anything without them.

#include <cstdint>
#include <string>

namespace dlengine {

std::int32_t XL_Init();
std::int32_t XL_UnInit();
// taskParam: the address of a laid-out TaskParamRecord; returns the task handle.
std::int32_t XL_CreateTask(void* taskParam);
std::int32_t XL_StartTask(std::int32_t handle);
std::int32_t XL_StopTask(std::int32_t handle);
// taskInfo: the address of a laid-out TaskInfoRecord; non-zero when it was filled.
std::int32_t XL_QueryTaskInfoEx(std::int32_t handle, void* taskInfo);

// The library's file name, "libdlengine.so" unless changed here before the first call.
void setLibraryName(std::string name);

} // namespace dlengine
