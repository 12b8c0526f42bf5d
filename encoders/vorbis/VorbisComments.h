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
// then DISCID, ALBUM, TITLE, ARTIST, COMPOSER (the artist's text), DATE, GENRE, TRACKNUMBER,
// TRACKTOTAL, DISCNUMBER, DISCTOTAL, ALBUMARTIST, ISRC and the MUSICBRAINZ_ ids (album, release
// track, recording as TRACKID, artist, album artist) for each non-empty source text. The cover
// is not among them (see pictureBlock).
std::vector<VorbisComment> vorbisComments(const TrackTags& tags);

// FLAC picture types.
inline constexpr uint32_t kPictureFrontCover = 3;

// Width and height [pixels] and colour depth [bits per pixel] from the PNG header or the JPEG
// frame header; 0 where they cannot be found.
struct PictureSize {
    uint32_t width = 0, height = 0, depth = 0;
};
PictureSize pictureSize(const CoverPicture& picture);

// A FLAC PICTURE block body (also the content of the Vorbis METADATA_BLOCK_PICTURE comment,
// base64-encoded): type, MIME type, empty description, width, height, colour depth (pictureSize),
// 0 indexed colours, data; integers 32-bit big-endian.
std::vector<uint8_t> pictureBlock(const CoverPicture& picture);

// Standard base64 with '=' padding.
std::string base64(const std::vector<uint8_t>& bytes);

} // namespace tonvane
