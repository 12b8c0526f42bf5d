// The MusicBrainz disc id of emulated discs, read through the drive as the command line reads
// it, against libdiscid given the disc's own first-session layout.
#include "session/DiscLookup.h"
#include "cdrom/emulated/EmulatedDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "net/musicbrainz/MusicBrainzDiscId.h"

#include <discid/discid.h>
#include <gtest/gtest.h>

using namespace tonvane;

namespace {

constexpr char kDrivePath[] = "image:/virtual/disc-id.cue";
constexpr int kLeadIn = 150; // [sectors]

// libdiscid's id for the audio session of disc: first session only, as the disc itself says.
std::string referenceId(const EmulatedDisc& disc)
{
    int offsets[100] = {};
    int first = 0, last = 0;
    for (const EmulatedTrack& track : disc.tracks()) {
        if (track.session != 1)
            break;
        first = first == 0 ? track.number : first;
        last = track.number;
        offsets[track.number] = static_cast<int>(track.start) + kLeadIn;
        offsets[0] = static_cast<int>(track.start + track.length) + kLeadIn; // the session's lead-out
    }
    DiscId* reference = discid_new();
    std::string id = discid_put(reference, first, last, offsets) ? discid_get_id(reference) : "(libdiscid refused)";
    discid_free(reference);
    return id;
}

DiscTrackDescription track(TrackKind kind, uint32_t seconds)
{
    DiscTrackDescription description;
    description.kind = kind;
    description.lengthSectors = seconds * 75;
    return description;
}

} // namespace

TEST(DiscId, MusicBrainzIdEqualsLibdiscidOnEveryLayout)
{
    struct Layout {
        const char* what;
        DiscDescription description;
    };
    std::vector<Layout> layouts(5);
    layouts[0].what = "audio only";
    for (uint32_t seconds : {200u, 183u, 241u, 97u, 305u})
        layouts[0].description.tracks.push_back(track(TrackKind::Audio, seconds));
    layouts[1].what = "data first";
    layouts[1].description.tracks = {track(TrackKind::Data, 600), track(TrackKind::Audio, 180), track(TrackKind::Audio, 211)};
    layouts[2].what = "data session last";
    layouts[2].description.tracks = {track(TrackKind::Audio, 180), track(TrackKind::Audio, 211), track(TrackKind::Data, 300)};
    layouts[2].description.dataSessionAfterAudio = true;
    layouts[3].what = "99 tracks";
    for (uint32_t i = 0; i < 99; ++i)
        layouts[3].description.tracks.push_back(track(TrackKind::Audio, 4 + i % 7));
    layouts[4].what = "1 track";
    layouts[4].description.tracks = {track(TrackKind::Audio, 4)};

    for (Layout& layout : layouts) {
        layout.description.silentAudio = true;
        std::shared_ptr<const EmulatedDisc> disc = buildDisc(layout.description);
        ASSERT_TRUE(disc) << layout.what;
        installEmulatedDrive(kDrivePath, std::make_shared<EmulatedDrive>(disc));
        std::optional<DiscToc> toc = readDiscToc(kDrivePath);
        uninstallEmulatedDrive(kDrivePath);
        ASSERT_TRUE(toc) << layout.what;
        std::optional<MusicBrainzToc> musicBrainz = musicBrainzToc(*toc);
        ASSERT_TRUE(musicBrainz) << layout.what;
        std::string ours = musicBrainzDiscId(*musicBrainz);
        EXPECT_EQ(ours, referenceId(*disc)) << layout.what;
        EXPECT_EQ(ours.size(), 28u) << layout.what;
    }
}
