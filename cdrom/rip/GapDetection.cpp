#include "cdrom/rip/GapDetection.h"

#include "cdrom/device/CdDevice.h"
#include "cdrom/mmc/MmcCommands.h"

#include <algorithm>

namespace tonvane {

namespace {

constexpr uint8_t kPregapIndex = 0;

// Whether lba lies in the pregap of track `number`. nullopt when the drive gives no position.
std::optional<bool> inPregapOf(CdDevice& device, uint32_t lba, int32_t number)
{
    QPosition q;
    if (!readQPosition(device, lba, q))
        return std::nullopt;
    return q.track == number && q.index == kPregapIndex;
}

} // namespace

std::optional<std::vector<uint32_t>> detectPregaps(const std::string& drive, const std::vector<GapTrack>& tracks)
{
    CdDevice device;
    if (!openDevice(device, drive))
        return std::nullopt;
    std::vector<uint32_t> gaps(tracks.size(), 0);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const GapTrack& track = tracks[i];
        // The first track's pregap is the audio before it from LBA 0 (a disc may hide a whole
        // piece there); a later track's is looked for up to kMaxPregapSectors back.
        uint32_t previousStart = i == 0 ? 0 : tracks[i - 1].start;
        if (track.start == 0 || (i > 0 && track.start <= previousStart))
            continue;
        std::optional<bool> before = inPregapOf(device, track.start - 1, track.number);
        if (!before)
            return std::nullopt;
        if (!*before)
            continue;
        // The first pregap sector lies in (low, high]: low is known not to be in it.
        uint32_t lowest = i == 0 ? 0
                                 : std::max(previousStart,
                                            track.start > kMaxPregapSectors ? track.start - kMaxPregapSectors : 0);
        int64_t low = int64_t{lowest}, high = int64_t{track.start} - 1;
        std::optional<bool> atLowest = inPregapOf(device, lowest, track.number);
        if (!atLowest)
            return std::nullopt;
        if (*atLowest) {
            high = lowest;
            low = int64_t{lowest} - 1;
        }
        while (high - low > 1) {
            int64_t middle = low + (high - low) / 2;
            std::optional<bool> inside = inPregapOf(device, static_cast<uint32_t>(middle), track.number);
            if (!inside)
                return std::nullopt;
            (*inside ? high : low) = middle;
        }
        gaps[i] = track.start - static_cast<uint32_t>(high);
    }
    return gaps;
}

} // namespace tonvane
