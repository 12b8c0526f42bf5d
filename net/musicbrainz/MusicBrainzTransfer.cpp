#include "net/musicbrainz/MusicBrainzTransfer.h"

#include "core/ProductConfig.h"

#include <string_view>

namespace tonvane {

namespace {

constexpr size_t kMaxDateCharacters = 10; // "YYYY-MM-DD"

// The release date when it has the form YYYY, YYYY-MM or YYYY-MM-DD; empty otherwise.
std::string checkedDate(const std::string& date)
{
    static constexpr std::string_view kPattern = "9999-99-99";
    if (date.size() != 4 && date.size() != 7 && date.size() != kMaxDateCharacters)
        return {};
    for (size_t i = 0; i < date.size(); ++i) {
        bool digitWanted = kPattern[i] == '9';
        if (digitWanted ? (date[i] < '0' || date[i] > '9') : date[i] != '-')
            return {};
    }
    return date;
}

WideString wide(const std::string& utf8)
{
    return WideString::fromUtf8(utf8);
}

WideString decimal(int32_t value)
{
    WideString text;
    text.appendDecimal(value);
    return text;
}

} // namespace

void applyMusicBrainzMatch(const MusicBrainzMatch& match, std::span<TrackEntry> tracks, int32_t firstTrack)
{
    WideString date = wide(checkedDate(match.date));
    int32_t number = firstTrack - 1;
    for (TrackEntry& entry : tracks) {
        number = entry.trackNumber > 0 ? entry.trackNumber : number + 1;
        int64_t index = static_cast<int64_t>(number) - firstTrack;
        if (index < 0 || index >= static_cast<int64_t>(match.tracks.size()))
            continue;
        const MusicBrainzTrack& track = match.tracks[static_cast<size_t>(index)];
        TrackTags& tags = entry.tags;
        entry.title = wide(track.title);
        tags.title = entry.title;
        tags.encoder.assign(product::kEncoderText);
        tags.album = wide(match.title);
        tags.artist = wide(track.artist.empty() ? match.artist : track.artist);
        tags.composer = tags.artist;
        tags.albumArtist = wide(match.artist);
        tags.year = date;
        tags.trackNumber = decimal(track.position);
        tags.trackTotal = decimal(match.trackCount);
        tags.discNumber = decimal(match.discNumber);
        tags.discTotal = decimal(match.discCount);
        tags.isrc = wide(track.isrc);
        tags.musicBrainzAlbumId = wide(match.releaseId);
        tags.musicBrainzReleaseTrackId = wide(track.releaseTrackId);
        tags.musicBrainzRecordingId = wide(track.recordingId);
        tags.musicBrainzArtistId = wide(track.artistId.empty() ? match.artistId : track.artistId);
        tags.musicBrainzAlbumArtistId = wide(match.artistId);
    }
}

} // namespace tonvane
