#pragma once
#include "encoders/tags/LoudnessTags.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tonvane {

inline constexpr double kReplayGainReference = -18.0; // [LUFS] ReplayGain 2.0's target loudness
inline constexpr double kR128Reference = -23.0; // [LUFS] EBU R 128's, which Opus gains refer to

// What was measured of a track or an album.
struct Loudness {
    double integrated = 0; // [LUFS] gated, per EBU R 128
    double peak = 0; // linear, 1.0 = full scale: the sample peak, or the true peak when asked
};

// "-7.03 dB": reference - loudness with two decimals (never "-0.00").
std::string replayGainText(double integrated);
// "0.988525": six decimals.
std::string peakText(double peak);
// round(256 x (-23 - loudness)), clamped to what 16 bits hold [1/256 dB].
int16_t r128Gain(double integrated);
// The tags of a track; album values only when the album is given.
LoudnessTags loudnessTagsOf(const Loudness& track, const std::optional<Loudness>& album);
// "gain -7.03 dB, peak 0.988525" for the log.
std::string loudnessLine(const Loudness& loudness);

} // namespace tonvane
