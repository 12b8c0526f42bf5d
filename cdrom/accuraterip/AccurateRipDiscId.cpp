#include "cdrom/accuraterip/AccurateRipDiscId.h"

#include <cstdio>

namespace tonvane {

namespace {

uint32_t digitSum(uint32_t value)
{
    uint32_t sum = 0;
    for (; value > 0; value /= 10)
        sum += value % 10;
    return sum;
}

} // namespace

uint32_t cddbDiscIdOf(std::span<const DiscIdTrack> tracks, uint32_t leadOut)
{
    if (tracks.empty())
        return 0;
    uint32_t checksum = 0;
    for (const DiscIdTrack& track : tracks)
        checksum += digitSum((track.start + kAccurateRipLeadInSectors) / kAccurateRipSectorsPerSecond);
    uint32_t seconds = (leadOut + kAccurateRipLeadInSectors) / kAccurateRipSectorsPerSecond -
        (tracks.front().start + kAccurateRipLeadInSectors) / kAccurateRipSectorsPerSecond;
    return (checksum % 255) << 24 | seconds << 8 | static_cast<uint32_t>(tracks.size());
}

std::optional<AccurateRipDiscId> accurateRipDiscId(std::span<const DiscIdTrack> tracks, uint32_t leadOut)
{
    AccurateRipDiscId id;
    uint32_t previous = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const DiscIdTrack& track = tracks[i];
        if ((i > 0 && track.start <= previous) || track.start >= leadOut)
            return std::nullopt;
        previous = track.start;
        if (!track.audio)
            continue;
        ++id.audioTracks;
        id.id1 += track.start;
        id.id2 += (track.start > 0 ? track.start : 1) * id.audioTracks;
    }
    if (id.audioTracks == 0)
        return std::nullopt;
    id.id1 += leadOut;
    id.id2 += leadOut * (id.audioTracks + 1);
    id.id3 = cddbDiscIdOf(tracks, leadOut);
    id.dataTrackFirst = !tracks.front().audio;
    return id;
}

std::string accurateRipFileName(const AccurateRipDiscId& id)
{
    char name[64];
    std::snprintf(name, sizeof name, "dBAR-%03u-%08x-%08x-%08x.bin", id.audioTracks, id.id1, id.id2, id.id3);
    return name;
}

std::string accurateRipPath(const AccurateRipDiscId& id)
{
    char folders[32];
    std::snprintf(folders, sizeof folders, "/accuraterip/%x/%x/%x/", id.id1 & 0xF, id.id1 >> 4 & 0xF, id.id1 >> 8 & 0xF);
    return folders + accurateRipFileName(id);
}

} // namespace tonvane
