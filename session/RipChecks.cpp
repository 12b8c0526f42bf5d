#include "session/RipChecks.h"

#include "cdrom/accuraterip/Crc32.h"

namespace tonvane {

namespace {
constexpr uint32_t kConfirmingConfidence = 2; // submissions that make a second read needless
}

RipChecks::RipChecks(const ConversionJob& job, const AccurateRipRecord* record, const AccurateRipDiscId* id)
    : m_tracks(static_cast<size_t>(job.count)), m_record(record), m_id(id)
{
    for (int32_t i = 0; i < job.count; ++i) {
        uint64_t words = uint64_t(job.tracks[i].length) * kWordsPerSector;
        m_tracks[static_cast<size_t>(i)].accurateRip = AccurateRipChecksum(words, i == 0, i == job.count - 1);
    }
}

TrackCheck* RipChecks::at(int32_t index)
{
    return index >= 0 && static_cast<size_t>(index) < m_tracks.size() ? &m_tracks[static_cast<size_t>(index)] : nullptr;
}

void RipChecks::onAudio(int32_t trackIndex, int32_t, const uint8_t* pcm, size_t bytes)
{
    if (TrackCheck* check = at(trackIndex)) {
        check->accurateRip.feed(pcm, bytes);
        check->copyCrc = crc32Update(check->copyCrc, pcm, bytes);
        if (m_loudness)
            m_loudness->feed(trackIndex, pcm, bytes);
    }
}

void RipChecks::onUnreadableSector(int32_t trackIndex, int32_t lba)
{
    if (TrackCheck* check = at(trackIndex))
        check->unreadable.push_back(lba);
}

bool RipChecks::accurateRipConfirms(int32_t trackIndex, const uint8_t* pcm, size_t bytes)
{
    if (!m_record || !m_id || m_record->state != AccurateRipRecord::State::Found || !at(trackIndex))
        return false;
    AccurateRipChecksum checksum(bytes / 4, trackIndex == 0, static_cast<size_t>(trackIndex) + 1 == m_tracks.size());
    checksum.feed(pcm, bytes);
    AccurateRipVerdict verdict =
        accurateRipVerdict(m_record->blocks, *m_id, static_cast<uint32_t>(trackIndex), checksum.v1(), checksum.v2());
    return verdict.status == AccurateRipStatus::Accurate && verdict.confidence >= kConfirmingConfidence;
}

void RipChecks::onTestRead(int32_t trackIndex, uint32_t crc)
{
    if (TrackCheck* check = at(trackIndex))
        check->testCrc = crc;
}

void RipChecks::onReread(int32_t trackIndex, int32_t lba, int32_t sectors, int32_t reads, bool agreed)
{
    if (TrackCheck* check = at(trackIndex))
        check->rereads.push_back("Re-read LBA " + std::to_string(lba) + "-" + std::to_string(lba + sectors - 1) +
                                 ": " + std::to_string(reads) + " reads, " +
                                 (agreed ? "two agreed" : "some sectors never read the same twice"));
}

void RipChecks::onSuspiciousSector(int32_t trackIndex, int32_t lba)
{
    if (TrackCheck* check = at(trackIndex))
        check->suspicious.push_back(lba);
}

void RipChecks::onDriveCache(uint32_t bytes, DriveCacheSource source)
{
    m_driveCache = std::make_pair(bytes, source);
}

std::string RipChecks::driveCacheText() const
{
    if (!m_driveCache)
        return {};
    auto [bytes, source] = *m_driveCache;
    constexpr uint32_t kMiB = 1u << 20;
    std::string size = bytes >= kMiB || bytes == 0 ? std::to_string(bytes / kMiB) + " MiB"
                                                   : std::to_string(bytes >> 10) + " KiB";
    switch (source) {
    case DriveCacheSource::Measured:
        return (bytes == 0 ? "under 1 MiB" : size) + " (measured; re-reads read past " +
               std::to_string(cacheBytesToReadPast(bytes) / kMiB) + " MiB)";
    case DriveCacheSource::Given:
        return size + " (--drive-cache)";
    case DriveCacheSource::Assumed:
        break;
    }
    return size + " (assumed: no cache could be timed)";
}

} // namespace tonvane
