#pragma once
#include "core/foundation/WideString.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tonvane {

// Bits of TrackTags::typed: the fields the person typed, which a lookup's match only replaces
// when the person agrees.
namespace typed {
constexpr uint32_t kTitle = 0x1; // the track's title (file name and tag)
constexpr uint32_t kAlbumArtist = 0x2;
constexpr uint32_t kAlbum = 0x4;
constexpr uint32_t kYear = 0x8;
constexpr uint32_t kGenre = 0x10;
constexpr uint32_t kAlbumFields = kAlbumArtist | kAlbum | kYear | kGenre;
} // namespace typed

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
    uint32_t typed = 0; // typed:: bits
};

} // namespace tonvane
