#pragma once
#include <atomic>
#include <cstdint>
#include <string>

namespace tonvane {

struct WebFetchOptions {
    std::string userAgent;
    uint32_t timeoutMs = 30000; // [ms] the whole request, redirects included
    uint64_t maxBodyBytes = 0; // [bytes] a longer body fails the fetch
    int maxRedirects = 5;
    // Set by another thread: the transfer stops at libcurl's next progress call (at least once a
    // second) and fails with "cancelled". Null: runs to its end or time-out.
    const std::atomic<bool>* cancel = nullptr;
};

struct WebResponse {
    bool transferred = false; // a response arrived whole (any status)
    long status = 0; // HTTP status of the last response
    std::string body;
    uint32_t retryAfterSeconds = 0; // Retry-After in seconds, 0 when absent or a date
    bool tooLarge = false;
    std::string error; // why transferred is false
};

// One GET over HTTP or HTTPS (libcurl: the system's CA store, redirects followed to http and
// https only, no signals). Blocks the caller for at most the time-out, or until cancelled.
WebResponse fetchUrl(const std::string& url, const WebFetchOptions& options);

} // namespace tonvane
