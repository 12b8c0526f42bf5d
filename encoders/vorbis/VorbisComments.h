#pragma once
#include "core/disc/TrackTags.h"

#include <string>
#include <vector>

namespace tonvane {

struct VorbisComment {
    const char* name;
    std::string value; // UTF-8
};

// The comments of an Ogg Vorbis or FLAC file, in their order: ENCODER always (also when empty),
// then DISCID, ALBUM, TITLE, ARTIST, COMPOSER (the artist's text), DATE, GENRE, TRACKNUMBER for
// each non-empty source text.
std::vector<VorbisComment> vorbisComments(const TrackTags& tags);

} // namespace tonvane
