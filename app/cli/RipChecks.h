#pragma once
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/rip/RipObserver.h"
#include "core/disc/ConversionJob.h"

#include <vector>

namespace tonvane::cli {

// What the rip learnt of one track from the audio that went into its file.
struct TrackCheck {
    AccurateRipChecksum accurateRip;
    uint32_t copyCrc = 0; // CRC-32 of the PCM written
    std::vector<int32_t> unreadable; // [LBA] sectors written as silence
};

// The observer of a command-line rip: one checksum pass over the PCM already in memory. Filled
// on the rip thread, read after the conversion has been waited for.
class RipChecks final : public RipObserver {
public:
    // The disc's first and last audio tracks are the job's first and last entries.
    explicit RipChecks(const ConversionJob& job);

    void onAudio(int32_t trackIndex, int32_t sectorInTrack, const uint8_t* pcm, size_t bytes) override;
    void onUnreadableSector(int32_t trackIndex, int32_t lba) override;

    const TrackCheck& track(int32_t index) const { return m_tracks[static_cast<size_t>(index)]; }

private:
    std::vector<TrackCheck> m_tracks;
};

} // namespace tonvane::cli
