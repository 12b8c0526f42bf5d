#pragma once
#include "net/musicbrainz/MusicBrainzDiscId.h"
#include "net/musicbrainz/MusicBrainzRelease.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace tonvane {

struct MusicBrainzOptions {
    std::string server = "https://musicbrainz.org"; // base URL, no trailing "/"
    uint32_t timeoutMs = 30000; // [ms] per request
    uint64_t maxReplyBytes = 8ull * 1024 * 1024; // [bytes] a larger reply fails the lookup
    uint32_t maxRetryAfterSeconds = 10; // a busy server asking for a longer wait is not waited for
    const std::atomic<bool>* cancel = nullptr; // set: requests stop (WebFetchOptions::cancel)
};

struct MusicBrainzLookup {
    bool ok = false; // the server answered (maybe with no match)
    bool fuzzy = false; // the matches come from the table-of-contents search
    std::string discId;
    std::string error; // why ok is false
    std::vector<MusicBrainzMatch> matches;
};

// "Tonvane/<version> ( <web page> )", as the MusicBrainz web service asks of every client.
std::string musicBrainzUserAgent();

// Looks the disc up by its id; when the id is unknown, by its table of contents (fuzzy, no CD
// stubs). At most one request per second leaves this process; a 503 is retried once after its
// Retry-After. Blocks for at most a few time-outs.
MusicBrainzLookup lookUpMusicBrainz(const MusicBrainzToc& toc, size_t audioTrackCount,
                                    const MusicBrainzOptions& options = {});

} // namespace tonvane
