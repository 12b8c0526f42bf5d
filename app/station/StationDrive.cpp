#include "app/station/StationDrive.h"

#include "app/station/DiscRun.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/drives/DiscCheck.h"
#include "cdrom/drives/DiscEject.h"
#include "cdrom/drives/MediaWatcher.h"
#include "core/foundation/Clock.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace tonvane::station {

StationDrive::StationDrive(StationContext& context, std::string driveName) : m_context(context), m_driveName(std::move(driveName))
{
    m_line.drive = m_driveName;
}

StationDrive::~StationDrive()
{
    stop();
    join();
}

bool StationDrive::start(std::string& error)
{
    if (m_driveName.starts_with(kWatchDrivePrefix)) {
        m_watch = std::make_unique<WatchFolder>(m_driveName.substr(kWatchDrivePrefix.size()));
        if (!m_watch->open(error))
            return false;
    }
    if (startThread(m_thread, run, this) != kSuccess) {
        error = "no thread for " + m_driveName;
        return false;
    }
    return true;
}

void StationDrive::stop()
{
    if (m_watch)
        m_watch->stop();
    std::lock_guard lock(m_mutex);
    if (m_run != nullptr)
        m_run->interrupt();
}

void StationDrive::join() { m_thread.join(); }

bool StationDrive::finished() const { return m_finished.load(); }

DriveLine StationDrive::line() const
{
    std::lock_guard lock(m_mutex);
    DriveLine line = m_line;
    if (m_run != nullptr)
        m_run->fillLine(line);
    return line;
}

void* StationDrive::run(void* self)
{
    nameThisThread("station");
    static_cast<StationDrive*>(self)->loop();
    return nullptr;
}

void StationDrive::setActivity(DriveActivity activity, const std::string& disc)
{
    std::lock_guard lock(m_mutex);
    m_line.activity = activity;
    m_line.disc = disc;
}

void StationDrive::publish(DiscRun* run)
{
    std::lock_guard lock(m_mutex);
    m_run = run;
    if (run != nullptr && m_context.stopping.load())
        run->interrupt(); // the stop came between the wait and now
}

void StationDrive::loop()
{
    while (!m_context.stopping.load()) {
        setActivity(DriveActivity::Waiting);
        std::string drivePath;
        if (!waitForDisc(drivePath))
            continue;
        setActivity(DriveActivity::Ripping, isImageDrivePath(drivePath) ? imageFileOfPath(drivePath) : drivePath);
        DiscResult result;
        {
            DiscRun disc(m_context, m_driveName, drivePath);
            publish(&disc);
            result = disc.run();
            publish(nullptr);
        }
        // A disc the stop cut short stays in: the next start rips it (its log says interrupted).
        if (result == DiscResult::Interrupted)
            continue;
        setActivity(DriveActivity::Ejecting);
        eject(drivePath);
    }
    setActivity(DriveActivity::Stopped);
    m_finished.store(true);
}

bool StationDrive::waitForDisc(std::string& drivePath)
{
    return m_watch ? waitForWatchedDisc(drivePath) : waitForDriveDisc(drivePath);
}

bool StationDrive::waitForWatchedDisc(std::string& drivePath)
{
    WatchedSheet sheet;
    if (!m_watch->next(sheet, kDrivePollMs))
        return false;
    if (sheet.problem.empty()) {
        drivePath = imageDrivePath(sheet.sheet);
        return true;
    }
    // A sheet that does not load is a disc that cannot be read: accounted for and put aside, so
    // that it is not tried again and again.
    std::string problem = sheet.sheet + " cannot be read: " + sheet.problem;
    m_context.events.write({{"event", "arrived"}, {"drive", m_driveName}, {"disc", imageDrivePath(sheet.sheet)}});
    {
        std::lock_guard lock(m_context.mutex);
        ++m_context.tally.discs;
        ++m_context.tally.failed;
        ++m_context.tally.attention;
    }
    m_context.events.write({{"event", "error"}, {"drive", m_driveName}, {"disc", imageDrivePath(sheet.sheet)}, {"message", problem}});
    m_context.events.write({{"event", "done"}, {"drive", m_driveName}, {"disc", imageDrivePath(sheet.sheet)},
                            {"result", "failed"}, {"reason", problem}});
    m_context.view.note(m_driveName + ": " + problem);
    std::string error;
    if (!m_context.attention.add("-", problem, error))
        m_context.view.note(error);
    m_context.notice.send("Disc needs attention", problem);
    std::string done = sheet.sheet + ".done";
    if (std::rename(sheet.sheet.c_str(), done.c_str()) == 0)
        m_context.events.write({{"event", "ejected"}, {"drive", m_driveName}, {"disc", imageDrivePath(sheet.sheet)}});
    return false;
}

// A drive holds a new disc when its medium is there and holds audio; after a disc that did not
// leave the drive, only once the drive was seen empty.
bool StationDrive::waitForDriveDisc(std::string& drivePath)
{
    DriveMediaStatus status = probeDriveMedia(m_driveName);
    setActivity(status == DriveMediaStatus::Unknown ? DriveActivity::Gone : DriveActivity::Waiting);
    if (status != DriveMediaStatus::DiscPresent) {
        m_awaitingRemoval = false;
    } else if (!m_awaitingRemoval) {
        if (hasAudioDisc(m_driveName, true)) {
            drivePath = m_driveName;
            return true;
        }
        // A data disc, or one that does not read: said once, then left alone until it is taken out.
        m_awaitingRemoval = true;
        m_context.view.note(m_driveName + ": no audio disc; waiting for the next one");
        m_context.events.write({{"event", "error"}, {"drive", m_driveName}, {"message", "no audio disc in " + m_driveName}});
    }
    for (uint32_t waited = 0; waited < kDrivePollMs && !m_context.stopping.load(); waited += kStopCheckMs)
        sleepMs(kStopCheckMs);
    return false;
}

void StationDrive::eject(const std::string& drivePath)
{
    EjectOutcome outcome = ejectDisc(drivePath);
    if (outcome.ejected) {
        m_context.events.write({{"event", "ejected"}, {"drive", m_driveName}, {"disc", drivePath}});
        return;
    }
    // The disc stays; it is not ripped again until the drive was seen without it.
    m_awaitingRemoval = true;
    m_context.events.write({{"event", "error"}, {"drive", m_driveName}, {"disc", drivePath}, {"message", outcome.problem}});
    m_context.view.note(m_driveName + ": " + outcome.problem);
}

} // namespace tonvane::station
