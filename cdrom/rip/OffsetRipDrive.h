#pragma once
#include "cdrom/rip/RipDrive.h"

#include <cstdint>
#include <vector>

namespace tonvane {

inline constexpr int32_t kMaxReadOffset = 2939; // [samples] either way; AccurateRip leaves 2940 out
inline constexpr uint32_t kBytesPerSample = 4; // [bytes] 16-bit left + right

// Corrects a drive's read offset: a drive with offset +n delivers the disc's sample d at its
// position d + n, so the disc's sector s is read from the drive's bytes starting at
// s x 2352 + 4n. Drive sectors outside [readableStart, readableEnd) are not read and count as
// silence (before the first audio track, past the lead-out that no drive can read). Wraps the
// rip thread's drive for one conversion; used by the rip thread only.
class OffsetRipDrive final : public RipDrive {
public:
    OffsetRipDrive(RipDrive& inner, int32_t offsetSamples, int32_t readableStart, int32_t readableEnd);

    bool open(std::u16string_view devicePath) override { return m_inner.open(devicePath); }
    void prepare() override { m_inner.prepare(); }
    bool readCd(int32_t lba, int32_t sectors, uint8_t* buffer) override;
    bool lastFailureIsFinal() const override { return m_inner.lastFailureIsFinal(); }
    void finish() override { m_inner.finish(); }
    void close() override { m_inner.close(); }

    // Drops the drive sector kept from the last read, so the next read asks the drive for all.
    void dropKeptSectors() override { m_keptLba = kNothingKept; }

private:
    static constexpr int64_t kNothingKept = INT64_MIN;
    static constexpr int32_t kInnerSectors = 16; // [sectors] per inner READ CD

    bool readDriveSectors(int64_t first, int32_t count, uint8_t* out);

    RipDrive& m_inner;
    int64_t m_shiftBytes; // 4 x offset
    int64_t m_readableStart; // [LBA]
    int64_t m_readableEnd; // [LBA]
    std::vector<uint8_t> m_scratch; // the drive sectors of one request
    int64_t m_keptLba = kNothingKept; // the last drive sector of the previous request, kept
    std::vector<uint8_t> m_kept;
};

} // namespace tonvane
