#pragma once
#include "cdrom/accuraterip/AccurateRipDiscId.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr size_t kAccurateRipHeaderBytes = 13; // u8 track count, u32 id1, id2, id3 (LE)
inline constexpr size_t kAccurateRipEntryBytes = 9; // u8 confidence, u32 CRC, u32 sector-450 CRC
inline constexpr size_t kMaxAccurateRipBytes = 1 << 20; // [bytes] a larger answer is refused

struct AccurateRipEntry {
    uint8_t confidence = 0; // how many submissions agree
    uint32_t crc = 0; // of the whole track
    uint32_t frame450Crc = 0; // of the track's sector 450, for finding a drive's offset
};

// One pressing's entries; entry i is the i-th track of the record (with a data track first, the
// data track is entry 0 and the last audio track is missing).
using AccurateRipBlock = std::vector<AccurateRipEntry>;

// Every block of a database record. nullopt when any header differs from the disc's ids, a
// block is cut short, or nothing is there: the record is then not believed at all.
std::optional<std::vector<AccurateRipBlock>> parseAccurateRipResponse(std::span<const uint8_t> bytes,
                                                                       const AccurateRipDiscId& id);

enum class AccurateRipStatus : uint8_t { NotInDatabase, Accurate, NotAccurate };

struct AccurateRipVerdict {
    AccurateRipStatus status = AccurateRipStatus::NotInDatabase;
    uint32_t confidence = 0; // of the matching entries, summed over the blocks
    std::string text() const; // "accurate (confidence 5)", "not accurate", "not in the database"
};

// The verdict for the audio track audioIndex (0-based among the audio tracks) whose CRCs are
// v1 and v2. Entries with confidence 0 are no submission.
AccurateRipVerdict accurateRipVerdict(const std::vector<AccurateRipBlock>& blocks, const AccurateRipDiscId& id,
                                      uint32_t audioIndex, uint32_t v1, uint32_t v2);

} // namespace tonvane
