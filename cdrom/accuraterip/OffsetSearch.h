#pragma once
#include <cstdint>
#include <vector>

namespace tonvane {

inline constexpr int32_t kMaxOffsetSearch = 2939; // [samples] either way
inline constexpr uint32_t kOffsetWindowBefore = 5; // [sectors] read before the track's sector 450
inline constexpr uint32_t kOffsetWindowSectors = 11; // [sectors] sector 450 with 5 either side

// The read offsets n (-2939..2939) for which a drive that delivers the disc's sample d at
// position d + n gives a sector 450 whose sectorChecksum is crc. window holds the drive's
// sectors [track start + 445, + 11) as it delivered them, without correction.
std::vector<int32_t> offsetsMatching(const uint8_t* window, uint32_t crc);

} // namespace tonvane
