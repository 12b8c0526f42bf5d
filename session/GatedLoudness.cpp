#include "session/GatedLoudness.h"

#include <cmath>
#include <algorithm>
#include <cstddef>

namespace tonvane {

namespace {

// [LU] loudness = offset + 10 log10(energy): the offset undoes the K-weighting's +0.691 dB at
// 997 Hz, so that a full-scale 997 Hz sine in one channel reads -3.01 LUFS.
constexpr double kLoudnessOffset = -0.691;
constexpr double kAbsoluteGate = -70; // [LUFS]
constexpr double kRelativeGate = -10; // [LU] under the mean of the blocks over the absolute gate

double energyOf(double loudness)
{
    return std::pow(10.0, (loudness - kLoudnessOffset) / 10);
}

struct Mean {
    double sum = 0;
    size_t count = 0;
};

Mean meanAtOrAbove(const std::vector<const std::vector<double>*>& blockLists, double threshold)
{
    Mean mean;
    for (const std::vector<double>* blocks : blockLists)
        for (double energy : *blocks)
            if (energy >= threshold) {
                mean.sum += energy;
                ++mean.count;
            }
    return mean;
}

} // namespace

std::optional<double> gatedLoudness(const std::vector<const std::vector<double>*>& blockLists)
{
    double absolute = energyOf(kAbsoluteGate);
    Mean overAbsolute = meanAtOrAbove(blockLists, absolute);
    if (overAbsolute.count == 0)
        return std::nullopt;
    double relative = overAbsolute.sum / double(overAbsolute.count) * std::pow(10.0, kRelativeGate / 10);
    // The relative gate can lie under the absolute one (a mean only just over it); both hold.
    Mean gated = meanAtOrAbove(blockLists, std::max(absolute, relative));
    if (gated.count == 0)
        return std::nullopt;
    return kLoudnessOffset + 10 * std::log10(gated.sum / double(gated.count));
}

} // namespace tonvane
