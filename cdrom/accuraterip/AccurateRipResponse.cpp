#include "cdrom/accuraterip/AccurateRipResponse.h"

namespace tonvane {

namespace {

uint32_t readLe32(const uint8_t* bytes)
{
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

} // namespace

std::optional<std::vector<AccurateRipBlock>> parseAccurateRipResponse(std::span<const uint8_t> bytes,
                                                                       const AccurateRipDiscId& id)
{
    if (bytes.empty() || bytes.size() > kMaxAccurateRipBytes)
        return std::nullopt;
    std::vector<AccurateRipBlock> blocks;
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kAccurateRipHeaderBytes)
            return std::nullopt;
        const uint8_t* header = bytes.data() + at;
        uint32_t count = header[0];
        if (count != id.audioTracks || readLe32(header + 1) != id.id1 || readLe32(header + 5) != id.id2 ||
            readLe32(header + 9) != id.id3)
            return std::nullopt;
        at += kAccurateRipHeaderBytes;
        if (bytes.size() - at < count * kAccurateRipEntryBytes)
            return std::nullopt;
        AccurateRipBlock block(count);
        for (AccurateRipEntry& entry : block) {
            entry.confidence = bytes[at];
            entry.crc = readLe32(bytes.data() + at + 1);
            entry.frame450Crc = readLe32(bytes.data() + at + 5);
            at += kAccurateRipEntryBytes;
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

std::string AccurateRipVerdict::text() const
{
    switch (status) {
    case AccurateRipStatus::Accurate:
        return "accurate (confidence " + std::to_string(confidence) + ")";
    case AccurateRipStatus::NotAccurate:
        return "not accurate";
    case AccurateRipStatus::NotInDatabase:
        break;
    }
    return "not in the database";
}

AccurateRipVerdict accurateRipVerdict(const std::vector<AccurateRipBlock>& blocks, const AccurateRipDiscId& id,
                                      uint32_t audioIndex, uint32_t v1, uint32_t v2)
{
    AccurateRipVerdict verdict;
    // With a data track first the record's entries are shifted by one.
    size_t entryIndex = size_t{audioIndex} + (id.dataTrackFirst ? 1 : 0);
    bool submitted = false;
    for (const AccurateRipBlock& block : blocks) {
        if (entryIndex >= block.size() || block[entryIndex].confidence == 0)
            continue;
        submitted = true;
        const AccurateRipEntry& entry = block[entryIndex];
        if (entry.crc == v1 || entry.crc == v2) {
            verdict.status = AccurateRipStatus::Accurate;
            verdict.confidence += entry.confidence;
        }
    }
    if (verdict.status != AccurateRipStatus::Accurate && submitted)
        verdict.status = AccurateRipStatus::NotAccurate;
    return verdict;
}

} // namespace tonvane
