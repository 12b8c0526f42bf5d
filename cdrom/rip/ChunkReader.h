#pragma once
#include "cdrom/rip/RipDrive.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace tonvane {

// READ CD with the rip thread's retry rules: a chunk is tried `attempts` times with a doubling
// back-off; a chunk that still fails is read one sector at a time, and a sector that never
// reads is silence and listed. Used by the rip thread only.
class ChunkReader {
public:
    ChunkReader(RipDrive*& drive, const std::atomic<uint8_t>& cancel, int32_t attempts, uint32_t firstBackoffMs);

    // Reads sectors (1 to 16) from lba into `into` (sectors x 2352 bytes); sectors that fail
    // every try are zero-filled and appended to unreadable [LBA]. False when not one sector
    // could be read, the drive is gone, or on cancel.
    bool read(int32_t lba, int32_t sectors, uint8_t* into, std::vector<int32_t>& unreadable);
    // One chunk as it is, with the retries but without falling back to single sectors.
    bool readWithRetries(int32_t lba, int32_t sectors, uint8_t* into);

    bool cancelled() const { return m_cancel.load(std::memory_order_acquire) != 0; }
    RipDrive& drive() { return *m_drive; }

private:
    RipDrive*& m_drive; // the rip thread's current drive (the device or its offset correction)
    const std::atomic<uint8_t>& m_cancel;
    int32_t m_attempts;
    uint32_t m_firstBackoffMs;
};

} // namespace tonvane
