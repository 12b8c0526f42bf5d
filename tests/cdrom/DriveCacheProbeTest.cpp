// Measuring a drive's cache against a model drive whose FIFO cache answers at once and whose
// reads from the disc take 5 ms on a clock of its own: no real time is involved.
#include "cdrom/rip/DriveCacheProbe.h"
#include "cdrom/rip/RipDrive.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <set>

namespace tonvane {
namespace {

constexpr uint32_t kMiB = 1u << 20;
constexpr uint64_t kMissNs = 5'000'000; // [ns] 16 sectors from the disc
constexpr uint64_t kHitNs = 2'000; // [ns] from the cache
constexpr uint64_t kStallNs = 40'000'000; // [ns] a busy machine delaying a read

class ModelDrive final : public RipDrive {
public:
    uint32_t cacheSectors = 0;
    uint64_t missNs = kMissNs;
    bool stallTwoHitsOfThree = false; // a busy machine: only every third read from the cache is quick
    std::optional<int32_t> failingLba;
    uint64_t now = 1;
    int32_t lowest = INT32_MAX, highest = INT32_MIN; // sectors asked for

    bool open(std::u16string_view) override { return true; }
    void prepare() override {}
    void finish() override {}
    void close() override {}
    bool readCd(int32_t lba, int32_t sectors, uint8_t*) override
    {
        lowest = std::min(lowest, lba);
        highest = std::max(highest, lba + sectors - 1);
        if (failingLba && *failingLba >= lba && *failingLba < lba + sectors)
            return false;
        bool cached = cacheSectors != 0;
        for (int32_t i = 0; i < sectors && cached; ++i)
            cached = m_cached.count(lba + i) != 0;
        if (cached) {
            now += kHitNs;
            if (stallTwoHitsOfThree && ++m_hits % 3 != 0)
                now += kStallNs;
            return true;
        }
        now += missNs;
        for (int32_t i = 0; i < sectors; ++i) {
            if (cacheSectors == 0 || !m_cached.insert(lba + i).second)
                continue;
            m_order.push_back(lba + i);
            if (m_order.size() > cacheSectors) {
                m_cached.erase(m_order.front());
                m_order.pop_front();
            }
        }
        return true;
    }

    static uint64_t clock(void* self) { return static_cast<ModelDrive*>(self)->now; }

private:
    std::set<int32_t> m_cached;
    std::deque<int32_t> m_order;
    uint64_t m_hits = 0;
};

TEST(DriveCacheProbe, FindsTheLargestStepTheCacheHoldsOrSaysItCannotTell)
{
    constexpr int32_t kStart = 150, kEnd = 150 + 20000; // [LBA] readable, 45 MiB
    struct Case {
        const char* name;
        uint32_t cacheSectors;
        int32_t end;
        uint64_t missNs;
        bool stalls;
        std::optional<int32_t> failing;
        std::optional<uint32_t> measured;
    } cases[] = {
        {"no cache: re-reads cost what reads do", 0, kEnd, kMissNs, false, {}, std::nullopt},
        {"64 sectors", 64, kEnd, kMissNs, false, {}, 0},
        {"exactly 1 MiB", kMiB / 2352, kEnd, kMissNs, false, {}, kMiB},
        {"4 MiB", 4 * kMiB / 2352, kEnd, kMissNs, false, {}, 4 * kMiB},
        {"8 MiB", 8 * kMiB / 2352, kEnd, kMissNs, false, {}, 8 * kMiB},
        {"12 MiB", 12 * kMiB / 2352, kEnd, kMissNs, false, {}, 8 * kMiB},
        {"16 MiB", 16 * kMiB / 2352, kEnd, kMissNs, false, {}, 16 * kMiB},
        {"64 MiB reads as the largest step", 64 * kMiB / 2352, kEnd, kMissNs, false, {}, 32 * kMiB},
        {"8 MiB, two of three re-reads stalled", 8 * kMiB / 2352, kEnd, kMissNs, true, {}, 8 * kMiB},
        {"16 MiB on a 20 MiB disc", 16 * kMiB / 2352, kStart + 20 * kMiB / 2352, kMissNs, false, {}, 16 * kMiB},
        {"16 MiB on a 10 MiB disc: all of it held", 16 * kMiB / 2352, kStart + 10 * kMiB / 2352, kMissNs, false, {},
         8 * kMiB},
        {"reads as quick as memory", 4 * kMiB / 2352, kEnd, 20'000, false, {}, std::nullopt},
        {"a read fails", 4 * kMiB / 2352, kEnd, kMissNs, false, kStart + 1000, std::nullopt},
        {"shorter than 1 MiB", 4 * kMiB / 2352, kStart + 400, kMissNs, false, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        ModelDrive drive;
        drive.cacheSectors = c.cacheSectors;
        drive.missNs = c.missNs;
        drive.stallTwoHitsOfThree = c.stalls;
        drive.failingLba = c.failing;
        std::atomic<uint8_t> cancel{0};
        std::optional<uint32_t> measured = measureDriveCache(drive, kStart, c.end, cancel, &ModelDrive::clock, &drive);
        EXPECT_EQ(measured, c.measured) << c.name;
        if (drive.lowest != INT32_MAX) {
            EXPECT_GE(drive.lowest, kStart) << c.name;
            EXPECT_LT(drive.highest, c.end) << c.name;
        }
    }
    ModelDrive drive;
    drive.cacheSectors = 4 * kMiB / 2352;
    std::atomic<uint8_t> cancelled{1};
    EXPECT_EQ(measureDriveCache(drive, kStart, kEnd, cancelled, &ModelDrive::clock, &drive), std::nullopt);

    // Re-reads read past twice the step held: the cache may be nearly that large.
    EXPECT_EQ(cacheBytesToReadPast(8 * kMiB), 16 * kMiB);
    EXPECT_EQ(cacheBytesToReadPast(0), kMiB);
}

} // namespace
} // namespace tonvane
