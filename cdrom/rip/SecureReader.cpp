#include "cdrom/rip/SecureReader.h"

#include "cdrom/accuraterip/Crc32.h"
#include "cdrom/rip/RipObserver.h"
#include "core/disc/TrackEntry.h"

#include <algorithm>
#include <cstring>

namespace tonvane {

namespace {
constexpr int32_t kChunkSectors = 16; // [sectors] compared and re-read as one
constexpr int32_t kPasses = 2; // the copy read and the test read
}

SecureReader::SecureReader(ChunkReader& reader, RipObserver* observer, SecureOptions options, int32_t readableStart,
                           int32_t readableEnd)
    : m_reader(reader), m_observer(observer), m_options(options), m_readableStart(readableStart),
      m_readableEnd(readableEnd), m_flush(size_t{kChunkSectors} * kSectorBytes)
{
}

// One pass over the track; unreadable sectors are silence and listed.
bool SecureReader::readPass(int32_t trackIndex, int32_t pass, int32_t start, int32_t length, uint8_t* into,
                            std::vector<int32_t>& unreadable)
{
    for (int32_t done = 0; done < length;) {
        int32_t sectors = std::min(kChunkSectors, length - done);
        if (m_reader.cancelled() || !m_reader.read(start + done, sectors, into + size_t(done) * kSectorBytes, unreadable))
            return false;
        done += sectors;
        reportRead(trackIndex, (double(pass) * length + done) / (double(kPasses) * length));
    }
    return true;
}

void SecureReader::reportRead(int32_t trackIndex, double fraction)
{
    if (m_progress)
        m_progress(trackIndex, std::min(fraction, 1.0));
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
    std::vector<int32_t> copyUnreadable;
    if (!readPass(trackIndex, 0, start, length, pcm.data(), copyUnreadable))
        return false;
    // Per sector of the track: whether the bytes in pcm came from a read (or are silence put
    // in place of a sector no read delivered).
    m_delivered.assign(static_cast<size_t>(length), 1);
    m_trackStart = start;
    for (int32_t lba : copyUnreadable)
        m_delivered[static_cast<size_t>(lba - start)] = 0;
    if (m_options.mode == ReadMode::Secure && m_observer &&
        m_observer->accurateRipConfirms(trackIndex, pcm.data(), bytes)) {
        unreadable.insert(unreadable.end(), copyUnreadable.begin(), copyUnreadable.end());
        reportRead(trackIndex, 1.0); // no test read
        return true;
    }

    std::vector<uint8_t> test(bytes);
    // A FIFO cache of C sectors holds the copy read's last C sectors; a test read of a track of
    // 2C sectors or more has pushed them out by the time it gets there.
    if (uint64_t{static_cast<uint32_t>(length)} * kSectorBytes < 2ull * m_options.cacheBytes)
        emptyDriveCache(start);
    std::vector<int32_t> testUnreadable;
    if (!readPass(trackIndex, 1, start, length, test.data(), testUnreadable))
        return false;
    std::vector<uint8_t> testDelivered(static_cast<size_t>(length), 1);
    for (int32_t lba : testUnreadable)
        testDelivered[static_cast<size_t>(lba - start)] = 0;
    if (m_observer)
        m_observer->onTestRead(trackIndex, crc32Update(0, test.data(), bytes));
    for (int32_t done = 0; done < length; done += kChunkSectors) {
        int32_t sectors = std::min(kChunkSectors, length - done);
        size_t at = size_t(done) * kSectorBytes, chunkBytes = size_t(sectors) * kSectorBytes;
        if (std::memcmp(pcm.data() + at, test.data() + at, chunkBytes) == 0) {
            // Equal: silence in the copy that the test read did deliver is the disc's silence.
            for (int32_t i = done; i < done + sectors; ++i)
                m_delivered[static_cast<size_t>(i)] |= testDelivered[static_cast<size_t>(i)];
            continue;
        }
        if (!settleChunk(trackIndex, start + done, sectors, pcm.data() + at, test.data() + at,
                         testDelivered.data() + done))
            return false;
    }
    // The count the log gives is what the file holds: sectors no read delivered in the end.
    for (int32_t i = 0; i < length; ++i)
        if (!m_delivered[static_cast<size_t>(i)])
            unreadable.push_back(start + i);
    return true;
}

// The chunk's copy and test reads differ: read it again until a read equals an earlier one,
// then each sector alone. copy receives the agreed (or last) bytes.
bool SecureReader::settleChunk(int32_t trackIndex, int32_t lba, int32_t sectors, uint8_t* copy, const uint8_t* test,
                               const uint8_t* testDelivered)
{
    size_t chunkBytes = size_t(sectors) * kSectorBytes;
    uint8_t* delivered = m_delivered.data() + (lba - m_trackStart);
    std::vector<Version> reads(2);
    reads[0].bytes.assign(copy, copy + chunkBytes);
    reads[0].delivered.assign(delivered, delivered + sectors);
    reads[1].bytes.assign(test, test + chunkBytes);
    reads[1].delivered.assign(testDelivered, testDelivered + sectors);
    std::vector<uint8_t> again(chunkBytes);
    for (int32_t attempt = 1; attempt <= kChunkRereads; ++attempt) {
        emptyDriveCache(lba);
        if (m_reader.cancelled())
            return false;
        if (!m_reader.readWithRetries(lba, sectors, again.data()))
            continue;
        for (const Version& earlier : reads) {
            if (earlier.bytes == again) {
                std::memcpy(copy, again.data(), chunkBytes);
                std::fill(delivered, delivered + sectors, uint8_t{1}); // this read delivered them all
                if (m_observer)
                    m_observer->onReread(trackIndex, lba, sectors, attempt + 2, true);
                return true;
            }
        }
        reads.push_back({again, std::vector<uint8_t>(size_t(sectors), 1)});
    }
    // No two whole reads agree: settle each sector on its own.
    bool allAgreed = true;
    for (int32_t i = 0; i < sectors; ++i) {
        std::vector<Version> versions;
        for (const Version& read : reads) {
            auto from = read.bytes.begin() + static_cast<std::ptrdiff_t>(size_t(i) * kSectorBytes);
            versions.push_back({std::vector<uint8_t>(from, from + kSectorBytes), {read.delivered[size_t(i)]}});
        }
        uint8_t* out = copy + size_t(i) * kSectorBytes;
        bool agreed = settleSector(trackIndex, lba + i, versions, out, delivered[i]);
        if (m_reader.cancelled())
            return false;
        allAgreed = allAgreed && agreed;
    }
    if (m_observer)
        m_observer->onReread(trackIndex, lba, sectors, 2 + kChunkRereads, allAgreed);
    return true;
}

bool SecureReader::settleSector(int32_t trackIndex, int32_t lba, std::vector<Version>& versions, uint8_t* out,
                                uint8_t& delivered)
{
    // Some sectors of the chunk may already have read the same twice (or failed twice).
    for (size_t a = 0; a < versions.size(); ++a)
        for (size_t b = a + 1; b < versions.size(); ++b)
            if (versions[a].bytes == versions[b].bytes) {
                std::memcpy(out, versions[a].bytes.data(), kSectorBytes);
                delivered = versions[a].delivered[0] | versions[b].delivered[0];
                return true;
            }
    std::vector<uint8_t> again(kSectorBytes);
    for (int32_t attempt = 0; attempt < kSectorRereads && !m_reader.cancelled(); ++attempt) {
        emptyDriveCache(lba);
        if (!m_reader.readWithRetries(lba, 1, again.data()))
            continue;
        for (const Version& earlier : versions)
            if (earlier.bytes == again) {
                std::memcpy(out, again.data(), kSectorBytes);
                delivered = 1;
                return true;
            }
        versions.push_back({again, {1}});
    }
    // Never the same twice: the last read stands, and the place is named.
    std::memcpy(out, versions.back().bytes.data(), kSectorBytes);
    delivered = versions.back().delivered[0];
    if (m_observer)
        m_observer->onSuspiciousSector(trackIndex, lba);
    return false;
}

} // namespace tonvane
