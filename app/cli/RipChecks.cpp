#include "app/cli/RipChecks.h"

#include "cdrom/accuraterip/Crc32.h"

namespace tonvane::cli {

RipChecks::RipChecks(const ConversionJob& job) : m_tracks(static_cast<size_t>(job.count))
{
    for (int32_t i = 0; i < job.count; ++i) {
        uint64_t words = uint64_t(job.tracks[i].length) * kWordsPerSector;
        m_tracks[static_cast<size_t>(i)].accurateRip = AccurateRipChecksum(words, i == 0, i == job.count - 1);
    }
}

void RipChecks::onAudio(int32_t trackIndex, int32_t, const uint8_t* pcm, size_t bytes)
{
    if (trackIndex < 0 || static_cast<size_t>(trackIndex) >= m_tracks.size())
        return;
    TrackCheck& check = m_tracks[static_cast<size_t>(trackIndex)];
    check.accurateRip.feed(pcm, bytes);
    check.copyCrc = crc32Update(check.copyCrc, pcm, bytes);
}

void RipChecks::onUnreadableSector(int32_t trackIndex, int32_t lba)
{
    if (trackIndex >= 0 && static_cast<size_t>(trackIndex) < m_tracks.size())
        m_tracks[static_cast<size_t>(trackIndex)].unreadable.push_back(lba);
}

} // namespace tonvane::cli
