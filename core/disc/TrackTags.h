#pragma once
#include "core/foundation/WideString.h"

namespace tonvane {

// The nine texts a track's tag writers read, in this order. Filled from the CDDB entry when a
// match is applied; the disc ID stays empty unless set otherwise.
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
};

} // namespace tonvane
