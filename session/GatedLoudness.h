#pragma once
#include <optional>
#include <vector>

namespace tonvane {

// [LUFS] The integrated loudness of 400 ms blocks (ITU-R BS.1770-4, EBU R 128): each block's
// energy is the mean square of the K-weighted samples of each channel [full scale^2], summed over
// the channels; blocks under -70 LUFS are dropped, then those more than 10 LU under the mean of
// the rest. The lists are gated together (an album is all its tracks' blocks). Nothing when no
// block passes the gates (digital silence, under 400 ms of audio).
std::optional<double> gatedLoudness(const std::vector<const std::vector<double>*>& blockLists);

} // namespace tonvane
