#include "cdrom/rip/SecureReader.h"

#include "cdrom/accuraterip/Crc32.h"
#include "cdrom/rip/RipObserver.h"
#include "core/disc/TrackEntry.h"

#include <algorithm>
#include <cstring>

namespace tonvane {

namespace {
constexpr int32_t kChunkSectors = 16; // [sectors] compared and re-read as one
}

SecureReader::SecureReader(ChunkReader& reader, RipObserver* observer, SecureOptions options, int32_t readableStart,
                           int32_t readableEnd)
    : m_reader(reader), m_observer(observer), m_options(options), m_readableStart(readableStart),
      m_readableEnd(readableEnd), m_flush(size_t{kChunkSectors} * kSectorBytes)
{
}

// One pass over the track; unreadable sectors are silence and listed.
bool SecureReader::readPass(int32_t start, int32_t length, uint8_t* into, std::vector<int32_t>& unreadable)
{
    for (int32_t done = 0; done < length;) {
        int32_t sectors = std::min(kChunkSectors, length - done);
        if (m_reader.cancelled() || !m_reader.read(start + done, sectors, into + size_t(done) * kSectorBytes, unreadable))
            return false;
        done += sectors;
    }
    return true;
}

// Reads as much far-away audio as the drive can cache, so that the next read of nearLba comes
// from the disc. Far away: the end of the readable range farther from nearLba.
void SecureReader::emptyDriveCache(int32_t nearLba)
{
    m_reader.drive().dropKeptSectors();
    if (m_options.cacheBytes == 0)
        return;
    int32_t sectors = static_cast<int32_t>(m_options.cacheBytes / kSectorBytes) + 1;
    bool fromStart = nearLba - m_readableStart > m_readableEnd - nearLba;
    int32_t first = fromStart ? m_readableStart : std::max(m_readableStart, m_readableEnd - sectors);
    int32_t end = std::min(m_readableEnd, first + sectors);
    for (int32_t lba = first; lba < end && !m_reader.cancelled(); lba += kChunkSectors)
        m_reader.drive().readCd(lba, std::min(kChunkSectors, end - lba), m_flush.data()); // only to pass the cache
    m_reader.drive().dropKeptSectors();
}

bool SecureReader::readTrack(int32_t trackIndex, int32_t start, int32_t length, std::vector<uint8_t>& pcm,
                             std::vector<int32_t>& unreadable)
{
    size_t bytes = size_t(length) * kSectorBytes;
    pcm.assign(bytes, 0);
    if (!readPass(start, length, pcm.data(), unreadable))
        return false;
    if (m_options.mode == ReadMode::Secure && m_observer &&
        m_observer->accurateRipConfirms(trackIndex, pcm.data(), bytes))
        return true;

    std::vector<uint8_t> test(bytes);
    // A FIFO cache of C sectors holds the copy read's last C sectors; a test read of a track of
    // 2C sectors or more has pushed them out by the time it gets there.
    if (uint64_t{static_cast<uint32_t>(length)} * kSectorBytes < 2ull * m_options.cacheBytes)
        emptyDriveCache(start);
    std::vector<int32_t> testUnreadable;
    if (!readPass(start, length, test.data(), testUnreadable))
        return false;
    for (int32_t lba : testUnreadable)
        if (std::find(unreadable.begin(), unreadable.end(), lba) == unreadable.end())
            unreadable.push_back(lba);
    if (m_observer)
        m_observer->onTestRead(trackIndex, crc32Update(0, test.data(), bytes));
    for (int32_t done = 0; done < length; done += kChunkSectors) {
        int32_t sectors = std::min(kChunkSectors, length - done);
        size_t at = size_t(done) * kSectorBytes, chunkBytes = size_t(sectors) * kSectorBytes;
        if (std::memcmp(pcm.data() + at, test.data() + at, chunkBytes) == 0)
            continue;
        if (!settleChunk(trackIndex, start + done, sectors, pcm.data() + at, test.data() + at))
            return false;
    }
    return true;
}

// The chunk's copy and test reads differ: read it again until a read equals an earlier one,
// then each sector alone. copy receives the agreed (or last) bytes.
bool SecureReader::settleChunk(int32_t trackIndex, int32_t lba, int32_t sectors, uint8_t* copy, const uint8_t* test)
{
    size_t chunkBytes = size_t(sectors) * kSectorBytes;
    std::vector<std::vector<uint8_t>> reads = {std::vector<uint8_t>(copy, copy + chunkBytes),
                                               std::vector<uint8_t>(test, test + chunkBytes)};
    std::vector<uint8_t> again(chunkBytes);
    for (int32_t attempt = 1; attempt <= kChunkRereads; ++attempt) {
        emptyDriveCache(lba);
        if (m_reader.cancelled())
            return false;
        if (!m_reader.readWithRetries(lba, sectors, again.data()))
            continue;
        for (const std::vector<uint8_t>& earlier : reads) {
            if (earlier == again) {
                std::memcpy(copy, again.data(), chunkBytes);
                if (m_observer)
                    m_observer->onReread(trackIndex, lba, sectors, attempt + 2, true);
                return true;
            }
        }
        reads.push_back(again);
    }
    // No two whole reads agree: settle each sector on its own.
    bool allAgreed = true;
    for (int32_t i = 0; i < sectors; ++i) {
        std::vector<std::vector<uint8_t>> versions;
        for (const std::vector<uint8_t>& read : reads) {
            auto from = read.begin() + static_cast<std::ptrdiff_t>(size_t(i) * kSectorBytes);
            versions.emplace_back(from, from + kSectorBytes);
        }
        uint8_t* out = copy + size_t(i) * kSectorBytes;
        bool agreed = settleSector(trackIndex, lba + i, versions, out);
        if (m_reader.cancelled())
            return false;
        allAgreed = allAgreed && agreed;
    }
    if (m_observer)
        m_observer->onReread(trackIndex, lba, sectors, 2 + kChunkRereads, allAgreed);
    return true;
}

bool SecureReader::settleSector(int32_t trackIndex, int32_t lba, std::vector<std::vector<uint8_t>>& versions,
                                uint8_t* out)
{
    // Some sectors of the chunk may already have read the same twice.
    for (size_t a = 0; a < versions.size(); ++a)
        for (size_t b = a + 1; b < versions.size(); ++b)
            if (versions[a] == versions[b]) {
                std::memcpy(out, versions[a].data(), kSectorBytes);
                return true;
            }
    std::vector<uint8_t> again(kSectorBytes);
    for (int32_t attempt = 0; attempt < kSectorRereads && !m_reader.cancelled(); ++attempt) {
        emptyDriveCache(lba);
        if (!m_reader.readWithRetries(lba, 1, again.data()))
            continue;
        for (const std::vector<uint8_t>& earlier : versions)
            if (earlier == again) {
                std::memcpy(out, again.data(), kSectorBytes);
                return true;
            }
        versions.push_back(again);
    }
    // Never the same twice: the last read stands, and the place is named.
    std::memcpy(out, versions.back().data(), kSectorBytes);
    if (m_observer)
        m_observer->onSuspiciousSector(trackIndex, lba);
    return false;
}

} // namespace tonvane
