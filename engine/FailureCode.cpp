#include "engine/FailureCode.h"

FailureCode failureCodeForAria2Status(int status) {
    switch (status) {
    case 3: // resource not found
    case 4: // "not found" replies reached the limit
        return FailureCode::notFound;
    case 2: // time-out
    case 5: // too slow
        return FailureCode::timedOut;
    case 6:  // network problem
    case 19: // name resolution failed
        return FailureCode::networkError;
    case 8:  // the server cannot continue a partial file
    case 21: // FTP command failed
    case 22: // bad or unexpected reply header
    case 23: // too many redirects
    case 24: // authorisation failed
    case 29: // server overloaded or in maintenance (503)
        return FailureCode::serverError;
    case 9:  // disk full
    case 10: // piece length differs from the control file's
    case 14: // renaming failed
    case 15: // existing file could not be opened
    case 16: // file could not be created or truncated
    case 17: // file I/O error
    case 18: // folder could not be created
        return FailureCode::fileError;
    case 11: // the same file is already being downloaded
    case 13: // file exists
        return FailureCode::fileExists;
    default:
        return FailureCode::otherError;
    }
}
