#include "cdrom/rip/ChunkReader.h"

#include "core/disc/TrackEntry.h"
#include "core/foundation/Clock.h"

#include <algorithm>

namespace tonvane {

namespace {
constexpr uint32_t kBackoffStepMs = 5; // [ms] a cancel ends the back-off within this
}

ChunkReader::ChunkReader(RipDrive*& drive, const std::atomic<uint8_t>& cancel, int32_t attempts,
                         uint32_t firstBackoffMs)
    : m_drive(drive), m_cancel(cancel), m_attempts(std::max(attempts, 1)), m_firstBackoffMs(firstBackoffMs)
{
}

bool ChunkReader::readWithRetries(int32_t lba, int32_t sectors, uint8_t* into)
{
    uint32_t backoff = m_firstBackoffMs;
    for (int32_t attempt = 1; attempt <= m_attempts; ++attempt) {
        if (m_drive->readCd(lba, sectors, into))
            return true;
        if (attempt == m_attempts || cancelled() || m_drive->lastFailureIsFinal())
            break;
        for (uint32_t waited = 0; waited < backoff && !cancelled(); waited += kBackoffStepMs)
            sleepMs(kBackoffStepMs);
        backoff *= 2;
    }
    return false;
}

// A chunk that failed as a whole is read one sector at a time, so that one bad sector costs
// that sector instead of the rest of the track.
bool ChunkReader::read(int32_t lba, int32_t sectors, uint8_t* into, std::vector<int32_t>& unreadable)
{
    if (readWithRetries(lba, sectors, into))
        return true;
    int32_t readable = 0;
    for (int32_t i = 0; i < sectors && !cancelled() && !m_drive->lastFailureIsFinal(); ++i) {
        uint8_t* sector = into + static_cast<size_t>(i) * kSectorBytes;
        if (readWithRetries(lba + i, 1, sector)) {
            ++readable;
            continue;
        }
        std::fill(sector, sector + kSectorBytes, uint8_t{0});
        unreadable.push_back(lba + i);
    }
    // Not one sector of the chunk: the drive or the disc is gone.
    return readable > 0 && !cancelled() && !m_drive->lastFailureIsFinal();
}

} // namespace tonvane
