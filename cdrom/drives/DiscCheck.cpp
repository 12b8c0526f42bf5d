#include "cdrom/drives/DiscCheck.h"

#include "cdrom/device/DevicePath.h"
#include "cdrom/drives/DriveEnumerator.h"
#include "cdrom/mmc/MmcCommands.h"
#include "core/foundation/Clock.h"

#include <algorithm>

namespace tonvane {

namespace {
constexpr size_t kTrackInfoFlags5 = 5;
constexpr uint8_t kTrackInfoDataBit = 0x04;

void sleepFor(const DiscCheckTiming& timing, uint32_t milliseconds)
{
    if (timing.sleep)
        timing.sleep(milliseconds);
    else
        sleepMs(milliseconds);
}

bool openAndRefresh(CdDevice& device, const std::string& path, const DiscCheckTiming& timing)
{
    for (uint32_t attempt = 1; attempt <= timing.attempts; ++attempt) {
        if (openDevice(device, path) && refreshCapabilities(device))
            return true;
        closeDevice(device);
        if (attempt < timing.attempts)
            sleepFor(timing, timing.retryDelayMs);
    }
    return false;
}

bool anyAudioTrack(CdDevice& device)
{
    DiscInformationBuffer discInformation;
    readDiscInformation(device, discInformation); // a failure leaves zeros: no track
    uint32_t last = std::min(lastTrackInLastSession(discInformation), kMaxTrackNumber);
    for (uint32_t n = 1; n <= last; ++n) {
        TrackInformationBuffer answer;
        readTrackInformation(device, n, answer); // a failed answer stays zero and reads as audio
        if ((answer[kTrackInfoFlags5] & kTrackInfoDataBit) == 0)
            return true;
    }
    return false;
}
} // namespace

uint32_t waitUntilReady(CdDevice& device, const DiscCheckTiming& timing)
{
    uint32_t poll = std::max<uint32_t>(timing.readyPollMs, 1);
    uint32_t maxRounds = timing.readyBudgetMs / poll;
    uint32_t rounds = 0;
    while (rounds < maxRounds) {
        sleepFor(timing, poll);
        testUnitReady(device);
        ++rounds;
        if (device.result.senseKey != kSenseKeyNotReady)
            break;
    }
    return rounds;
}

bool hasAudioDisc(const std::string& path, bool waitForReady) { return hasAudioDisc(path, waitForReady, {}); }

bool hasAudioDisc(const std::string& path, bool waitForReady, const DiscCheckTiming& timing)
{
    CdDevice device;
    if (!openAndRefresh(device, path, timing))
        return false;
    if (waitForReady) {
        waitUntilReady(device, timing);
        // A drive still spinning up reports no current profile; ask again now that it is ready.
        if (device.capabilities.currentProfile == 0)
            refreshCapabilities(device);
    }
    bool audio = device.capabilities.cdMedium && anyAudioTrack(device);
    closeDevice(device);
    return audio;
}

namespace {

DriveScan scanDrives(const DriveSources& sources, bool everyDrive)
{
    DriveScan scan;
    DriveEnumerator enumerator(sources);
    enumerator.start();
    while (std::optional<std::string> path = enumerator.nextDriveRoot()) {
        if (!isCdDrivePath(*path))
            continue;
        if (!isEmulatedDrivePath(*path)) {
            if (std::optional<DriveOpenProblem> problem = probeDriveOpen(*path)) {
                scan.unopenable.push_back(std::move(*problem));
                continue;
            }
        }
        if (!hasAudioDisc(*path, false))
            continue;
        if (!scan.audioDrive)
            scan.audioDrive = *path;
        if (!everyDrive)
            return scan;
        scan.audioDrives.push_back(*path);
    }
    return scan;
}

} // namespace

DriveScan scanForAudioDisc(const DriveSources& sources)
{
    return scanDrives(sources, false);
}

DriveScan scanForAudioDiscs(const DriveSources& sources)
{
    return scanDrives(sources, true);
}

std::optional<std::string> findDriveWithAudioDisc(const DriveSources& sources)
{
    return scanForAudioDisc(sources).audioDrive;
}

} // namespace tonvane
