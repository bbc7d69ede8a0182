#pragma once
// The one thread that owns the aria2 session and makes every aria2 call (libaria2 is not
// thread-safe). It takes commands from the task board, steers each transfer toward what
// the caller last asked for, drives the session one event round at a time and publishes
// each task's facts back to the board.
//
// A session lives only while it has transfers to run, and ends as soon as the last of
// them stops. A session kept open while idle makes aria2 wait out a whole second of event
// polling before it notices that a download has finished. A pause takes the transfer out
// of the session, leaving its file and control file behind, and resuming adds it again.

#include "engine/TaskBoard.h"

#include <aria2/aria2.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

class EngineThread final {
public:
    explicit EngineThread(std::shared_ptr<TaskBoard> board);
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    // The thread's body: returns after the board asked for shutdown and the session has
    // saved its control files and closed.
    void run();

private:
    struct Transfer {
        TaskRequest request;
        aria2::A2Gid gid = 0;
        bool inSession = false; // gid names a download of the open session
        bool wantRunning = false;
        bool retryRequested = false; // a start given while failed: add it anew
        bool pausing = false;        // taken out of the session for a pause
        std::string path;            // as aria2 writes it, once known
        std::int64_t lastCompleted = -1;
        int completionChecks = 0;
        bool checkingCompletion = false; // aria2 finished; waiting for the file to settle
        // Set while an unexpected reply is to be tried again at that time.
        std::optional<std::chrono::steady_clock::time_point> retryDue;
        int triesMade = 0; // additions to a session since the caller's last start
        TaskFacts facts;
        std::uint64_t appliedSeq = 0;
    };

    int runSessionAWhile();
    void apply(const TaskCommand& command);
    void steer(Transfer& transfer);
    bool needsAdding(const Transfer& transfer) const;
    bool scheduleRetry(Transfer& transfer, int aria2Status);
    void addToSession(Transfer& transfer);
    bool openSession();
    void refresh(Transfer& transfer);
    void readSession(Transfer& transfer);
    void checkCompletion(Transfer& transfer);
    void fail(Transfer& transfer, FailureCode code);
    void refreshAndPublish();
    bool hasWork() const;
    void closeSession(bool halt);

    std::shared_ptr<TaskBoard> board_;
    aria2::Session* session_ = nullptr;
    std::map<std::int32_t, Transfer> transfers_;
    std::chrono::steady_clock::time_point lastRefresh_{};
};
