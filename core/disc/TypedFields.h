#pragma once
#include "core/disc/TrackEntry.h"
#include "core/foundation/WideString.h"

#include <span>
#include <vector>

namespace tonvane {

// The album's texts as the album dialog shows and edits them.
struct AlbumFields {
    WideString albumArtist;
    WideString album;
    WideString year;
    WideString genre;
};

// Texts the person typed: they go into the same fields the file names and tags are made from,
// marked in TrackTags::typed, so a later lookup's match can ask before replacing them.
namespace typed_fields {

// The track's title for its file name and its title tag.
void setTypedTitle(TrackEntry& track, const WideString& title);
// The album's texts of the first track (the album artist falls back to the artist: a CDDB match
// only fills that).
AlbumFields albumFieldsOf(std::span<const TrackEntry> tracks);
// Every field that differs from `before` is set on every track and marked typed. A track's
// artist follows the album artist where it was the album artist before (or empty), so the
// tracks of one artist keep one name; a compilation's own track artists stay.
void setTypedAlbumFields(std::span<TrackEntry> tracks, const AlbumFields& now, const AlbumFields& before);
bool anyTyped(std::span<const TrackEntry> tracks);

// The typed texts of every track, kept across a match that is applied without replacing them.
struct TypedSnapshot {
    struct Track {
        uint32_t typed = 0;
        WideString title;
        AlbumFields album;
        WideString artist;
    };
    std::vector<Track> tracks;
};
TypedSnapshot snapshotTyped(std::span<const TrackEntry> tracks);
// Puts the typed texts of the snapshot back over what a match wrote.
void restoreTyped(std::span<TrackEntry> tracks, const TypedSnapshot& snapshot);
// After a match replaced them: nothing counts as typed any more.
void forgetTyped(std::span<TrackEntry> tracks);

} // namespace typed_fields
} // namespace tonvane
