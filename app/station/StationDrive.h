#pragma once
#include "app/station/StationContext.h"
#include "app/station/StationView.h"
#include "cdrom/drives/WatchFolder.h"
#include "core/disc/ConversionJob.h"
#include "core/foundation/Thread.h"

#include <memory>
#include <mutex>
#include <string>

namespace tonvane::station {

inline constexpr std::string_view kWatchDrivePrefix = "watch:"; // followed by a folder
inline constexpr uint32_t kDrivePollMs = 1000; // [ms] between looks at a drive without a disc
inline constexpr uint32_t kStopCheckMs = 100; // [ms] how soon a waiting drive notices a stop

class DiscRun;

// One drive of the station on a thread of its own: waits for a disc, rips it whole with the
// station's choices (lookups, the automatic match, a folder of its own, the session), accounts
// for it, ejects it, and waits for the next. A "watch:DIR" drive takes the CUE sheets copied into
// DIR one after another, each in an image drive of its own.
class StationDrive {
public:
    StationDrive(StationContext& context, std::string driveName);
    ~StationDrive(); // stops and joins
    StationDrive(const StationDrive&) = delete;
    StationDrive& operator=(const StationDrive&) = delete;

    // Opens the watched folder (for watch:) and starts the thread. False with error set.
    bool start(std::string& error);
    // Asks the thread to end: a waiting drive stops waiting, a running rip is interrupted (its
    // log still written). Any thread.
    void stop();
    void join();
    bool finished() const;
    // The view's line for this drive, its progress read now.
    DriveLine line() const;
    const std::string& driveName() const { return m_driveName; }

private:
    static void* run(void* self);
    void loop();
    bool waitForDisc(std::string& drivePath);
    bool waitForWatchedDisc(std::string& drivePath);
    bool waitForDriveDisc(std::string& drivePath);
    void eject(const std::string& drivePath);
    void setActivity(DriveActivity activity, const std::string& disc = {});
    void publish(DiscRun* run);

    StationContext& m_context;
    std::string m_driveName; // as given: /dev/sr0, image:..., demo:, watch:DIR
    std::unique_ptr<WatchFolder> m_watch;
    bool m_awaitingRemoval = false; // the last disc did not leave the drive: not ripped again

    mutable std::mutex m_mutex; // guards the members below
    DriveLine m_line;
    DiscRun* m_run = nullptr; // the disc being handled, for progress and stop
    std::atomic<bool> m_finished{false};
    Thread m_thread;

    friend class DiscRun;
};

} // namespace tonvane::station
