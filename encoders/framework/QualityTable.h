#pragma once
#include "core/disc/EncoderFormat.h"
#include "core/disc/EncoderSettings.h"
#include "core/foundation/WideString.h"
#include "encoders/mp3/BeConfig.h"

#include <cstdint>

namespace tonvane {

// kMp3Bitrates (the MP3 writer's table) gives the MP3 labels.
inline constexpr uint32_t kVorbisNominalRates[] = {48, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 500}; // [kbit/s], shown with "~"
inline constexpr uint32_t kOpusBitrates[] = {64, 96, 128, 160, 192, 256}; // [kbit/s] VBR targets
// The text the track list and the encoder dialog show for (format, index): "128 Kbps",
// "~160 Kbps", "8", "1411 Kbps", "160 Kbps" (Opus). Empty for an index outside the list.
WideString qualityLabel(int32_t format, uint32_t index);

} // namespace tonvane
