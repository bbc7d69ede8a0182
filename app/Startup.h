#pragma once
// Start-up and exit of the program around the main window.

#include "download/GlobalState.h"

#include <functional>
#include <memory>
#include <string>

class MainWindow;

// The global state as start-up creates it: taskInfo first, then taskParam, both empty;
// the handle and the row 0, every text empty.
std::unique_ptr<GlobalState> createGlobalState();

// Releases the global objects in this order: chosenExtension, taskInfo, the download
// controller's three texts, taskParam. A second run finds nothing left to release.
void runExitRoutine(GlobalState& state);

// Registers the exit routine for `state`, to run once however the process ends:
// normally, through exit() (the engine loader ends the program so) or quick_exit().
void registerExitRoutine(GlobalState& state);

// Creates and shows the main window, runs the event loop until the window is closed,
// destroys the window and ends the process with exit code 0. `shown`, when given, runs
// once the window is on screen (tests use it to drive the window). Needs a
// QApplication. Never returns.
[[noreturn]] void runMainWindowUntilClosed(GlobalState& state, const std::string& webHost,
                                           const std::function<void(MainWindow&)>& shown = {});
