#pragma once
#include "net/cddb/DiscToc.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// The table MusicBrainz identifies a disc by: the first session only. Offsets count from the
// start of the lead-in (LBA + 150).
struct MusicBrainzToc {
    uint8_t firstTrack = 0;
    uint8_t lastTrack = 0;
    uint32_t leadOut = 0; // [sectors]
    std::vector<uint32_t> offsets; // [sectors] firstTrack .. lastTrack
};

inline constexpr uint32_t kMusicBrainzSessionGap = 11400; // lead-out + lead-in + pre-gap between sessions

// A data track that comes first stays in; data tracks after the last audio track belong to a
// later session (enhanced CD): the audio session's lead-out is then the first of them's start -
// 11400. Nothing for a table without an audio track or an inconsistent one.
std::optional<MusicBrainzToc> musicBrainzToc(const DiscToc& toc);

// The 28-character disc id: SHA-1 over the upper-case hex of first track (2 digits), last
// track (2), lead-out (8) and 99 offsets (8 each, 0 for tracks that do not exist), in base64
// with '+' -> '.', '/' -> '_', '=' -> '-'.
std::string musicBrainzDiscId(const MusicBrainzToc& toc);

// The "toc" query value for a fuzzy lookup: "first+last+lead-out+offset...".
std::string musicBrainzTocQuery(const MusicBrainzToc& toc);

} // namespace tonvane
