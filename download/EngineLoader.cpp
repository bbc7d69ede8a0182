#include "download/EngineLoader.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace dlengine {
namespace {

using NoArgument = std::int32_t (*)();
using Address = std::int32_t (*)(void*);
using Handle = std::int32_t (*)(std::int32_t);
using HandleAddress = std::int32_t (*)(std::int32_t, void*);

struct Engine {
    NoArgument init = nullptr;
    NoArgument unInit = nullptr;
    Address createTask = nullptr;
    Handle startTask = nullptr;
    Handle stopTask = nullptr;
    HandleAddress queryTaskInfoEx = nullptr;
};

std::string& libraryName() {
    static std::string name = "libdlengine.so";
    return name;
}

[[noreturn]] void giveUp(const char* what, const std::string& name, const char* detail) {
    std::fprintf(stderr, "%s %s: %s\n", what, name.c_str(), detail != nullptr ? detail : "");
    std::fflush(stderr);
    // Nothing can be downloaded without the engine; end at once rather than run the
    // destructors of a window that is in the middle of an event.
    std::_Exit(EXIT_FAILURE);
}

template <typename Function> Function lookUp(void* library, const char* operation) {
    dlerror();
    void* symbol = dlsym(library, operation);
    if (symbol == nullptr) {
        giveUp("download engine operation not found:", operation, dlerror());
    }
    return reinterpret_cast<Function>(symbol);
}

// A bare name is looked for beside the program first, as its $ORIGIN run path says;
// dlopen alone would miss it when a wrapper (a sanitizer's interceptor) is the caller
// whose run path counts. Then the usual search.
void* openLibrary(const std::string& name) {
    if (name.find('/') == std::string::npos) {
        std::error_code failed;
        const std::filesystem::path program =
            std::filesystem::read_symlink("/proc/self/exe", failed);
        if (!failed) {
            const std::string beside = (program.parent_path() / name).string();
            if (void* library = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                return library;
            }
        }
    }
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

// Opens the library and looks up all six operations at the first call, so a broken
// engine is reported at start-up, not in the middle of a download.
const Engine& engine() {
    static Engine loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        const std::string& name = libraryName();
        void* library = openLibrary(name);
        if (library == nullptr) {
            giveUp("download engine library not found:", name, dlerror());
        }
        loaded.init = lookUp<NoArgument>(library, "XL_Init");
        loaded.unInit = lookUp<NoArgument>(library, "XL_UnInit");
        loaded.createTask = lookUp<Address>(library, "XL_CreateTask");
        loaded.startTask = lookUp<Handle>(library, "XL_StartTask");
        loaded.stopTask = lookUp<Handle>(library, "XL_StopTask");
        loaded.queryTaskInfoEx = lookUp<HandleAddress>(library, "XL_QueryTaskInfoEx");
    });
    return loaded;
}

} // namespace

std::int32_t XL_Init() {
    return engine().init();
}
std::int32_t XL_UnInit() {
    return engine().unInit();
}
std::int32_t XL_CreateTask(void* taskParam) {
    return engine().createTask(taskParam);
}
std::int32_t XL_StartTask(std::int32_t handle) {
    return engine().startTask(handle);
}
std::int32_t XL_StopTask(std::int32_t handle) {
    return engine().stopTask(handle);
}
std::int32_t XL_QueryTaskInfoEx(std::int32_t handle, void* taskInfo) {
    return engine().queryTaskInfoEx(handle, taskInfo);
}

void setLibraryName(std::string name) {
    libraryName() = std::move(name);
}

} // namespace dlengine
