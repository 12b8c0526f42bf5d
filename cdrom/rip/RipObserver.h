#pragma once
#include "cdrom/rip/DriveCacheProbe.h"

#include <cstddef>
#include <cstdint>

namespace tonvane {

// Watches the audio of a conversion as the rip thread hands it to the lanes: checksums, the rip
// log. Called on the rip thread only, in each track's sector order; the observer must outlive
// the rip thread and may be read by its owner once the conversion has been waited for.
class RipObserver {
public:
    virtual ~RipObserver() = default;
    // bytes of PCM (whole sectors) of the track at trackIndex, starting at its sector
    // sectorInTrack (0-based), exactly as written into the lane's stream.
    virtual void onAudio(int32_t trackIndex, int32_t sectorInTrack, const uint8_t* pcm, size_t bytes) = 0;
    // A sector that failed every read; its place in the file holds silence.
    virtual void onUnreadableSector(int32_t trackIndex, int32_t lba) = 0;

    // Secure reading. The drive cache, once before the first read: bytes measured (the largest
    // step held; re-reads read past twice that), given or assumed (re-reads read past that).
    virtual void onDriveCache(uint32_t /*bytes*/, DriveCacheSource) {}
    // Whether AccurateRip confirms the track's first read (all of its bytes).
    virtual bool accurateRipConfirms(int32_t, const uint8_t*, size_t) { return false; }
    // CRC-32 of the track's test (second) read.
    virtual void onTestRead(int32_t, uint32_t) {}
    // A chunk whose reads differed was read again: reads in all, and whether two agreed.
    virtual void onReread(int32_t, int32_t /*lba*/, int32_t /*sectors*/, int32_t /*reads*/, bool /*agreed*/) {}
    // A sector that never read the same twice; its last read is in the file.
    virtual void onSuspiciousSector(int32_t, int32_t /*lba*/) {}
};

} // namespace tonvane
