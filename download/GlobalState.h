#pragma once
// The state that lives from start-up to exit, shared by the window, the list commands,
// the parsing workers and the download controller.

#include "download/TaskInfoRecord.h"
#include "download/TaskParamRecord.h"
#include "text/SharedText.h"

#include <cstdint>
#include <memory>
#include <string>

struct GlobalState final {
    std::int32_t currentTaskHandle = 0;
    // 0-based row of the download list that "下载" starts from.
    std::int32_t currentRow = 0;
    // ".flv" or ".mp4": written by the address worker, read by the download controller
    // on the UI thread, hence guarded.
    std::shared_ptr<SharedText> chosenExtension = std::make_shared<SharedText>();
    std::unique_ptr<TaskInfoRecord> taskInfo;
    std::unique_ptr<TaskParamRecord> taskParam;
    // The download controller's scratch texts of the last started task.
    std::string decodedAddress;
    std::string fileName;
    std::string saveFolder;
};
