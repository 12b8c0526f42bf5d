#pragma once
#include <cstdint>
#include <string>

namespace tonvane {

// The loudness tags of one finished track, ready to be written: ReplayGain 2.0 texts (FLAC,
// Vorbis comments, ID3v2 TXXX) and the Opus R128 values. The album half is absent when the
// album could not be measured (an interrupted rip, a silent disc).
struct LoudnessTags {
    std::string trackGain; // "-7.03 dB": -18 LUFS - the integrated loudness
    std::string trackPeak; // "0.988525": linear, 1.0 = full scale
    std::string albumGain; // empty: no album values
    std::string albumPeak;
    int16_t r128Track = 0; // Q7.8 [1/256 dB] relative to -23 LUFS
    int16_t r128Album = 0;

    bool hasAlbum() const { return !albumGain.empty(); }
};

// The names players read; compared without ASCII case when old values are replaced.
inline constexpr const char* kTrackGainName = "REPLAYGAIN_TRACK_GAIN";
inline constexpr const char* kTrackPeakName = "REPLAYGAIN_TRACK_PEAK";
inline constexpr const char* kAlbumGainName = "REPLAYGAIN_ALBUM_GAIN";
inline constexpr const char* kAlbumPeakName = "REPLAYGAIN_ALBUM_PEAK";
inline constexpr const char* kR128TrackName = "R128_TRACK_GAIN";
inline constexpr const char* kR128AlbumName = "R128_ALBUM_GAIN";

} // namespace tonvane
