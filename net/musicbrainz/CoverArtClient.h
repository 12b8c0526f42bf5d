#pragma once
#include "core/disc/TrackTags.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace tonvane {

struct CoverArtOptions {
    std::string server = "https://coverartarchive.org"; // base URL, no trailing "/"
    uint32_t timeoutMs = 30000; // [ms] the request with its redirects
    uint64_t maxImageBytes = 4ull * 1024 * 1024; // [bytes] a larger image is refused
    const std::atomic<bool>* cancel = nullptr; // set: the request stops (WebFetchOptions::cancel)
};

struct CoverArtResult {
    std::shared_ptr<const CoverPicture> picture; // null when there is none or it failed
    bool missing = false; // the archive has no front cover for the release (404)
    std::string error; // why picture is null, when not missing
};

// "image/jpeg" or "image/png" from the first bytes; empty for anything else.
std::string imageTypeOf(const std::string& bytes);
// The file name a picture is saved under: "cover.jpg" or "cover.png".
std::string coverFileName(const CoverPicture& picture);

// The release's front image, 500 pixels wide ("/release/<mbid>/front-500"), following the
// archive's redirects. Only JPEG and PNG, recognised by their magic bytes, are taken.
CoverArtResult fetchFrontCover(const std::string& releaseId, const CoverArtOptions& options = {});

} // namespace tonvane
