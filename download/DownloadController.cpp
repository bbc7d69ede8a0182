#include "download/DownloadController.h"

#include "course/AddressCodec.h"
#include "download/EngineLoader.h"
#include "text/Codepage.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <vector>

namespace {

const std::string downloadList = "超级列表框2";
const std::string timer = "时钟1";
const std::string pauseButton = "按钮暂停";
const std::string stateLabel = "透明标签1";
const std::string speedLabel = "透明标签显示";
const std::string folderBox = "编辑框保存";

constexpr int titleColumn = 1;
constexpr int sizeColumn = 2;
constexpr int addressColumn = 3;
constexpr int completionColumn = 4;
constexpr int pollPeriodMs = 1000;

// Room for a file name in the file system (255 bytes of UTF-8), less what the engine
// may add for its own side files next to the download (".aria2" and the like).
constexpr std::size_t maxFileNameUtf8Bytes = 240;
// A text field of 520 bytes holds 260 UTF-16 units with the terminator.
constexpr std::size_t maxFolderUnits = 259;

struct Texts {
    std::string noTask = utf8ToCp936("无下载任务");
    std::string info = utf8ToCp936("信息：");
    std::string failed = utf8ToCp936("解析失败");
    std::string finished = utf8ToCp936("下载完毕");
    std::string pause = utf8ToCp936("暂停");
    std::string resume = utf8ToCp936("继续");
    std::string folderTooLong = utf8ToCp936("保存路径过长");
    std::array<std::string, 7> states = {
        std::string(), utf8ToCp936("已取消"),   utf8ToCp936("已暂停"),  utf8ToCp936("下载中"),
        std::string(), utf8ToCp936("发送请求"), utf8ToCp936("结束请求")};
};

const Texts& texts() {
    static const Texts converted;
    return converted;
}

} // namespace

DownloadController::DownloadController(GlobalState& state, ControlSeam& controls)
    : state_(state), controls_(controls) {
    if (!state_.taskInfo) {
        state_.taskInfo = std::make_unique<TaskInfoRecord>();
    }
    if (!state_.taskParam) {
        state_.taskParam = std::make_unique<TaskParamRecord>();
    }
}

void DownloadController::startDownload() {
    for (;;) {
        const int rows = controls_.rowCount(downloadList);
        if (rows <= 0) {
            controls_.showMessage(texts().noTask, texts().info);
            return;
        }
        if (state_.currentRow < 0) {
            state_.currentRow = 0;
        }
        if (state_.currentRow >= rows) {
            return;
        }
        switch (startRow(state_.currentRow)) {
        case RowOutcome::Started:
        case RowOutcome::Stopped:
            return;
        case RowOutcome::Skipped:
            ++state_.currentRow;
            break;
        }
    }
}

DownloadController::RowOutcome DownloadController::startRow(int row) {
    const std::string scrambled = controls_.cellText(downloadList, row, addressColumn);
    if (scrambled == texts().failed) {
        return RowOutcome::Skipped;
    }
    // A row without an address could never be downloaded, and a task for it would
    // stall the whole list: it is skipped like a failed one.
    std::string address = unscrambleAddress(scrambled, addressTagKey);
    if (address.empty() || address == texts().failed) {
        return RowOutcome::Skipped;
    }
    std::string folder = controls_.text(folderBox) + "/";
    // The engine's folder field cannot hold a longer path; a cut path would name
    // another folder.
    if (cp936ToUtf16(folder).size() > maxFolderUnits) {
        controls_.setText(stateLabel, texts().folderTooLong);
        return RowOutcome::Stopped;
    }
    std::string fileName = lessonFileName(controls_.cellText(downloadList, row, titleColumn),
                                          state_.chosenExtension->get());

    state_.taskParam->defineFields(address, {}, {}, fileName, folder, false, true, true);
    state_.taskInfo->defineFields();
    std::uint8_t* param = state_.taskParam->baseAddress();
    if (param == nullptr || state_.taskInfo->baseAddress() == nullptr) {
        return RowOutcome::Stopped;
    }
    // Two tasks writing the same file would corrupt it: a task still running for an
    // earlier "下载" is stopped before its successor starts.
    if (taskUnfinished_) {
        dlengine::XL_StopTask(state_.currentTaskHandle);
    }
    state_.decodedAddress = std::move(address);
    state_.fileName = std::move(fileName);
    state_.saveFolder = std::move(folder);
    startedAddress_ = scrambled;
    state_.currentTaskHandle = dlengine::XL_CreateTask(param);
    dlengine::XL_StartTask(state_.currentTaskHandle);
    taskUnfinished_ = true;
    controls_.setTimerPeriod(timer, pollPeriodMs);
    return RowOutcome::Started;
}

void DownloadController::timerTick() {
    const int rows = controls_.rowCount(downloadList);
    TaskInfoRecord& info = *state_.taskInfo;
    if (info.baseAddress() == nullptr ||
        dlengine::XL_QueryTaskInfoEx(state_.currentTaskHandle, info.baseAddress()) == 0) {
        return;
    }
    const std::int32_t taskState = info.state();
    switch (taskState) {
    case 4:
        finishTask(rows);
        break;
    case 2:
    case 1:
        controls_.setText(stateLabel, texts().states[static_cast<std::size_t>(taskState)]);
        controls_.setTimerPeriod(timer, 0);
        break;
    case 3:
    case 5:
    case 6:
        controls_.setText(stateLabel, texts().states[static_cast<std::size_t>(taskState)]);
        break;
    default:
        break;
    }
    if (state_.currentRow >= 0 && state_.currentRow < controls_.rowCount(downloadList)) {
        controls_.setCellText(downloadList, state_.currentRow, sizeColumn,
                              sizeText(info.totalSize()));
    }
    controls_.setText(speedLabel,
                      speedText(info.speed(), info.availableSources(), info.totalSources()));
}

void DownloadController::finishTask(int rows) {
    taskUnfinished_ = false;
    controls_.setTimerPeriod(timer, 0);
    controls_.playCompletionSound();
    // The list may have been emptied and filled anew while the file downloaded (which
    // sets currentRow back to 0): then the row there is not the finished one, is not
    // marked, and is the next to download.
    if (controls_.cellText(downloadList, state_.currentRow, addressColumn) != startedAddress_) {
        if (state_.currentRow < rows) {
            startDownload();
        }
        return;
    }
    // The finished row shows the file's size even when it finished within a second.
    controls_.setCellText(downloadList, state_.currentRow, sizeColumn,
                          sizeText(state_.taskInfo->totalSize()));
    controls_.setCellText(downloadList, state_.currentRow, completionColumn, texts().finished);
    ++state_.currentRow;
    if (state_.currentRow < rows) {
        startDownload();
    }
}

void DownloadController::pauseClicked() {
    if (controls_.text(pauseButton) == texts().pause) {
        controls_.setText(pauseButton, texts().resume);
        dlengine::XL_StopTask(state_.currentTaskHandle);
        controls_.setTimerPeriod(timer, 0);
    } else {
        controls_.setText(pauseButton, texts().pause);
        dlengine::XL_StartTask(state_.currentTaskHandle);
        controls_.setTimerPeriod(timer, pollPeriodMs);
    }
}

std::string sizeText(std::int64_t bytes) {
    constexpr std::uint64_t gigabyte = 1073741824;
    constexpr std::uint64_t megabyte = 1048576;
    const bool negative = bytes < 0;
    // The magnitude as unsigned, so that the lowest int64 has one too.
    const std::uint64_t magnitude =
        negative ? ~static_cast<std::uint64_t>(bytes) + 1 : static_cast<std::uint64_t>(bytes);
    const std::uint64_t unit = magnitude >= gigabyte ? gigabyte : megabyte;
    // Hundredths of the unit, rounded half away from zero, in exact integer arithmetic.
    std::uint64_t hundredths = magnitude / unit * 100;
    const std::uint64_t scaledRest = magnitude % unit * 100;
    hundredths += scaledRest / unit;
    if (scaledRest % unit * 2 >= unit) {
        ++hundredths;
    }
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%s%" PRIu64 ".%02" PRIu64 "%s", negative ? "-" : "",
                  hundredths / 100, hundredths % 100, unit == gigabyte ? "GB" : "MB");
    return buffer;
}

std::string speedText(std::int32_t bytesPerSecond, std::int32_t available, std::int32_t total) {
    static const std::string prefix = utf8ToCp936("当前速度：");
    static const std::string megabytes = utf8ToCp936("MB    可用资源数：");
    static const std::string kilobytes = utf8ToCp936("KB    可用资源数：");
    const bool inMegabytes = bytesPerSecond >= 1048576;
    const std::int32_t whole = inMegabytes ? bytesPerSecond / 1048576 : bytesPerSecond / 1024;
    return prefix + std::to_string(whole) + (inMegabytes ? megabytes : kilobytes) +
           std::to_string(available) + "/" + std::to_string(total);
}

namespace {

// The UTF-8 length of each character of a CP936 text, with the character's start.
struct Character {
    std::size_t start;
    std::size_t length;
    std::size_t utf8Bytes;
};

std::vector<Character> charactersOf(std::string_view text, std::size_t limit) {
    std::vector<Character> characters;
    for (std::size_t i = 0; i < text.size() && characters.size() < limit;) {
        const bool twoBytes = static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size();
        const std::size_t length = twoBytes ? 2 : 1;
        characters.push_back({i, length, cp936ToUtf8(text.substr(i, length)).size()});
        i += length;
    }
    return characters;
}

} // namespace

std::string lessonFileName(std::string_view title, std::string_view extension) {
    static const std::string fullWidthSolidus = utf8ToCp936("／");
    std::string cleaned;
    for (std::size_t i = 0; i < title.size(); ++i) {
        const auto byte = static_cast<unsigned char>(title[i]);
        if (byte >= 0x80 && i + 1 < title.size()) {
            cleaned += title.substr(i, 2);
            ++i;
        } else if (byte == '/') {
            cleaned += fullWidthSolidus;
        } else if (byte < 0x20 || byte == 0x7F) {
            cleaned += '_';
        } else {
            cleaned += static_cast<char>(byte);
        }
    }
    // Every character gives at least one UTF-8 byte, so no more characters than the
    // limit can fit; the rest is not looked at.
    const std::size_t extensionBytes = cp936ToUtf8(extension).size();
    const std::vector<Character> characters = charactersOf(cleaned, maxFileNameUtf8Bytes + 1);
    std::size_t kept = 0;
    std::size_t keptBytes = 0;
    for (const Character& character : characters) {
        if (keptBytes + character.utf8Bytes + extensionBytes > maxFileNameUtf8Bytes) {
            break;
        }
        keptBytes += character.utf8Bytes;
        kept = character.start + character.length;
    }
    std::string name = cleaned.substr(0, kept) + std::string(extension);
    // "." and ".." name the folder itself or its parent, never a file.
    if (name == "." || name == "..") {
        name.assign(name.size(), '_');
    }
    return name;
}
