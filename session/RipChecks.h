#pragma once
#include "session/AccurateRipLookup.h"
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/rip/RipObserver.h"
#include "session/LoudnessMeter.h"
#include "core/disc/ConversionJob.h"

#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// What the rip learnt of one track from the audio that went into its file.
struct TrackCheck {
    AccurateRipChecksum accurateRip;
    uint32_t copyCrc = 0; // CRC-32 of the PCM written
    std::optional<uint32_t> testCrc; // CRC-32 of the test read, when there was one
    std::vector<int32_t> unreadable; // [LBA] sectors written as silence
    std::vector<int32_t> suspicious; // [LBA] sectors that never read the same twice
    std::vector<std::string> rereads; // one line per chunk read again
};

// The observer of a command-line rip: one checksum pass over the PCM already in memory. Filled
// on the rip thread, read after the conversion has been waited for.
class RipChecks final : public RipObserver {
public:
    // The disc's first and last audio tracks are the job's first and last entries.
    // record and id (may be null: nothing confirms) must outlive the conversion.
    RipChecks(const ConversionJob& job, const AccurateRipRecord* record, const AccurateRipDiscId* id);

    void onAudio(int32_t trackIndex, int32_t sectorInTrack, const uint8_t* pcm, size_t bytes) override;
    void onUnreadableSector(int32_t trackIndex, int32_t lba) override;
    // Confidence 2 or more for the first read: one read is enough.
    bool accurateRipConfirms(int32_t trackIndex, const uint8_t* pcm, size_t bytes) override;
    void onTestRead(int32_t trackIndex, uint32_t crc) override;
    void onReread(int32_t trackIndex, int32_t lba, int32_t sectors, int32_t reads, bool agreed) override;
    void onSuspiciousSector(int32_t trackIndex, int32_t lba) override;
    void onDriveCache(uint32_t bytes, DriveCacheSource source) override;

    // The meter (may be null) also sees every track's PCM; it must outlive the conversion.
    void measureLoudness(LoudnessMeter* meter) { m_loudness = meter; }

    const TrackCheck& track(int32_t index) const { return m_tracks[static_cast<size_t>(index)]; }
    // "8 MiB (measured)", "4 MiB (--drive-cache)"; empty when the rip read each track once.
    std::string driveCacheText() const;

private:
    TrackCheck* at(int32_t index);

    std::vector<TrackCheck> m_tracks;
    const AccurateRipRecord* m_record;
    const AccurateRipDiscId* m_id;
    LoudnessMeter* m_loudness = nullptr;
    std::optional<std::pair<uint32_t, DriveCacheSource>> m_driveCache; // [bytes], where from
};

} // namespace tonvane
