#pragma once
// What a task parameter record asks for, decoded from its raw bytes, and the checks that
// keep a task from reaching outside what it was given.

#include "engine/FailureCode.h"

#include <string>

struct TaskRequest {
    std::string url;      // UTF-8 (ASCII in practice)
    std::string referrer; // sent as Referer when not empty
    std::string cookies;  // sent as Cookie when not empty
    std::string fileName; // UTF-8
    std::string folder;   // UTF-8
    // The engine only ever fetches from the given address (it knows no mirrors and
    // follows no torrent or metalink), so this flag asks for what it always does.
    bool givenAddressOnly = false;
    bool noSmartNaming = false;
    bool useResume = false;
};

// Reads the 26564-byte parameter record at `record`.
TaskRequest readTaskRequest(const void* record);

// FailureCode::none when the task may go ahead, else the reason it may not.
FailureCode checkTaskRequest(const TaskRequest& request);
