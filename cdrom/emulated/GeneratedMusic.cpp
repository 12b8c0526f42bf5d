#include "cdrom/emulated/EmulatedDisc.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tonvane {

namespace {
constexpr double kSampleRate = 44100.0; // [Hz]
constexpr uint32_t kFramesPerSector = 588;
constexpr double kPi = 3.14159265358979323846;
constexpr double kBeatSeconds = 0.5; // [s] 120 beats per minute
constexpr uint32_t kBeatsPerChord = 4;
constexpr double kAttackSeconds = 0.012; // [s]
constexpr double kDecayPerSecond = 2.2; // [1/s] exponential note decay
constexpr double kNoiseLevel = 0.015; // of full scale
constexpr double kMasterLevel = 0.22; // per voice, keeps the sum clear of clipping

// Semitone offsets of a pop progression (I V vi IV and relatives), by seed.
constexpr std::array<std::array<int, 4>, 4> kProgressions = {{
    {0, 7, 9, 5},
    {9, 5, 0, 7},
    {0, 5, 7, 5},
    {2, 7, 0, 9},
}};

double noteFrequency(int semitonesFromA3) { return 220.0 * std::pow(2.0, semitonesFromA3 / 12.0); }

uint32_t nextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state;
}

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
    const uint64_t beatFrames = static_cast<uint64_t>(kBeatSeconds * kSampleRate);
    uint32_t noise = seed * 2654435761u + 1;

    for (uint64_t frame = 0; frame < frames; ++frame) {
        uint64_t beat = frame / beatFrames;
        double sinceBeat = static_cast<double>(frame - beat * beatFrames) / kSampleRate;
        uint64_t chordIndex = (beat / kBeatsPerChord) % progression.size();
        int root = key + progression[chordIndex];
        bool minor = progression[chordIndex] == 9 || progression[chordIndex] == 2;
        std::array<int, 3> chord = {root, root + (minor ? 3 : 4), root + 7};

        double attack = std::min(1.0, sinceBeat / kAttackSeconds);
        double envelope = attack * std::exp(-kDecayPerSecond * sinceBeat);
        double t = static_cast<double>(frame) / kSampleRate;
        double left = 0.0;
        double right = 0.0;
        for (size_t voice = 0; voice < chord.size(); ++voice) {
            double f = noteFrequency(chord[voice]);
            double tone = std::sin(2 * kPi * f * t) + 0.3 * std::sin(4 * kPi * f * t);
            double pan = 0.3 + 0.2 * static_cast<double>(voice);
            left += tone * envelope * (1.0 - pan);
            right += tone * envelope * pan;
        }
        // Bass: the chord's root two octaves down, struck on every other beat.
        double bassSince = static_cast<double>(frame - (beat & ~uint64_t{1}) * beatFrames) / kSampleRate;
        double bass = std::sin(2 * kPi * noteFrequency(root - 24) * t) * std::exp(-1.5 * bassSince);
        double hiss = (static_cast<double>(nextRandom(noise) >> 8) / 8388608.0 - 1.0) * kNoiseLevel;

        int16_t l = toSample(kMasterLevel * (left + 0.8 * bass) + hiss);
        int16_t r = toSample(kMasterLevel * (right + 0.8 * bass) - hiss);
        out[0] = static_cast<uint8_t>(l);
        out[1] = static_cast<uint8_t>(static_cast<uint16_t>(l) >> 8);
        out[2] = static_cast<uint8_t>(r);
        out[3] = static_cast<uint8_t>(static_cast<uint16_t>(r) >> 8);
        out += 4;
    }
}

} // namespace tonvane
