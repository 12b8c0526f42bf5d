#pragma once
#include "core/disc/TrackEntry.h"
#include "net/musicbrainz/MusicBrainzRelease.h"

#include <span>

namespace tonvane {

// Copies a match into the tracks: the title, and the tags encoder, album, title, artist,
// composer (= artist), date (as "YYYY[-MM[-DD]]"), track number and total, disc number and
// total, album artist, ISRC and the MusicBrainz ids; the genre stays as it was.
// The medium's n-th track belongs to disc track firstTrack + n (the disc id counts from the
// first track, as the medium does); a track without a disc number counts as the one after the
// previous track. Tracks the medium does not list keep their texts.
void applyMusicBrainzMatch(const MusicBrainzMatch& match, std::span<TrackEntry> tracks, int32_t firstTrack);

} // namespace tonvane
