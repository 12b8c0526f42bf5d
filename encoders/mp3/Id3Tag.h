#pragma once
#include "core/disc/TrackTags.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tonvane {

namespace id3 {
inline constexpr size_t kHeaderSize = 10; // [bytes] tag header and frame header alike
inline constexpr uint8_t kMajorVersion = 4; // ID3v2.4
inline constexpr uint8_t kEncodingUtf8 = 3;
inline constexpr size_t kInitialArea = 2048; // [bytes] reserved up front; grows for longer texts
inline constexpr uint32_t kSyncsafeLimit = 1u << 28; // values a syncsafe integer holds
// [bytes] of padding after the frames: room for the four ReplayGain TXXX frames (about 45 bytes
// each) written in place once the album is measured, so that the audio never moves
inline constexpr size_t kLoudnessRoom = 512;
} // namespace id3

// Four bytes, most significant first, 7 bits each with the top bit 0.
void writeSyncsafe(uint8_t* at, uint32_t value);
uint32_t readSyncsafe(const uint8_t* at);

// The ID3v2.4 tag of an MP3 file: the 10-byte header, then one UTF-8 text frame for each non-empty
// text of TENC, TALB, TIT2, TPE1, TCOM, TDRC (the year) and TRCK ("n/total" once the total is
// known), in that order, no padding; then, from a MusicBrainz match, TPOS ("disc/discs"), TPE2
// (album artist), TSRC (ISRC), TXXX "MusicBrainz Album Id", "... Release Track Id", "... Artist
// Id" and "... Album Artist Id", UFID "http://musicbrainz.org" (the recording id) and APIC (front
// cover). Nothing when the tag would exceed what the syncsafe size field can say.
std::optional<std::vector<uint8_t>> buildId3Tag(const TrackTags& tags);
// Appends bytes zero bytes of padding to a built tag and counts them in its size; nothing when
// the size field could not say it.
void addId3Padding(std::vector<uint8_t>& tag, size_t bytes);

} // namespace tonvane
