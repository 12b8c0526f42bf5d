#pragma once
#include <cstdint>

namespace tonvane {

inline constexpr uint32_t kMp3QualityCount = 14; // bitrates 32 to 320 kbit/s
inline constexpr uint32_t kVorbisQualityCount = 12; // quality 0.0 to 1.1 (clamped to 1.0)
inline constexpr uint32_t kFlacQualityCount = 8; // compression levels 0 to 7, shown as 1 to 8
inline constexpr uint32_t kWavQualityCount = 1; // "1411 Kbps", the list is shown disabled
inline constexpr uint32_t kOpusQualityCount = 6; // bitrates 64 to 256 kbit/s

// Entries in the format's quality list (0 for an unknown format).
uint32_t qualityCount(int32_t format);
// The stored QualityIndex of a format ("Lame", "Vorbis", "Flac", "Opus" under "\Encoders"), or
// its default 8 / 6 / 7 / 3 when missing or outside the list; 0 for WAV. Defaults are not written back.
uint32_t storedQuality(int32_t format);
// The stored "Default" format, 1 (Ogg Vorbis) written back when missing or invalid.
int32_t storedDefaultFormat();

} // namespace tonvane
