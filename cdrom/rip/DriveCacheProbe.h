#pragma once
#include <atomic>
#include <cstdint>
#include <optional>

namespace tonvane {

class RipDrive;

// Where the drive cache a secure rip reads past comes from.
enum class DriveCacheSource : uint8_t {
    Measured, // timed at the start of the rip
    Given, // --drive-cache (RipOptions::driveCacheBytes)
    Assumed, // the drive showed no cache that could be timed: kDefaultDriveCacheBytes
};

inline constexpr uint32_t kSmallestCacheStep = 1u << 20; // [bytes] the steps double from here
inline constexpr uint32_t kLargestCacheStep = 32u << 20; // [bytes] a larger cache reads as this
// [ns] a 16-sector read from the disc takes longer (a 72x drive needs 3 ms); a quicker one is
// memory (an image, or a busy machine's command overhead), with nothing to time.
inline constexpr uint64_t kFewestMissNs = 1'000'000;
inline constexpr uint64_t kHitSpeedup = 2; // a read from the cache takes at most half the time

// Clock for the measurement [monotonic ns]; tests pass their own.
using CacheProbeClock = uint64_t (*)(void* context);

// Measures the drive's cache: reads kLargestCacheStep (or the readable range) in order, its
// middle read time being what a read from the disc costs, then re-reads the chunk that lies
// 1, 2, 4 ... MiB before the end of that run: a cache of C bytes answers the re-reads up to C at
// once (kHitSpeedup times quicker). Three far-away chunks, each read twice, first tell whether
// the drive has a cache to time at all. A slow re-read is confirmed by two neighbours nearer the end before a step counts as
// not held (a busy machine can delay a read from the cache, never speed up one from the disc).
// Answers the largest step held (0: not even 1 MiB), or nullopt when re-reads cost what reads
// from the disc do (no cache, or reads as quick as memory), a read fails, the range is shorter
// than 1 MiB or on cancel.
// Reads only sectors in [readableStart, readableEnd).
std::optional<uint32_t> measureDriveCache(RipDrive& drive, int32_t readableStart, int32_t readableEnd,
                                          const std::atomic<uint8_t>& cancel, CacheProbeClock clock = nullptr,
                                          void* clockContext = nullptr);

// The bytes a secure rip reads past for a measured cache: twice the step held, since the cache
// may be up to twice as large (at least kSmallestCacheStep).
uint32_t cacheBytesToReadPast(uint32_t measuredBytes);

} // namespace tonvane
