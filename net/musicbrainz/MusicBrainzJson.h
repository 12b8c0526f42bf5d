#pragma once
#include "net/musicbrainz/MusicBrainzRelease.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvane {

// Limits on what a reply may make us keep: everything from the server is untrusted.
inline constexpr size_t kMaxMusicBrainzReleases = 25;
inline constexpr size_t kMaxMusicBrainzMedia = 200; // media looked at per release
inline constexpr size_t kMaxMusicBrainzTracks = 99; // kept per medium: a CD has no more
inline constexpr size_t kMaxMusicBrainzTextBytes = 1024; // [bytes] per text, cut at a character

// The releases of a /ws/2/discid reply (exact or by table of contents) that hold this disc:
// for each, the first medium that lists discId among its discs, or, when none does (a fuzzy
// match), the first with audioTrackCount tracks. Releases without such a medium are left out.
// Nothing (with error set) when the reply is not JSON or not an object; missing fields and
// fields of the wrong type are left empty.
std::optional<std::vector<MusicBrainzMatch>> parseMusicBrainzReleases(std::string_view json, std::string_view discId,
                                                                      size_t audioTrackCount, std::string& error);

// True for the 8-4-4-4-12 lower-case hex form of an MBID.
bool isMusicBrainzId(std::string_view text);

} // namespace tonvane
