#pragma once
// An AccurateRip database record of a disc whose audio the test holds: one pressing whose
// entries match each track's audio with the given confidence, as the database serves it.
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "cdrom/accuraterip/OffsetSearch.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tonvane::test {

inline void putLe32(std::string& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// tracks: each audio track's PCM (16-bit stereo little-endian), in disc order.
inline std::string accurateRipRecordOf(const AccurateRipDiscId& id, const std::vector<std::string>& tracks,
                                       uint8_t confidence)
{
    constexpr size_t kSectorBytes = 2352, kCheckedSector = 450;
    std::string block;
    block.push_back(static_cast<char>(id.audioTracks));
    putLe32(block, id.id1);
    putLe32(block, id.id2);
    putLe32(block, id.id3);
    for (size_t t = 0; t < tracks.size(); ++t) {
        const std::string& pcm = tracks[t];
        AccurateRipChecksum checksum(pcm.size() / 4, t == 0, t + 1 == tracks.size());
        checksum.feed(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size());
        block.push_back(static_cast<char>(confidence));
        putLe32(block, checksum.v1());
        bool long_enough = pcm.size() >= (kCheckedSector + 1) * kSectorBytes;
        putLe32(block, long_enough ? sectorChecksum(reinterpret_cast<const uint8_t*>(pcm.data()) + kCheckedSector * kSectorBytes)
                                   : 0);
    }
    return block;
}

} // namespace tonvane::test
