#include "core/disc/TypedFields.h"

namespace tonvane::typed_fields {

void setTypedTitle(TrackEntry& track, const WideString& title)
{
    track.title = title;
    track.tags.title = title;
    track.tags.typed |= typed::kTitle;
}

AlbumFields albumFieldsOf(std::span<const TrackEntry> tracks)
{
    AlbumFields fields;
    if (tracks.empty())
        return fields;
    const TrackTags& tags = tracks.front().tags;
    fields.albumArtist = tags.albumArtist.empty() ? tags.artist : tags.albumArtist;
    fields.album = tags.album;
    fields.year = tags.year;
    fields.genre = tags.genre;
    return fields;
}

void setTypedAlbumFields(std::span<TrackEntry> tracks, const AlbumFields& now, const AlbumFields& before)
{
    bool artistChanged = now.albumArtist.view() != before.albumArtist.view();
    bool albumChanged = now.album.view() != before.album.view();
    bool yearChanged = now.year.view() != before.year.view();
    bool genreChanged = now.genre.view() != before.genre.view();
    for (TrackEntry& track : tracks) {
        TrackTags& tags = track.tags;
        if (artistChanged) {
            if (tags.artist.empty() || tags.artist.view() == before.albumArtist.view()) {
                tags.artist = now.albumArtist;
                tags.composer = now.albumArtist;
            }
            tags.albumArtist = now.albumArtist;
            tags.typed |= typed::kAlbumArtist;
        }
        if (albumChanged) {
            tags.album = now.album;
            tags.typed |= typed::kAlbum;
        }
        if (yearChanged) {
            tags.year = now.year;
            tags.typed |= typed::kYear;
        }
        if (genreChanged) {
            tags.genre = now.genre;
            tags.typed |= typed::kGenre;
        }
    }
}

bool anyTyped(std::span<const TrackEntry> tracks)
{
    for (const TrackEntry& track : tracks)
        if (track.tags.typed != 0)
            return true;
    return false;
}

TypedSnapshot snapshotTyped(std::span<const TrackEntry> tracks)
{
    TypedSnapshot snapshot;
    for (const TrackEntry& track : tracks) {
        TypedSnapshot::Track kept;
        kept.typed = track.tags.typed;
        kept.title = track.title;
        kept.album = {track.tags.albumArtist, track.tags.album, track.tags.year, track.tags.genre};
        kept.artist = track.tags.artist;
        snapshot.tracks.push_back(std::move(kept));
    }
    return snapshot;
}

void restoreTyped(std::span<TrackEntry> tracks, const TypedSnapshot& snapshot)
{
    for (size_t i = 0; i < tracks.size() && i < snapshot.tracks.size(); ++i) {
        TrackEntry& track = tracks[i];
        const TypedSnapshot::Track& kept = snapshot.tracks[i];
        if (kept.typed & typed::kTitle)
            setTypedTitle(track, kept.title);
        if (kept.typed & typed::kAlbumArtist) {
            track.tags.albumArtist = kept.album.albumArtist;
            track.tags.artist = kept.artist;
            track.tags.composer = kept.artist;
        }
        if (kept.typed & typed::kAlbum)
            track.tags.album = kept.album.album;
        if (kept.typed & typed::kYear)
            track.tags.year = kept.album.year;
        if (kept.typed & typed::kGenre)
            track.tags.genre = kept.album.genre;
        track.tags.typed = kept.typed;
    }
}

void forgetTyped(std::span<TrackEntry> tracks)
{
    for (TrackEntry& track : tracks)
        track.tags.typed = 0;
}

} // namespace tonvane::typed_fields
