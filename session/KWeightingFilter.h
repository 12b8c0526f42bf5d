#pragma once
#include <cstddef>
#include <cstdint>

namespace tonvane {

// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

// The K-weighting of loudness measurement (ITU-R BS.1770-4): a high shelf of about +4 dB above
// 1.5 kHz (the head's effect), then a high-pass near 38 Hz (the "revised low-frequency B" curve).
struct KWeighting {
    Biquad shelf;
    Biquad highPass;
};

// Both biquads for a sample rate [Hz], from their analogue prototypes by the bilinear transform.
// At 48000 Hz they are the standard's table of coefficients to nine decimals.
KWeighting kWeightingAt(double sampleRate);

// How the filter multiplies and adds: SSE2 (every x86-64), or fused multiply-adds where the
// processor has them (one rounding fewer, and the recursion's wait per frame a third shorter).
enum class FilterArithmetic : uint8_t { Fastest, Sse2 };

// The K-weighting filter of 16-bit stereo PCM, its squares summed, and the sample peak, in one
// pass over the frames as they come (both channels side by side in one SSE2 register, in double
// precision). The state carries over from one call to the next, so the PCM can come in pieces of
// any size with the same result to the last bit.
class KWeightingFilter {
public:
    explicit KWeightingFilter(double sampleRate = 44100, FilterArithmetic arithmetic = FilterArithmetic::Fastest);

    // 16-bit signed little-endian stereo frames, at any address.
    void run(const uint8_t* pcm, size_t frames);
    // [full scale^2] the sum of the filtered squares of both channels since the last take; starts
    // the next sum at zero.
    double takeSumOfSquares();
    // [int16 units] the highest |sample| seen, 0 to 32768.
    int32_t peak() const;
    // Sets filter memories below any audible level to zero, so that the decay after a piece of
    // music into digital silence never reaches denormal numbers (a hundred times slower). Called
    // between sub-blocks, not per sample.
    void flushTiny();

private:
    // The shelf runs with its numerator divided by b0 and the high-pass numerator is 1 - 2z^-1 +
    // z^-2 (two first differences): b0 comes back squared in takeSumOfSquares.
    double m_shelfB1, m_shelfB2, m_shelfA1, m_shelfA2;
    double m_highPassA1, m_highPassA2;
    double m_energyScale; // [full scale^2 / int16 units^2] b0^2 / 32768^2
    bool m_fused;
    // Per channel (left, right): the last two inputs, the shelf's last two outputs, its last
    // first difference, the high-pass's last two outputs, and the running sum of squares.
    alignas(16) double m_x1[2] = {}, m_x2[2] = {}, m_w1[2] = {}, m_w2[2] = {}, m_d1[2] = {};
    alignas(16) double m_z1[2] = {}, m_z2[2] = {}, m_sum[2] = {};
    alignas(16) int16_t m_highest[8] = {}, m_lowest[8] = {};
};

} // namespace tonvane
