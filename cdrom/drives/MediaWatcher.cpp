#include "cdrom/drives/MediaWatcher.h"

#include "cdrom/device/DevicePath.h"
#include "cdrom/emulated/CueSheet.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tonvane {

namespace {
DriveMediaStatus probeRealDrive(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return DriveMediaStatus::Unknown;
    int status = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    ::close(fd);
    switch (status) {
    case CDS_NO_DISC:
    case CDS_TRAY_OPEN:
        return DriveMediaStatus::NoDisc;
    case CDS_DRIVE_NOT_READY:
        return DriveMediaStatus::NotReady;
    case CDS_DISC_OK:
        return DriveMediaStatus::DiscPresent;
    default:
        return DriveMediaStatus::Unknown;
    }
}
} // namespace

DriveMediaStatus probeDriveMedia(const std::string& path)
{
    std::shared_ptr<EmulatedDrive> drive = findEmulatedDrive(path);
    if (!drive && isDemoDrivePath(path))
        drive = demoDrive(path);
    if (drive)
        return drive->hasMedium() ? DriveMediaStatus::DiscPresent : DriveMediaStatus::NoDisc;
    if (isImageDrivePath(path))
        return ::access(imageFileOfPath(path).c_str(), R_OK) == 0 ? DriveMediaStatus::DiscPresent
                                                                  : DriveMediaStatus::NoDisc;
    return probeRealDrive(path);
}

MediaWatcher::~MediaWatcher() { stop(); }

bool MediaWatcher::start(Options options, Callback callback)
{
    stop();
    m_options = std::move(options);
    if (!m_options.probe)
        m_options.probe = &probeDriveMedia;
    m_callback = std::move(callback);
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = false;
    }
    return startThread(m_thread, &MediaWatcher::run, this) == kSuccess;
}

void MediaWatcher::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void* MediaWatcher::run(void* self)
{
    static_cast<MediaWatcher*>(self)->loop();
    return nullptr;
}

void MediaWatcher::loop()
{
    const std::vector<std::string>& drives = m_options.drives;
    std::vector<DriveMediaStatus> previous;
    for (const std::string& path : drives)
        previous.push_back(m_options.probe(path));
    std::vector<uint32_t> notReadyPolls(drives.size(), 0); // of a drive last seen holding its disc

    std::vector<MediaEvent> events;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_for(lock, std::chrono::milliseconds(m_options.pollIntervalMs),
                    [this] { return m_stopRequested; }))
                return;
        }
        events.clear();
        for (size_t i = 0; i < drives.size(); ++i) {
            DriveMediaStatus now = m_options.probe(drives[i]);
            // A drive that cannot be asked just now (held by another program, EBUSY) keeps its
            // last known state: a passing error is neither a removal nor, after it, an arrival.
            if (now == DriveMediaStatus::Unknown)
                continue;
            // A loaded drive's passing NOT READY keeps the disc (and a conversion of it) until
            // it lasts; a drive seen empty before is not waited for.
            if (now == DriveMediaStatus::NotReady && previous[i] == DriveMediaStatus::DiscPresent
                && ++notReadyPolls[i] < kNotReadyPollsForRemoval)
                continue;
            notReadyPolls[i] = 0;
            bool had = previous[i] == DriveMediaStatus::DiscPresent;
            bool has = now == DriveMediaStatus::DiscPresent;
            if (had != has)
                events.push_back({has ? MediaEventKind::Arrival : MediaEventKind::Removal, drives[i]});
            previous[i] = now;
        }
        for (const MediaEvent& event : events) {
            {
                std::lock_guard lock(m_mutex);
                if (m_stopRequested)
                    return;
            }
            m_callback(event);
        }
    }
}

} // namespace tonvane
