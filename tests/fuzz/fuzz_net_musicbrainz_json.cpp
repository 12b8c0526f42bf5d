// MusicBrainz web-service replies to matches and tags, on arbitrary server bytes.
#include "net/musicbrainz/MusicBrainzJson.h"
#include "net/musicbrainz/MusicBrainzTransfer.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tonvane;
    if (size == 0)
        return 0;
    // The first byte picks the disc's audio track count; the rest is the reply.
    size_t audioTracks = data[0] % 100;
    std::string_view json(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string error;
    auto matches = parseMusicBrainzReleases(json, "fuzzDiscId0000000000000000-", audioTracks, error);
    if (!matches) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (matches->size() > kMaxMusicBrainzReleases)
        std::abort();
    for (const MusicBrainzMatch& match : *matches) {
        if (match.tracks.size() > kMaxMusicBrainzTracks || match.discNumber < 1 || match.discNumber > match.discCount ||
            match.title.size() > kMaxMusicBrainzTextBytes || match.artist.size() > kMaxMusicBrainzTextBytes)
            std::abort();
        if (!match.releaseId.empty() && !isMusicBrainzId(match.releaseId))
            std::abort();
        std::vector<TrackEntry> tracks(audioTracks);
        applyMusicBrainzMatch(match, tracks, 1 + data[0] % 3);
    }
    return 0;
}
