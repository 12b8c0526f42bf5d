#pragma once
#include <cstdint>
#include <vector>

namespace tonvane::test {

// Deterministic music-like CD audio (44100 Hz, 16-bit little-endian, stereo interleaved): a
// progression of four-note chords with harmonics, plucked envelopes and stereo placement, a bass
// line, a hi-hat of noise bursts and a little background noise. The same frames and seed give the
// same bytes on every run.
std::vector<uint8_t> musicSignal(uint32_t frames, uint32_t seed = 1);

} // namespace tonvane::test
