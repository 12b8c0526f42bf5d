#include "cdrom/rip/DriveCacheProbe.h"

#include "cdrom/rip/RipDrive.h"
#include "core/disc/TrackEntry.h"
#include "core/foundation/Clock.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tonvane {

namespace {

constexpr int32_t kProbeSectors = 16; // [sectors] one READ CD
constexpr int32_t kBaselineReads = 3; // far-away reads and re-reads: is there a cache to time?
constexpr int32_t kBaselineSpacing = 300; // [sectors] between them, beyond any read-ahead
constexpr int32_t kConfirmations = 2; // neighbours that must also be slow before a step fails

class Probe {
public:
    Probe(RipDrive& drive, const std::atomic<uint8_t>& cancel, CacheProbeClock clock, void* context)
        : m_drive(drive), m_cancel(cancel), m_clock(clock), m_context(context),
          m_buffer(size_t{kProbeSectors} * kSectorBytes)
    {
    }

    // The time of one READ CD; nullopt when it fails or on cancel.
    std::optional<uint64_t> timedRead(int32_t lba, int32_t sectors)
    {
        if (m_cancel.load(std::memory_order_acquire) != 0)
            return std::nullopt;
        uint64_t before = now();
        if (!m_drive.readCd(lba, sectors, m_buffer.data()))
            return std::nullopt;
        return now() - before;
    }

private:
    uint64_t now() const { return m_clock ? m_clock(m_context) : monotonicNs(); }

    RipDrive& m_drive;
    const std::atomic<uint8_t>& m_cancel;
    CacheProbeClock m_clock;
    void* m_context;
    std::vector<uint8_t> m_buffer;
};

} // namespace

std::optional<uint32_t> measureDriveCache(RipDrive& drive, int32_t readableStart, int32_t readableEnd,
                                          const std::atomic<uint8_t>& cancel, CacheProbeClock clock,
                                          void* clockContext)
{
    constexpr int32_t kSmallestStepSectors = static_cast<int32_t>(kSmallestCacheStep / kSectorBytes);
    if (readableEnd - readableStart < kSmallestStepSectors + kProbeSectors)
        return std::nullopt;
    Probe probe(drive, cancel, clock, clockContext);
    drive.dropKeptSectors();

    // First a cheap look: chunks far apart near the end (read backwards, so that no read-ahead
    // serves the next one), each read twice. Only a drive whose re-reads are each much quicker
    // than its reads from the disc has a cache to time; an image read as quick as memory, or a
    // drive without a cache, leaves the run below unread.
    for (int32_t i = 0; i < kBaselineReads; ++i) {
        int32_t lba = std::max(readableStart, readableEnd - kProbeSectors - i * kBaselineSpacing);
        std::optional<uint64_t> fromDisc = probe.timedRead(lba, kProbeSectors);
        if (!fromDisc || *fromDisc < kFewestMissNs)
            return std::nullopt;
        bool quick = false; // a delayed re-read is tried again: a re-read from the cache changes nothing
        for (int32_t k = 0; k <= kConfirmations && !quick; ++k) {
            std::optional<uint64_t> again = probe.timedRead(lba, kProbeSectors);
            if (!again)
                return std::nullopt;
            quick = *again * kHitSpeedup < *fromDisc;
        }
        if (!quick)
            return std::nullopt;
    }

    // The run: every sector of it has passed through the cache, the last C sectors are in it.
    // What a read from the disc costs is the middle of its reads: a busy machine delays a few,
    // nothing makes most of them quicker than the disc.
    constexpr int32_t kLargestStepSectors = static_cast<int32_t>(kLargestCacheStep / kSectorBytes);
    const int32_t runEnd = std::min(readableEnd, readableStart + kLargestStepSectors + kProbeSectors);
    std::vector<uint64_t> runReads;
    for (int32_t lba = readableStart; lba < runEnd; lba += kProbeSectors) {
        std::optional<uint64_t> took = probe.timedRead(lba, std::min(kProbeSectors, runEnd - lba));
        if (!took)
            return std::nullopt;
        runReads.push_back(*took);
    }
    std::nth_element(runReads.begin(), runReads.begin() + runReads.size() / 2, runReads.end());
    const uint64_t miss = runReads[runReads.size() / 2];

    uint32_t held = 0;
    for (uint32_t step = kSmallestCacheStep; step <= kLargestCacheStep; step *= 2) {
        const int32_t distance = static_cast<int32_t>(step / kSectorBytes); // [sectors] before runEnd
        if (runEnd - distance < readableStart)
            break;
        // A read from the disc puts its chunk into the cache and pushes the oldest out, so the
        // confirming neighbours nearer the end are read from the disc too when this one was.
        bool quick = false;
        for (int32_t k = 0; k <= kConfirmations && !quick; ++k) {
            std::optional<uint64_t> took = probe.timedRead(runEnd - distance + k * kProbeSectors, kProbeSectors);
            if (!took)
                return std::nullopt;
            quick = *took * kHitSpeedup < miss;
        }
        if (!quick)
            break;
        held = step;
    }
    drive.dropKeptSectors();
    return held;
}

uint32_t cacheBytesToReadPast(uint32_t measuredBytes)
{
    return std::max(kSmallestCacheStep, measuredBytes * 2);
}

} // namespace tonvane
