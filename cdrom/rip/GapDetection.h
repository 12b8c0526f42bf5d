#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr uint32_t kMaxPregapSectors = 60 * 75; // [sectors] a longer gap is not looked for

struct GapTrack {
    int32_t number = 0; // 1..99
    uint32_t start = 0; // [LBA] INDEX 01
};

// The pregap (INDEX 00 to INDEX 01) of each track, in sectors, from the Q sub-channel around the
// track starts: a binary search for the first sector whose Q names the track with index 0. The
// first track's, when it starts after LBA 0, is the audio before it that Q gives as its index 0
// (any length). nullopt when the drive cannot be opened or does not give Q positions.
std::optional<std::vector<uint32_t>> detectPregaps(const std::string& drive, const std::vector<GapTrack>& tracks);

} // namespace tonvane
