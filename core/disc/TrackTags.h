#pragma once
#include "core/foundation/WideString.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tonvane {

// A front cover picture, shared by every track of the disc.
struct CoverPicture {
    std::vector<uint8_t> bytes; // the image file as served
    std::string mimeType; // "image/jpeg" or "image/png"
};

// The texts a track's tag writers read. The first nine, in this order, are filled from the
// CDDB entry when a match is applied (the disc ID stays empty unless set otherwise); the rest
// come from a MusicBrainz match only and are left out of the files while empty.
struct TrackTags {
    WideString encoder; // always "Tonvane 0.2"
    WideString album; // DTITLE after " / "
    WideString title; // TTITLEn
    WideString artist; // DTITLE before " / "
    WideString composer; // same text as the artist
    WideString year; // DYEAR
    WideString trackNumber; // decimal, 1-based
    WideString genre; // DGENRE
    WideString discId;

    WideString albumArtist;
    WideString trackTotal; // decimal: tracks of the medium
    WideString discNumber; // decimal: the medium's position in the release
    WideString discTotal; // decimal: media of the release
    WideString isrc;
    WideString musicBrainzAlbumId; // release MBID
    WideString musicBrainzReleaseTrackId;
    WideString musicBrainzRecordingId;
    WideString musicBrainzArtistId;
    WideString musicBrainzAlbumArtistId;
    std::shared_ptr<const CoverPicture> cover; // null: no picture
};

} // namespace tonvane
