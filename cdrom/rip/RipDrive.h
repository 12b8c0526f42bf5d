#pragma once
#include <cstdint>
#include <string_view>

namespace tonvane {

// What the rip thread needs of the drive, so that scheduling can be tested on its own and the
// drive layer stays behind one seam.
class RipDrive {
public:
    virtual ~RipDrive() = default;
    // Opens the device and refreshes its capabilities.
    virtual bool open(std::u16string_view devicePath) = 0;
    // Volume lock, prevent medium removal, speed selection. Failures are tolerated.
    virtual void prepare() = 0;
    // READ CD of sectors (1 to 16) CD-DA sectors from lba into buffer (sectors x 2352 bytes).
    virtual bool readCd(int32_t lba, int32_t sectors, uint8_t* buffer) = 0;
    // After a failed readCd: true when no retry can help (no medium, the drive is gone).
    virtual bool lastFailureIsFinal() const { return false; }
    // Forgets any sector kept in memory from an earlier read, so the next read asks the drive.
    virtual void dropKeptSectors() {}
    // Allow medium removal, unlock the volume.
    virtual void finish() = 0;
    virtual void close() = 0;
};

} // namespace tonvane
