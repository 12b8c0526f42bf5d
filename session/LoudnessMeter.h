#pragma once
#include "session/KWeightingFilter.h"
#include "session/LoudnessValues.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <ebur128.h>

namespace tonvane {

enum class PeakKind : uint8_t { Sample, True };

// The loudness of every track of a rip, measured from the PCM as the rip thread hands it to the
// encoders (integrated loudness with its gating, and the sample peak, in one cheap pass; the
// true peak, which is optional and slower, from libebur128), and of the album over any set of
// them. feed runs on the rip thread; the answers are read once the conversion has been waited
// for.
class LoudnessMeter {
public:
    LoudnessMeter(int32_t trackCount, PeakKind peak);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // 44100 Hz, 16-bit signed little-endian stereo, a whole number of frames.
    void feed(int32_t trackIndex, const uint8_t* pcm, size_t bytes);
    // [bytes] fed to the track so far.
    uint64_t bytesFed(int32_t trackIndex) const;
    // Nothing for a track never fed or without any gated block (digital silence, under 400 ms).
    std::optional<Loudness> track(int32_t trackIndex) const;
    // The tracks' blocks gated together, peak the highest; nothing when no track of them has a
    // loudness.
    std::optional<Loudness> album(const std::vector<int32_t>& trackIndexes) const;

private:
    struct Track {
        KWeightingFilter filter;
        uint32_t subBlockFrames = 0; // [frames] into the current 100 ms sub-block
        uint64_t subBlocks = 0; // completed
        std::array<double, 3> recent{}; // [full scale^2] the last three sub-blocks' sums
        std::vector<double> blocks; // [full scale^2] each 400 ms block's energy, 10 a second
        ebur128_state* truePeak = nullptr;
        uint64_t bytes = 0;
        bool failed = false; // libebur128 refused the true peak: no loudness for this track
    };
    Track* at(int32_t trackIndex);
    const Track* at(int32_t trackIndex) const;
    static void endSubBlock(Track& track);
    double peakOf(const Track& track) const;

    std::vector<Track> m_tracks;
    PeakKind m_peak;
};

} // namespace tonvane
