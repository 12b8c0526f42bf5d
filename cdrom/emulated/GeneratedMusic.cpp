#include "cdrom/emulated/EmulatedDisc.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tonvane {

namespace {
constexpr double kSampleRate = 44100.0; // [Hz]
constexpr uint64_t kFramesPerSector = 588;
constexpr double kPi = 3.14159265358979323846;
constexpr uint64_t kBeatFrames = 22050; // 120 beats per minute
constexpr uint64_t kBeatsPerChord = 4;
constexpr double kAttackFrames = 530; // [frames] 12 ms
constexpr double kChordDecay = 2.2; // [1/s] exponential note decay
constexpr double kBassDecay = 1.5; // [1/s]
constexpr double kNoiseLevel = 0.015; // of full scale
constexpr double kMasterLevel = 0.22; // per voice, keeps the sum clear of clipping

// Semitone offsets (from the key) of pop progressions, one per seed.
constexpr std::array<std::array<int, 4>, 4> kProgressions = {{
    {0, 7, 9, 5},
    {9, 5, 0, 7},
    {0, 5, 7, 5},
    {2, 7, 0, 9},
}};

double noteFrequency(int semitonesFromA3) { return 220.0 * std::pow(2.0, semitonesFromA3 / 12.0); }

// A sine by the two-term recurrence s[n] = 2 cos(w) s[n-1] - s[n-2], started at an absolute
// frame so that the phase is the same wherever a beat begins.
struct Oscillator {
    double coefficient = 0, previous = 0, current = 0;
    void start(double frequency, uint64_t frame)
    {
        double w = 2 * kPi * frequency / kSampleRate;
        coefficient = 2 * std::cos(w);
        previous = std::sin(w * (static_cast<double>(frame) - 1));
        current = std::sin(w * static_cast<double>(frame));
    }
    double next()
    {
        double value = current;
        double following = coefficient * current - previous;
        previous = current;
        current = following;
        return value;
    }
};

int16_t toSample(double value)
{
    value = std::clamp(value, -1.0, 1.0);
    return static_cast<int16_t>(std::lround(value * 32767.0));
}
} // namespace

void generateMusic(uint32_t seed, uint32_t sectors, uint8_t* out)
{
    const auto& progression = kProgressions[seed % kProgressions.size()];
    const int key = static_cast<int>(seed % 7) - 3; // semitones around A
    const uint64_t frames = uint64_t{sectors} * kFramesPerSector;
    const double chordFall = std::exp(-kChordDecay / kSampleRate);
    const double bassFall = std::exp(-kBassDecay / kSampleRate);
    constexpr double kPans[3] = {0.3, 0.5, 0.7};
    uint32_t noise = seed * 2654435761u + 1;

    std::array<Oscillator, 6> voices; // three chord notes, each with its octave
    Oscillator bass;
    double envelope = 0;
    double decay = 0;
    double bassEnvelope = 0;
    for (uint64_t frame = 0; frame < frames; ++frame) {
        uint64_t inBeat = frame % kBeatFrames;
        if (inBeat == 0) {
            uint64_t beat = frame / kBeatFrames;
            int step = progression[(beat / kBeatsPerChord) % progression.size()];
            int root = key + step;
            bool minor = step == 9 || step == 2;
            int notes[3] = {root, root + (minor ? 3 : 4), root + 7};
            for (size_t v = 0; v < 3; ++v) {
                voices[2 * v].start(noteFrequency(notes[v]), frame);
                voices[2 * v + 1].start(2 * noteFrequency(notes[v]), frame);
            }
            decay = 1.0;
            if (beat % 2 == 0) {
                bass.start(noteFrequency(root - 24), frame);
                bassEnvelope = 1.0;
            }
        }
        double attack = std::min(1.0, static_cast<double>(inBeat) / kAttackFrames);
        envelope = attack * decay;
        decay *= chordFall;

        double left = 0.0;
        double right = 0.0;
        for (size_t v = 0; v < 3; ++v) {
            double tone = (voices[2 * v].next() + 0.3 * voices[2 * v + 1].next()) * envelope;
            left += tone * (1.0 - kPans[v]);
            right += tone * kPans[v];
        }
        double low = 0.8 * bass.next() * bassEnvelope;
        bassEnvelope *= bassFall;
        noise = noise * 1664525u + 1013904223u;
        double hiss = (static_cast<double>(noise >> 8) / 8388608.0 - 1.0) * kNoiseLevel;

        int16_t l = toSample(kMasterLevel * (left + low) + hiss);
        int16_t r = toSample(kMasterLevel * (right + low) - hiss);
        out[0] = static_cast<uint8_t>(l);
        out[1] = static_cast<uint8_t>(static_cast<uint16_t>(l) >> 8);
        out[2] = static_cast<uint8_t>(r);
        out[3] = static_cast<uint8_t>(static_cast<uint16_t>(r) >> 8);
        out += 4;
    }
}

} // namespace tonvane
