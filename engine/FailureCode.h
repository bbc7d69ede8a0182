#pragma once
// The values the engine writes into "失败代码" when a task ends in state 1. 0 means no
// failure. Codes 1-9 come from the engine's own checks of the task, before anything is
// fetched or written; codes 10 and up describe how the transfer failed.

#include <cstdint>

enum class FailureCode : std::int32_t {
    none = 0,
    missingRecord = 1,     // XL_CreateTask got no parameter record
    badAddress = 2,        // empty address, a scheme other than http, https or ftp, or
                           // control characters in it
    badHeader = 3,         // referrer or cookies with line breaks or other control characters
    badFileName = 4,       // the name holds "/", is "." or "..", is empty while names must be
                           // used as given, or is too long for the file system
    badFolder = 5,         // no folder given, or it cannot be created or is not a folder
    engineUnavailable = 6, // the transfer session could not be started or broke down
    notFound = 10,         // the server answered "not found" (404 and the like)
    timedOut = 11,         // no answer, or no data for too long, on every try
    networkError = 12,     // connections failed or were cut off on every try; name lookup
    serverError = 13,      // replies the engine cannot use: 5xx on every try, a bad header,
                           // too many redirects, refused authorisation
    fileError = 14,        // the file could not be created, written or renamed; disk full
    fileExists = 15,       // the file exists and may be neither continued nor replaced
    unfinishedFile = 16,   // the transfer ended but the file is missing, has the wrong size
                           // or its control file is still there
    otherError = 19,       // anything else the transfer reported
};

// The engine's code for an aria2 exit status (the numbers of aria2c's manual).
FailureCode failureCodeForAria2Status(int status);
