#include "session/LoudnessValues.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tonvane {

std::string replayGainText(double integrated)
{
    double gain = kReplayGainReference - integrated;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", gain);
    // A gain that rounds to zero from below would print as "-0.00".
    if (std::string(text) == "-0.00 dB")
        return "0.00 dB";
    return text;
}

std::string peakText(double peak)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", peak);
    return text;
}

int16_t r128Gain(double integrated)
{
    double steps = std::round(256.0 * (kR128Reference - integrated));
    return static_cast<int16_t>(std::clamp(steps, double(INT16_MIN), double(INT16_MAX)));
}

LoudnessTags loudnessTagsOf(const Loudness& track, const std::optional<Loudness>& album)
{
    LoudnessTags tags;
    tags.trackGain = replayGainText(track.integrated);
    tags.trackPeak = peakText(track.peak);
    tags.r128Track = r128Gain(track.integrated);
    if (album) {
        tags.albumGain = replayGainText(album->integrated);
        tags.albumPeak = peakText(album->peak);
        tags.r128Album = r128Gain(album->integrated);
    }
    return tags;
}

std::string loudnessLine(const Loudness& loudness)
{
    return "gain " + replayGainText(loudness.integrated) + ", peak " + peakText(loudness.peak);
}

} // namespace tonvane
