#include "cdrom/rip/DiscLoader.h"

#include "cdrom/device/CdDevice.h"
#include "cdrom/mmc/MmcCommands.h"
#include "core/ProductConfig.h"
#include "core/disc/EncoderSettings.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"

#include <vector>

namespace tonvane {

namespace {
constexpr uint32_t kMaxTrackLba = 10u * 60 * 60 * 75; // [sectors] far beyond any CD, far below int32
} // namespace

DiscLoadResult loadDisc(ConversionJob& job, const std::string& devicePath)
{
    DiscLoadResult result;
    CdDevice device;
    if (!openDevice(device, devicePath))
        return result;
    std::vector<DiscTrack> tracks;
    if (!readTrackList(device, tracks)) {
        closeDevice(device);
        return result;
    }

    int32_t format = storedDefaultFormat();
    uint32_t quality = storedQuality(format);
    job.resetTracks(static_cast<int32_t>(tracks.size()));
    job.drivePath = WideString::fromUtf8(devicePath);
    for (const DiscTrack& track : tracks) {
        if (!track.answered || !track.info.isPresent() || !track.info.isAudio())
            continue;
        // Drive answers are untrusted: a track must lie within a CD's address range.
        if (track.info.start > kMaxTrackLba || track.info.size > kMaxTrackLba - track.info.start)
            continue;
        TrackEntry& entry = job.tracks[job.count++];
        entry.trackNumber = static_cast<int32_t>(track.info.trackNumber);
        entry.start = static_cast<int32_t>(track.info.start);
        entry.length = static_cast<int32_t>(track.info.size);
        entry.format = format;
        entry.quality = quality;
        entry.tags.encoder = WideString(product::kEncoderText);
    }
    job.loaded = true;
    result.loaded = true;

    uint32_t autoLookup;
    if (settings::readDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, autoLookup))
        result.lookupWanted = autoLookup != 0;
    else
        result.autoStored =
            settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, settings::kDefaultAuto);
    closeDevice(device);
    return result;
}

} // namespace tonvane
