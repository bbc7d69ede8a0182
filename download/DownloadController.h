#pragma once
// Downloads the rows of the download list "超级列表框2" one after the other through
// the download engine. "下载" starts the row `currentRow`; the timer "时钟1" polls the
// engine once a second, shows the task's state, size and speed, and when a file is
// finished marks its row "下载完毕", plays the completion sound and starts the next
// row; "暂停"/"继续" pauses and resumes the running task. Runs on the UI thread only.

#include "download/GlobalState.h"
#include "seam/ControlSeam.h"

#include <cstdint>
#include <string>
#include <string_view>

class DownloadController final {
public:
    DownloadController(GlobalState& state, ControlSeam& controls);
    DownloadController(const DownloadController&) = delete;
    DownloadController& operator=(const DownloadController&) = delete;

    // "按钮下载" clicked, and the next row after a finished file.
    void startDownload();
    // A tick of "时钟1".
    void timerTick();
    // "按钮暂停" clicked.
    void pauseClicked();

private:
    enum class RowOutcome { Started, Skipped, Stopped };
    RowOutcome startRow(int row);
    void finishTask(int rows);

    GlobalState& state_;
    ControlSeam& controls_;
    // The scrambled address of the row whose task is watched.
    std::string startedAddress_;
    // A task was started and has not been reported finished.
    bool taskUnfinished_ = false;
};

// The size column's text: bytes in GB from 1073741824 bytes on, otherwise in MB, with
// two decimals rounded half away from zero ("0.00MB", "1.50MB", "1.00GB").
std::string sizeText(std::int64_t bytes);
// The speed line (code page 936): "当前速度：256KB    可用资源数：3/5". The speed is
// whole MB per second from 1048576 bytes per second on, otherwise whole KB per second.
std::string speedText(std::int32_t bytesPerSecond, std::int32_t available, std::int32_t total);
// The file name of a lesson (code page 936): the title with "/" replaced by "／" and
// control characters by "_", shortened at a character boundary when the name would be
// too long for the file system, followed by the extension.
std::string lessonFileName(std::string_view title, std::string_view extension);
