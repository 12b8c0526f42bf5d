#pragma once
#include "core/disc/ConversionJob.h"
#include "core/foundation/WideString.h"

#include <cstdint>

namespace tonvane {

inline constexpr uint32_t kMp3Bitrates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}; // [kbit/s]
inline constexpr uint32_t kVorbisNominalRates[] = {48, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 500}; // [kbit/s], shown with "~"
inline constexpr uint32_t kFlacLevels = 8; // compression levels 0 to 7, shown as 1 to 8
inline constexpr uint32_t kWavQualities = 1; // "1411 Kbps", the list is shown disabled

// Entries in the format's quality list (0 for an unknown format).
uint32_t qualityCount(int32_t format);
// The text the track list and the encoder dialog show for (format, index): "128 Kbps",
// "~160 Kbps", "8", "1411 Kbps". Empty for an index outside the list.
WideString qualityLabel(int32_t format, uint32_t index);
// The stored QualityIndex of a format ("Lame", "Vorbis", "Flac" under "\Encoders"), or its
// default 8 / 6 / 7 when missing or outside the list; 0 for WAV. Defaults are not written back.
uint32_t storedQuality(int32_t format);
// The stored "Default" format, 1 (Ogg Vorbis) written back when missing or invalid.
int32_t storedDefaultFormat();

} // namespace tonvane
