#include "app/Startup.h"

#include "app/MainWindow.h"

#include <QApplication>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<GlobalState*> registeredState{nullptr};

void exitRoutine() {
    // Whichever of exit() and quick_exit() ends the process, the routine runs once.
    if (GlobalState* state = registeredState.exchange(nullptr))
        runExitRoutine(*state);
}

} // namespace

std::unique_ptr<GlobalState> createGlobalState() {
    auto state = std::make_unique<GlobalState>();
    state->taskInfo = std::make_unique<TaskInfoRecord>();
    state->taskParam = std::make_unique<TaskParamRecord>();
    return state;
}

void runExitRoutine(GlobalState& state) {
    state.chosenExtension.reset();
    state.taskInfo.reset();
    state.decodedAddress = std::string();
    state.fileName = std::string();
    state.saveFolder = std::string();
    state.taskParam.reset();
}

void registerExitRoutine(GlobalState& state) {
    static const bool registered = [] {
        std::atexit(exitRoutine);
        std::at_quick_exit(exitRoutine);
        return true;
    }();
    (void)registered;
    registeredState = &state;
}

void runMainWindowUntilClosed(GlobalState& state, const std::string& webHost,
                              const std::function<void(MainWindow&)>& shown) {
    {
        MainWindow window(state, webHost);
        window.show();
        if (shown)
            shown(window);
        QApplication::exec();
    }
    // The window is gone: the engine is uninitialised and workers waiting in the seam
    // are released. Detached workers may still be inside a network call, though, and a
    // normal exit() would run the destructors of Qt's, curl's and the C++ library's
    // static objects under their feet. quick_exit() ends the process at once, running
    // only the exit routine registered for it.
    std::fflush(stdout);
    std::fflush(stderr);
    std::quick_exit(0);
}
