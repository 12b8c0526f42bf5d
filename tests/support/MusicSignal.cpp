#include "support/MusicSignal.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tonvane::test {

namespace {

constexpr double kSampleRate = 44100.0; // [Hz]
constexpr double kBeat = 0.5; // [s] one chord per beat
constexpr double kPi = 3.14159265358979323846;

// Semitones above A 220 Hz of each chord's notes: C, A minor, F, G, each with its bass note.
constexpr std::array<std::array<int, 4>, 4> kChords = {{
    {3, 7, 10, -21}, // C E G, bass C
    {0, 3, 7, -24}, // A C E, bass A
    {-4, 0, 3, -28}, // F A C, bass F
    {-2, 2, 5, -26}, // G B D, bass G
}};
constexpr std::array<double, 4> kPan = {0.2, 0.5, 0.8, 0.5}; // 0 = left, 1 = right

// Small, fast and the same everywhere: a 32-bit xorshift.
struct Noise {
    uint32_t state;
    double next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (state / 4294967296.0) * 2.0 - 1.0;
    }
};

double frequencyOf(int semitones)
{
    return 220.0 * std::pow(2.0, semitones / 12.0);
}

// A plucked note: 5 ms attack, then exponential decay.
double envelope(double t, double decay)
{
    const double attack = 0.005; // [s]
    return t < attack ? t / attack : std::exp(-(t - attack) / decay);
}

void store(uint8_t* at, double value)
{
    const auto sample = static_cast<int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
    at[0] = static_cast<uint8_t>(sample);
    at[1] = static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8);
}

} // namespace

std::vector<uint8_t> musicSignal(uint32_t frames, uint32_t seed)
{
    std::vector<uint8_t> pcm(size_t(frames) * 4);
    Noise noise{seed ? seed * 2654435761u : 1u};
    const double detune = 1.0 + (seed % 7) * 0.001; // different seeds, slightly different tuning
    for (uint32_t n = 0; n < frames; ++n) {
        const double t = n / kSampleRate;
        const auto beat = static_cast<uint32_t>(t / kBeat);
        const double inBeat = t - beat * kBeat;
        const auto& chord = kChords[beat % kChords.size()];

        double left = 0.0;
        double right = 0.0;
        for (size_t v = 0; v < chord.size(); ++v) {
            const bool bass = v == 3;
            const double f = frequencyOf(chord[v]) * detune;
            const double phase = 2.0 * kPi * f * t;
            // Harmonics 1, 2, 3 with falling weight; the bass is rounder.
            const double tone = bass ? std::sin(phase) + 0.3 * std::sin(2 * phase)
                                     : std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.25 * std::sin(3 * phase);
            const double level = (bass ? 0.22 : 0.12) * envelope(inBeat, bass ? 0.35 : 0.25);
            left += tone * level * (1.0 - kPan[v]);
            right += tone * level * kPan[v];
        }
        // Hi-hat: a noise burst on every eighth note, decaying within 30 ms.
        const double eighth = std::fmod(t, kBeat / 2);
        const double hat = noise.next() * 0.06 * std::exp(-eighth / 0.03);
        const double hiss = noise.next() * 0.002;
        store(&pcm[size_t(n) * 4], left + hat * 0.7 + hiss);
        store(&pcm[size_t(n) * 4 + 2], right + hat * 1.0 - hiss);
    }
    return pcm;
}

} // namespace tonvane::test
