#include "engine/RetryPolicy.h"

#include <algorithm>
#include <mutex>

namespace {
std::mutex policyMutex;
RetryPolicy policy;
} // namespace

RetryPolicy currentRetryPolicy() {
    std::lock_guard lock(policyMutex);
    return policy;
}

void setRetryPolicy(RetryPolicy next) {
    next.maxTries = std::max(next.maxTries, 1);
    next.retryWaitSeconds = std::clamp(next.retryWaitSeconds, 0, 600);
    next.timeoutSeconds = std::clamp(next.timeoutSeconds, 1, 600);
    next.connectTimeoutSeconds = std::clamp(next.connectTimeoutSeconds, 1, 600);
    std::lock_guard lock(policyMutex);
    policy = next;
}
