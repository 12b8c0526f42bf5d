#include "cdrom/rip/OffsetRipDrive.h"

#include "core/disc/TrackEntry.h"

#include <algorithm>
#include <cstring>

namespace tonvane {

OffsetRipDrive::OffsetRipDrive(RipDrive& inner, int32_t offsetSamples, int32_t readableStart, int32_t readableEnd)
    : m_inner(inner), m_shiftBytes(int64_t{offsetSamples} * kBytesPerSample), m_readableStart(readableStart),
      m_readableEnd(readableEnd), m_scratch((kInnerSectors + 1) * size_t{kSectorBytes}), m_kept(kSectorBytes)
{
}

// Drive sectors [first, first + count) into out; sectors outside the readable range are zeros.
// A sequential rip needs one sector more than a chunk; the previous request's last sector is
// that one, so each chunk still costs the drive one READ CD of 16 sectors.
bool OffsetRipDrive::readDriveSectors(int64_t first, int32_t count, uint8_t* out)
{
    int32_t done = 0;
    if (count > 0 && first == m_keptLba) {
        std::memcpy(out, m_kept.data(), kSectorBytes);
        done = 1;
    }
    while (done < count) {
        int64_t lba = first + done;
        uint8_t* at = out + size_t(done) * kSectorBytes;
        if (lba < m_readableStart || lba >= m_readableEnd) {
            std::memset(at, 0, kSectorBytes);
            ++done;
            continue;
        }
        int32_t run = static_cast<int32_t>(std::min<int64_t>({count - done, kInnerSectors, m_readableEnd - lba}));
        if (!m_inner.readCd(static_cast<int32_t>(lba), run, at)) {
            m_keptLba = kNothingKept;
            return false;
        }
        done += run;
    }
    m_keptLba = first + count - 1;
    std::memcpy(m_kept.data(), out + size_t(count - 1) * kSectorBytes, kSectorBytes);
    return true;
}

bool OffsetRipDrive::readCd(int32_t lba, int32_t sectors, uint8_t* buffer)
{
    if (sectors <= 0 || sectors > kInnerSectors)
        return false;
    int64_t byteStart = int64_t{lba} * kSectorBytes + m_shiftBytes;
    // Floor division: the shift may take the start before LBA 0.
    int64_t first = byteStart >= 0 ? byteStart / kSectorBytes : -((-byteStart + kSectorBytes - 1) / kSectorBytes);
    int64_t within = byteStart - first * kSectorBytes;
    int32_t count = sectors + (within != 0 ? 1 : 0);
    if (!readDriveSectors(first, count, m_scratch.data()))
        return false;
    std::memcpy(buffer, m_scratch.data() + within, size_t(sectors) * kSectorBytes);
    return true;
}

} // namespace tonvane
