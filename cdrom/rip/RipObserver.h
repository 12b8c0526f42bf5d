#pragma once
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
};

} // namespace tonvane
