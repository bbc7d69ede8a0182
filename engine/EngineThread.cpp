#include "engine/EngineThread.h"

#include "engine/RetryPolicy.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <pthread.h>
#include <system_error>

namespace {

// Eight connections of at least 1 MiB each. Video servers commonly throttle each
// connection, so eight connections fetch up to eight times as fast; eight stays below
// the per-client connection limits servers commonly enforce, and beyond it the gain on
// an unthrottled link is nil. 1 MiB is aria2's smallest piece: it lets a file of a few
// MiB use several connections, while every range is still long enough that its request
// costs little beside its data.
constexpr int connectionsPerFile = 8;
constexpr std::int64_t smallestPiece = 1 << 20;

constexpr auto refreshPeriod = std::chrono::milliseconds(100);
constexpr auto runSlice = std::chrono::milliseconds(10);
constexpr auto idleWait = std::chrono::milliseconds(100);
// A finished transfer gets this many refreshes to have its control file removed.
constexpr int completionCheckLimit = 20;
// How long closing the session may take before it is given up.
constexpr auto closeDeadline = std::chrono::seconds(10);

std::once_flag libraryInitialised;

aria2::KeyVals sessionOptions() {
    return {
        {"no-conf", "true"}, // no user configuration file changes the engine
        {"quiet", "true"},   // nothing on the host program's console
        {"max-concurrent-downloads", "16"},
        {"auto-save-interval", "10"}, // control files stay fresh should the process die
        {"enable-rpc", "false"},
    };
}

// `fileName`: the name to write; empty lets aria2 name the file after the reply.
// `continuing`: the task's own partial file from an earlier pause or failure is there.
aria2::KeyVals transferOptions(const TaskRequest& request, const std::string& fileName,
                               bool continuing) {
    const RetryPolicy retry = currentRetryPolicy();
    const bool resume = request.useResume || continuing;
    aria2::KeyVals options = {
        {"dir", request.folder},
        {"continue", resume ? "true" : "false"},
        // Without resume the file is started again, so an existing one is replaced.
        {"allow-overwrite", resume ? "false" : "true"},
        // A name that must be used as given is never changed to dodge an existing file.
        {"auto-file-renaming", request.noSmartNaming ? "false" : "true"},
        // A server that cannot continue a partial file gets it fetched from the start.
        {"always-resume", "false"},
        {"allow-piece-length-change", "true"},
        {"split", std::to_string(connectionsPerFile)},
        {"max-connection-per-server", std::to_string(connectionsPerFile)},
        {"min-split-size", std::to_string(smallestPiece)},
        {"max-tries", std::to_string(retry.maxTries)},
        {"retry-wait", std::to_string(retry.retryWaitSeconds)},
        {"timeout", std::to_string(retry.timeoutSeconds)},
        {"connect-timeout", std::to_string(retry.connectTimeoutSeconds)},
        // Sparse writes: no second pass over the disk to fill the file with zeros first.
        {"file-allocation", "none"},
        // Only the given address is ever used: a reply that is a torrent or a metalink is
        // saved as the file asked for, never followed to other sources or other files.
        {"follow-torrent", "false"},
        {"follow-metalink", "false"},
        {"remote-time", "false"},
    };
    if (!fileName.empty())
        options.emplace_back("out", fileName);
    if (!request.referrer.empty())
        options.emplace_back("header", "Referer: " + request.referrer);
    if (!request.cookies.empty())
        options.emplace_back("header", "Cookie: " + request.cookies);
    return options;
}

// A write to a connection the server has closed must fail with EPIPE on this thread,
// not end the host program: the session installs no signal handlers of its own.
void blockBrokenPipeSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool ensureFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

std::int32_t usableConnectionsFor(std::int64_t totalBytes) {
    if (totalBytes <= 0)
        return connectionsPerFile;
    // A range is split only while both halves keep the smallest piece.
    const std::int64_t pieces = totalBytes / smallestPiece;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(pieces, 1, connectionsPerFile));
}

bool completedFileInPlace(const std::string& path, std::int64_t totalBytes) {
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return false;
    const auto size = std::filesystem::file_size(path, error);
    if (error || static_cast<std::int64_t>(size) != totalBytes)
        return false;
    return !std::filesystem::exists(path + ".aria2", error);
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

EngineThread::EngineThread(std::shared_ptr<TaskBoard> board) : board_(std::move(board)) {}

void EngineThread::run() {
    blockBrokenPipeSignal();
    std::call_once(libraryInitialised, [] { aria2::libraryInit(); });
    while (!board_->shutdownRequested()) {
        const auto commands =
            board_->takeCommands(hasWork() ? std::chrono::milliseconds(0) : idleWait);
        for (const TaskCommand& command : commands)
            apply(command);
        for (auto& [handle, transfer] : transfers_)
            steer(transfer);
        bool sessionEnded = false;
        if (session_) {
            const int result = runSessionAWhile();
            if (result < 0) {
                for (auto& [handle, transfer] : transfers_) {
                    if (transfer.inSession)
                        fail(transfer, FailureCode::engineUnavailable);
                }
            }
            sessionEnded = result <= 0;
        }
        if (sessionEnded || !commands.empty() ||
            std::chrono::steady_clock::now() - lastRefresh_ >= refreshPeriod)
            refreshAndPublish();
        if (sessionEnded)
            closeSession(false);
    }
    closeSession(true);
    board_->markFinished();
}

// Event rounds back to back for a short slice before commands are looked at again: at
// full speed a round takes microseconds, and the slice keeps the engine's own work per
// round out of the way of the transfer.
int EngineThread::runSessionAWhile() {
    const auto sliceEnd = std::chrono::steady_clock::now() + runSlice;
    int result = 1;
    do {
        result = aria2::run(session_, aria2::RUN_ONCE);
    } while (result == 1 && std::chrono::steady_clock::now() < sliceEnd);
    return result;
}

void EngineThread::apply(const TaskCommand& command) {
    if (command.kind == TaskCommand::Kind::create) {
        Transfer& transfer = transfers_[command.handle];
        transfer.request = command.request;
        transfer.facts.fileName = command.request.fileName;
        transfer.facts.usableConnections = connectionsPerFile;
        transfer.appliedSeq = command.seq;
        return;
    }
    const auto found = transfers_.find(command.handle);
    if (found == transfers_.end())
        return;
    Transfer& transfer = found->second;
    transfer.appliedSeq = command.seq;
    transfer.wantRunning = command.kind == TaskCommand::Kind::start;
    if (!transfer.wantRunning)
        return;
    transfer.facts.bytesArrived = false;
    transfer.lastCompleted = -1;
    if (transfer.facts.phase == TransferPhase::failed)
        transfer.retryRequested = true;
}

bool EngineThread::needsAdding(const Transfer& transfer) const {
    if (!transfer.wantRunning || transfer.inSession)
        return false;
    const TransferPhase phase = transfer.facts.phase;
    if (transfer.retryDue)
        return phase == TransferPhase::waiting &&
               std::chrono::steady_clock::now() >= *transfer.retryDue;
    return phase == TransferPhase::notAdded || phase == TransferPhase::paused ||
           (phase == TransferPhase::failed && transfer.retryRequested);
}

// aria2 retries a reset or timed-out connection and a 502, 503 or 504 reply itself, but
// gives up at once on any other unexpected reply, a 500 among them. Those are tried
// again here, after the same pause and up to the same number of tries. (aria2 reports a
// 403 the same way, so a refusal costs the retries too before the task fails.)
bool EngineThread::scheduleRetry(Transfer& transfer, int aria2Status) {
    constexpr int unexpectedReply = 22;
    const RetryPolicy retry = currentRetryPolicy();
    if (aria2Status != unexpectedReply || transfer.triesMade >= retry.maxTries)
        return false;
    transfer.inSession = false;
    transfer.pausing = false;
    transfer.facts.phase = TransferPhase::waiting;
    transfer.facts.bytesPerSecond = 0;
    transfer.facts.activeConnections = 0;
    transfer.retryDue =
        std::chrono::steady_clock::now() + std::chrono::seconds(retry.retryWaitSeconds);
    return true;
}

// Brings the session's view of a transfer in line with what the caller asked for. A
// transfer being taken out for a pause is added again only once it is out.
void EngineThread::steer(Transfer& transfer) {
    if (needsAdding(transfer)) {
        addToSession(transfer);
        return;
    }
    const TransferPhase phase = transfer.facts.phase;
    if (!transfer.wantRunning && transfer.retryDue) {
        // Paused while waiting to try again: nothing is in the session to take out.
        transfer.retryDue.reset();
        transfer.facts.phase = TransferPhase::paused;
        return;
    }
    const bool running = phase == TransferPhase::active || phase == TransferPhase::waiting;
    if (!transfer.wantRunning && transfer.inSession && running && !transfer.pausing &&
        aria2::removeDownload(session_, transfer.gid, true) == 0)
        transfer.pausing = true;
}

void EngineThread::addToSession(Transfer& transfer) {
    const bool continuing = transfer.facts.phase != TransferPhase::notAdded;
    transfer.triesMade = transfer.retryDue ? transfer.triesMade + 1 : 1;
    transfer.retryDue.reset();
    transfer.retryRequested = false;
    transfer.pausing = false;
    transfer.completionChecks = 0;
    transfer.checkingCompletion = false;
    if (!ensureFolder(transfer.request.folder))
        return fail(transfer, FailureCode::badFolder);
    if (!openSession())
        return fail(transfer, FailureCode::engineUnavailable);
    // Once aria2 has chosen the name, a resumed transfer keeps it.
    const std::string name =
        transfer.path.empty() ? transfer.request.fileName : baseName(transfer.path);
    aria2::A2Gid gid = 0;
    if (aria2::addUri(session_, &gid, {transfer.request.url},
                      transferOptions(transfer.request, name, continuing)) < 0)
        return fail(transfer, FailureCode::badAddress);
    transfer.gid = gid;
    transfer.inSession = true;
    transfer.facts.phase = TransferPhase::waiting;
    transfer.facts.failure = FailureCode::none;
}

bool EngineThread::openSession() {
    if (session_)
        return true;
    aria2::SessionConfig config;
    config.keepRunning = false;      // the session ends with its last download
    config.useSignalHandler = false; // the host program owns its signals
    session_ = aria2::sessionNew(sessionOptions(), config);
    return session_ != nullptr;
}

void EngineThread::fail(Transfer& transfer, FailureCode code) {
    transfer.facts.phase = TransferPhase::failed;
    transfer.facts.failure = code;
    transfer.facts.bytesPerSecond = 0;
    transfer.facts.activeConnections = 0;
    transfer.inSession = false;
    transfer.pausing = false;
    transfer.checkingCompletion = false;
    transfer.retryDue.reset();
}

void EngineThread::refresh(Transfer& transfer) {
    if (transfer.checkingCompletion)
        checkCompletion(transfer);
    else if (transfer.inSession && session_)
        readSession(transfer);
}

void EngineThread::readSession(Transfer& transfer) {
    aria2::DownloadHandle* handle = aria2::getDownloadHandle(session_, transfer.gid);
    if (!handle)
        return fail(transfer, FailureCode::engineUnavailable);
    TaskFacts& facts = transfer.facts;
    const aria2::DownloadStatus status = handle->getStatus();
    facts.totalBytes = handle->getTotalLength();
    facts.completedBytes = handle->getCompletedLength();
    facts.bytesPerSecond = handle->getDownloadSpeed();
    facts.activeConnections = handle->getConnections();
    facts.usableConnections = usableConnectionsFor(facts.totalBytes);
    if (handle->getNumFiles() > 0) {
        const std::string path = handle->getFile(1).path;
        if (!path.empty()) {
            transfer.path = path;
            facts.fileName = baseName(path);
        }
    }
    const int errorCode = handle->getErrorCode();
    aria2::deleteDownloadHandle(handle);

    if (!facts.fileCreated && !transfer.path.empty()) {
        std::error_code error;
        facts.fileCreated = std::filesystem::exists(transfer.path, error);
    }
    switch (status) {
    case aria2::DOWNLOAD_ACTIVE:
        facts.phase = TransferPhase::active;
        if (facts.bytesPerSecond > 0 ||
            (transfer.lastCompleted >= 0 && facts.completedBytes > transfer.lastCompleted))
            facts.bytesArrived = true;
        transfer.lastCompleted = facts.completedBytes;
        break;
    case aria2::DOWNLOAD_WAITING:
    case aria2::DOWNLOAD_PAUSED:
        facts.phase = TransferPhase::waiting;
        break;
    case aria2::DOWNLOAD_COMPLETE:
        transfer.inSession = false;
        transfer.checkingCompletion = true;
        checkCompletion(transfer);
        break;
    case aria2::DOWNLOAD_ERROR:
        if (!scheduleRetry(transfer, errorCode))
            fail(transfer, failureCodeForAria2Status(errorCode));
        break;
    case aria2::DOWNLOAD_REMOVED:
        if (transfer.pausing) {
            facts.phase = TransferPhase::paused;
            facts.bytesPerSecond = 0;
            facts.activeConnections = 0;
            transfer.inSession = false;
            transfer.pausing = false;
        } else {
            fail(transfer, FailureCode::otherError);
        }
        break;
    }
}

// Finished means the whole file under its final name, with no control file left over.
void EngineThread::checkCompletion(Transfer& transfer) {
    TaskFacts& facts = transfer.facts;
    facts.bytesPerSecond = 0;
    facts.activeConnections = 0;
    if (completedFileInPlace(transfer.path, facts.totalBytes)) {
        facts.phase = TransferPhase::complete;
        facts.completedBytes = facts.totalBytes;
        facts.fileCreated = true;
        transfer.checkingCompletion = false;
    } else if (++transfer.completionChecks >= completionCheckLimit) {
        fail(transfer, FailureCode::unfinishedFile);
    }
}

void EngineThread::refreshAndPublish() {
    for (auto& [handle, transfer] : transfers_) {
        refresh(transfer);
        board_->publish(handle, transfer.facts, transfer.appliedSeq);
    }
    lastRefresh_ = std::chrono::steady_clock::now();
}

bool EngineThread::hasWork() const {
    if (session_)
        return true;
    for (const auto& [handle, transfer] : transfers_) {
        if (needsAdding(transfer))
            return true;
    }
    return false;
}

// With `halt`, stops every transfer at once first; aria2 writes each unfinished file's
// control file, so a later task continues where this one stopped.
void EngineThread::closeSession(bool halt) {
    if (!session_)
        return;
    if (halt) {
        aria2::shutdown(session_, true);
        const auto deadline = std::chrono::steady_clock::now() + closeDeadline;
        while (aria2::run(session_, aria2::RUN_ONCE) == 1 &&
               std::chrono::steady_clock::now() < deadline) {
        }
    }
    aria2::sessionFinal(session_);
    session_ = nullptr;
    for (auto& [handle, transfer] : transfers_) {
        // Whatever was still in the session is out of it now; a start adds it again.
        if (transfer.inSession) {
            transfer.inSession = false;
            transfer.facts.phase = TransferPhase::paused;
            transfer.facts.bytesPerSecond = 0;
            transfer.facts.activeConnections = 0;
        }
    }
}
