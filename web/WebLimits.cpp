#include "web/WebLimits.h"

#include <mutex>

namespace {

std::mutex limitsMutex;
WebLimits currentLimits;

} // namespace

WebLimits webLimits() {
    std::lock_guard lock(limitsMutex);
    return currentLimits;
}

void setWebLimits(const WebLimits& limits) {
    std::lock_guard lock(limitsMutex);
    currentLimits = limits;
}
