#pragma once
#include "cdrom/rip/SecureReader.h"
#include "core/disc/ConversionJob.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tonvane {

class EncoderPool;
class RipDrive;
class RipObserver;
class TrackEncoderStarter;

// Which free lane takes which track. Disc order is what the window program shows; longest first
// lets the lanes of a command-line rip end close together, since a lane takes whole tracks and
// the last long track in disc order can keep one encoder running alone. A single lane always
// reads the disc front to back.
enum class TrackOrder : uint8_t { DiscOrder, LongestFirst };

struct RipOptions {
    int32_t laneOverride = 0; // lanes to use instead of the processor count (tests, --jobs); 0 = auto
    int32_t readAttempts = 8; // READ CD tries per chunk, then per sector of a chunk that fails
    uint32_t firstBackoffMs = 5; // [ms] wait after the first failed try, doubled after each one
    TrackOrder order = TrackOrder::DiscOrder; // ties among equal lengths keep disc order
    // [samples] the drive's read offset to correct (-2939..+2939); 0 reads the sectors as they are
    int32_t readOffset = 0;
    ReadMode mode = ReadMode::Single;
    // [bytes] the drive cache secure re-reads read past; nullopt: measured when the secure rip
    // starts (kDefaultDriveCacheBytes when the drive shows none that can be timed)
    std::optional<uint32_t> driveCacheBytes;
    // Shared by the rips of several drives at once: a lane reads and encodes only while it holds
    // one of its tokens, and the lanes are at most its size. Null: lanes as above, all at once.
    // Must outlive the rip thread.
    EncoderPool* encoderPool = nullptr;
};

struct RipEnvironment {
    RipDrive* drive = nullptr; // must outlive the rip thread
    TrackEncoderStarter* encoders = nullptr; // must outlive the rip thread
    RipOptions options;
    RipObserver* observer = nullptr; // optional; must outlive the rip thread
};

inline constexpr int32_t kSectorsPerRead = 16; // READ CD chunk of the rip thread
inline constexpr uint32_t kRotationSleepMs = 25; // [ms] pause when every lane is busy, cut short
                                                // when an encoder reads its stream empty
inline constexpr uint32_t kRotationMinimumMs = 10; // [ms] rotations closer than this sleep

// Lanes for a job: the processor count (or the override), but no more than selected tracks.
int32_t ripLaneCount(int32_t selectedTracks, const RipOptions& options);

// The selected tracks' indices in the order free lanes take them.
std::vector<int32_t> ripTrackOrder(const ConversionJob& job, TrackOrder order);

// Starts a conversion into folder (ending in '/'): resets progress and status, sets running and
// starts the rip thread. Refused (false) while a conversion runs.
bool startConversion(ConversionJob& job, const WideString& folder, ProgressSink& sink, const RipEnvironment& environment);

// The close stop: when a rip thread exists, sets cancel and waits for it without time limit.
void closeStop(ConversionJob& job);

// Waits for the rip thread of a conversion that runs to its end.
void waitForConversion(ConversionJob& job);

} // namespace tonvane
