#include "engine/TaskReport.h"

#include "engine/RecordLayout.h"
#include "engine/Utf16.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

std::int32_t stateFor(const TaskFacts& facts, bool wantRunning, bool factsCurrent) {
    switch (facts.phase) {
    case TransferPhase::complete:
        return stateFinished;
    case TransferPhase::failed:
        // A start given to a failed task retries it; until the engine thread has taken
        // that up, the old failure must not stop the caller's polling.
        return wantRunning && !factsCurrent ? stateRequesting : stateFailed;
    case TransferPhase::notAdded:
    case TransferPhase::paused:
        return wantRunning ? stateRequesting : statePaused;
    case TransferPhase::waiting:
        return wantRunning ? stateRequesting : stateStopping;
    case TransferPhase::active:
        if (!wantRunning)
            return stateStopping;
        return facts.bytesArrived ? stateDownloading : stateRequesting;
    }
    return stateFailed;
}

// Little-endian stores at any offset: the record has odd offsets and no alignment.
template <typename T> void store(unsigned char* base, std::size_t offset, T value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        std::reverse(bytes, bytes + sizeof(T));
    std::memcpy(base + offset, bytes, sizeof(T));
}

} // namespace

TaskReport reportFor(const TaskFacts& facts, bool wantRunning, bool factsCurrent) {
    TaskReport report;
    report.state = stateFor(facts, wantRunning, factsCurrent);
    if (report.state == stateFailed)
        report.failureCode = static_cast<std::int32_t>(facts.failure);
    report.fileName = facts.fileName;
    report.totalSize = facts.totalBytes;
    report.downloadedBytes = facts.completedBytes;
    if (facts.totalBytes > 0)
        report.progress = static_cast<float>(static_cast<double>(facts.completedBytes) /
                                             static_cast<double>(facts.totalBytes));
    else if (report.state == stateFinished)
        report.progress = 1.0f;
    report.totalSources = facts.usableConnections;
    const bool moving = report.state == stateDownloading || report.state == stateRequesting ||
                        report.state == stateStopping;
    report.activeSources = moving ? facts.activeConnections : 0;
    report.speed = moving ? facts.bytesPerSecond : 0;
    report.originBytes = facts.completedBytes;
    report.originInUse = report.activeSources > 0;
    report.fileCreated = facts.fileCreated ? 1 : 0;
    return report;
}

void writeTaskReport(void* record, const TaskReport& report) {
    auto* base = static_cast<unsigned char*>(record);
    store<std::int32_t>(base, infoLayout::state, report.state);
    store<std::int32_t>(base, infoLayout::failureCode, report.failureCode);
    // The name is stored with its terminator (259 units at most), the rest zeroed.
    const auto name = utf8ToUtf16le(report.fileName, infoLayout::fileNameSize / 2 - 1);
    std::memset(base + infoLayout::fileName, 0, infoLayout::fileNameSize);
    if (!name.empty())
        std::memcpy(base + infoLayout::fileName, name.data(), name.size());
    store<std::int64_t>(base, infoLayout::totalSize, report.totalSize);
    store<std::int64_t>(base, infoLayout::downloadedBytes, report.downloadedBytes);
    store<float>(base, infoLayout::progress, report.progress);
    store<std::int32_t>(base, infoLayout::totalSources, report.totalSources);
    store<std::int32_t>(base, infoLayout::activeSources, report.activeSources);
    store<std::int64_t>(base, infoLayout::p2pBytes, 0);
    store<std::int64_t>(base, infoLayout::originBytes, report.originBytes);
    store<std::int64_t>(base, infoLayout::mirrorBytes, 0);
    store<std::int32_t>(base, infoLayout::speed, report.speed);
    store<std::int32_t>(base, infoLayout::speedP2s, 0);
    store<std::int32_t>(base, infoLayout::speedP2p, 0);
    base[infoLayout::originInUse] = report.originInUse ? 1 : 0;
    store<std::int32_t>(base, infoLayout::fileCreated, report.fileCreated);
}
