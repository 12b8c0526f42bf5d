#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tonvane {

// One track of the medium that holds the disc, as MusicBrainz lists it. Texts are UTF-8; ids
// are MBIDs (36-character UUIDs) or empty.
struct MusicBrainzTrack {
    int32_t position = 0; // on the medium, from 1
    std::string title;
    std::string artist; // the credit's names joined with their join phrases
    std::string artistId; // the first credited artist
    std::string releaseTrackId;
    std::string recordingId;
    std::string isrc; // the recording's first ISRC
};

// A release with the one medium that holds this disc.
struct MusicBrainzMatch {
    std::string releaseId;
    std::string title;
    std::string artist; // the release's credit, joined
    std::string artistId; // its first credited artist
    std::string date; // "YYYY", "YYYY-MM" or "YYYY-MM-DD"
    std::string country; // of the release: "GB", "XE" (Europe), ...; may be empty
    std::string format; // of the medium: "CD", "Enhanced CD", ...
    int32_t discNumber = 1; // the medium's position
    int32_t discCount = 1; // media of the release
    int32_t trackCount = 0; // tracks of the medium
    std::vector<MusicBrainzTrack> tracks; // of the medium, in order
};

} // namespace tonvane
