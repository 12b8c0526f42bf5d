#pragma once
#include "core/disc/TrackEntry.h"
#include "core/foundation/WideString.h"
#include "net/cddb/CddbProtocol.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tonvane {

inline constexpr int32_t kMaxCddbValueCharacters = 260;

// The raw value of key in an entry: the text after "key=" on every line whose key equals key
// (ASCII case ignored), joined in order, since long values are split over repeated keys.
// "TTITLE1" does not match a "TTITLE10=" line.
std::string cddbValueBytes(const CddbMatch& match, std::string_view key);

// An entry value with its escapes decoded: backslash-n becomes a newline, backslash-t a tab and
// two backslashes one. Any other backslash is kept as it stands.
std::string decodeCddbEscapes(std::string_view value);

// The value as text, escapes decoded: UTF-8 when the bytes are valid UTF-8; otherwise ISO-8859-1
// below protocol level 6 (what older servers send), UTF-8 with replacement characters from
// level 6 on. At most 260 characters.
WideString cddbValue(const CddbMatch& match, std::string_view key, int protocolLevel);

// Copies match r (clamped to the last one) into the tracks: title, and the tags encoder text,
// album, title, artist, composer (= artist), year, track number and genre. DTITLE
// "artist / album" is split at the first " / ". The disc ID tag is left alone.
// TTITLEn counts every track of the disc from its first one, data tracks included, so a track
// takes TTITLE(its disc number - firstTrack) and its disc number as the track number tag. A
// track without a disc number (0) counts as the one after the previous track.
void applyCddbMatch(const std::vector<CddbMatch>& matches, size_t r, int protocolLevel, std::span<TrackEntry> tracks,
                    int32_t firstTrack = 1);
inline void applyCddbMatch(const std::vector<CddbMatch>& matches, size_t r, int protocolLevel, TrackEntry* tracks,
                           size_t count, int32_t firstTrack = 1)
{
    applyCddbMatch(matches, r, protocolLevel, std::span<TrackEntry>(tracks, count), firstTrack);
}

} // namespace tonvane
