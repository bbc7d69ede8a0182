#pragma once
// The limits every web request runs under. A connection that cannot be made within
// `connectTimeout`, or an exchange that receives nothing for `stallTimeout`, ends the
// request as failed, so a worker never hangs on a dead server; a reply body larger than
// `maxBodyBytes` is not kept. The values are process-wide; only tests change them.

#include <chrono>
#include <cstddef>

struct WebLimits {
    std::chrono::milliseconds connectTimeout{30'000};
    std::chrono::milliseconds stallTimeout{60'000};
    std::size_t maxBodyBytes = std::size_t{64} << 20;
    int maxRedirects = 10;
};

WebLimits webLimits();
void setWebLimits(const WebLimits& limits);
