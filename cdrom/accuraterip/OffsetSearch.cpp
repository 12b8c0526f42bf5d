#include "cdrom/accuraterip/OffsetSearch.h"

#include "cdrom/accuraterip/AccurateRipChecksum.h"

namespace tonvane {

std::vector<int32_t> offsetsMatching(const uint8_t* window, uint32_t crc)
{
    // The disc's sector 450 starts kOffsetWindowBefore sectors into the window; offset n moves
    // it n samples later.
    constexpr int64_t kSectorStart = int64_t{kOffsetWindowBefore} * kWordsPerSector; // [samples]
    std::vector<int32_t> matches;
    for (int32_t n = -kMaxOffsetSearch; n <= kMaxOffsetSearch; ++n) {
        const uint8_t* sector = window + (kSectorStart + n) * 4;
        if (sectorChecksum(sector) == crc)
            matches.push_back(n);
    }
    return matches;
}

} // namespace tonvane
