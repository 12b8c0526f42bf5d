#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr uint32_t kLeadInSectors = 150; // [sectors] the 2-second pre-gap before LBA 0
inline constexpr uint32_t kCddbSectorsPerSecond = 75;

// A disc's table of contents as the CDDB disc ID needs it: every track from first to last with
// its start, and the lead-out. Addresses are logical block addresses (LBA 0 = 00:02:00 MSF).
struct DiscToc {
    struct Track {
        uint8_t number = 0;
        uint8_t controlAdr = 0; // READ TOC byte 1: ADR in the high nibble, CONTROL in the low
        uint32_t startLba = 0; // [sectors]
    };
    uint8_t firstTrack = 0;
    uint8_t lastTrack = 0;
    std::vector<Track> tracks; // firstTrack .. lastTrack in order
    uint32_t leadOutLba = 0; // [sectors]
};

// Parses the answer of READ TOC format 0 with LBA addresses: a 4-byte header (data length,
// first track, last track) and 8-byte descriptors, the lead-out (track 0xAA) last. The bytes
// come from a drive and are checked: short or inconsistent answers give nothing.
std::optional<DiscToc> parseReadTocFormat0(std::span<const uint8_t> answer);

// True when the table is usable for a disc ID: tracks first..last present, starts ascending,
// lead-out after the last start.
bool isConsistent(const DiscToc& toc);

// The freedb disc ID: (digit-sum checksum of every track's start second mod 255) << 24 |
// playing seconds << 8 | track count. Seconds count from the start of the lead-in.
uint32_t cddbDiscId(const DiscToc& toc);

// "cddb query <id> <count> <offset>... <lead-out second>\r\n", offsets in sectors from the
// start of the lead-in.
std::string cddbQueryCommand(const DiscToc& toc);

} // namespace tonvane
