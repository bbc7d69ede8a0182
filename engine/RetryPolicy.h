#pragma once
// How often and how patiently a transfer retries after a transient failure (a reset
// connection, a 5xx reply, a time-out). Taken up by every task created afterwards.

struct RetryPolicy {
    // Five tries with a three-second pause ride out a server restart or a short outage
    // without keeping a dead address busy for long.
    int maxTries = 5;
    int retryWaitSeconds = 3;
    // A connection that delivers nothing for this long is dropped and retried.
    int timeoutSeconds = 30;
    int connectTimeoutSeconds = 15;
};

RetryPolicy currentRetryPolicy();
// Values below their minimum (1 try, 0 s pause, 1 s time-outs) are raised to it.
void setRetryPolicy(RetryPolicy policy);
