#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// What one track's window says about the drive's read offset.
enum class OffsetEvidence : uint8_t {
    NotRead, // too short, not in the record, or the drive did not deliver the window
    NoMatch, // no offset gives a sector with one of the record's checksums
    Silence, // only all-zero sectors match: silence matches at every offset, it proves nothing
    Ambiguous, // several offsets match: the audio repeats within the window
    Unique, // exactly one offset gives a sector of audio with a checksum of the record
};

struct TrackOffsetEvidence {
    int32_t trackNumber = 0;
    OffsetEvidence kind = OffsetEvidence::NotRead;
    std::vector<int32_t> candidates; // [samples] offsets whose non-silent sector matched, ascending
};

// Weighs the window (see offsetsMatching) of one track against the record's sector-450
// checksums of that track (one per pressing). A matched sector that is digital silence is no
// evidence, and neither is a track on which several offsets match.
TrackOffsetEvidence weighOffsetWindow(int32_t trackNumber, const uint8_t* window, const std::vector<uint32_t>& crcs);

struct OffsetAnswer {
    std::optional<int32_t> offset; // [samples] nullopt: this disc cannot tell
    int32_t agreeing = 0; // tracks with unique evidence for the offset
    int32_t disagreeing = 0; // tracks with unique evidence for another offset
};

// The offset most tracks with unique evidence agree on; none when no track has such evidence or
// two offsets have the same number of tracks.
OffsetAnswer decideReadOffset(const std::vector<TrackOffsetEvidence>& tracks);

// "Track  3: matches at +667": one line of `tonvane offset --verbose`.
std::string describeOffsetEvidence(const TrackOffsetEvidence& track);

} // namespace tonvane
