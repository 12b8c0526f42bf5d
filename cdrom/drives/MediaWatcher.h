#pragma once
#include "core/foundation/Thread.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr uint32_t kMediaPollIntervalMs = 2000; // [ms]
// A loaded drive answers NOT READY for a moment now and then (a re-spin, a bus reset): only this
// many NOT READY polls in a row make a removal of it. An empty tray is a removal at once.
inline constexpr uint32_t kNotReadyPollsForRemoval = 2;

// CDROM_DRIVE_STATUS results, folded.
enum class DriveMediaStatus : uint8_t {
    Unknown, // drive cannot be asked (gone, no permission)
    NoDisc, // empty or tray open
    NotReady, // disc present but spinning up
    DiscPresent,
};

// Asks a drive whether it holds a medium: CDROM_DRIVE_STATUS for real drives; for emulated drives
// the installed EmulatedDrive's medium state; image drives not installed always hold their disc.
DriveMediaStatus probeDriveMedia(const std::string& path);

enum class MediaEventKind : uint8_t { Arrival, Removal };
struct MediaEvent {
    MediaEventKind kind = MediaEventKind::Arrival;
    std::string devicePath;
};

// Polls the drives and reports medium arrival (status becomes DiscPresent) and removal (it stops
// being DiscPresent: NoDisc at once, NotReady once it lasted kNotReadyPollsForRemoval polls), in
// drive order within each round. The first round only records the state.
// The callback runs on the watcher thread; it hands the event to the UI thread itself.
class MediaWatcher {
public:
    using Probe = std::function<DriveMediaStatus(const std::string& path)>;
    using Callback = std::function<void(const MediaEvent& event)>;
    struct Options {
        std::vector<std::string> drives;
        uint32_t pollIntervalMs = kMediaPollIntervalMs;
        Probe probe; // empty = probeDriveMedia
    };

    MediaWatcher() = default;
    MediaWatcher(const MediaWatcher&) = delete;
    MediaWatcher& operator=(const MediaWatcher&) = delete;
    ~MediaWatcher(); // stops

    // Starts the thread (stopping a previous one). False when it cannot be started.
    bool start(Options options, Callback callback);
    // Wakes the thread and joins it; returns within one probe call.
    void stop();
    bool isRunning() const { return m_thread.joinable(); }

private:
    static void* run(void* self);
    void loop();

    Options m_options;
    Callback m_callback;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    Thread m_thread;
};

} // namespace tonvane
