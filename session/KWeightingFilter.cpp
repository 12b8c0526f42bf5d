#include "session/KWeightingFilter.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tonvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFullScale = 32768; // [int16 units]
// Below this the filter memories are zeroed: a millionth of a millionth of the smallest step of
// 16-bit audio.
constexpr double kTiny = 1e-12; // [int16 units]

// The shelf's analogue prototype, fitted so that its bilinear transform at 48 kHz gives the
// standard's coefficients (b0 1.53512485958697, b1 -2.69169618940638, b2 1.19839281085285,
// a1 -1.69065929318241, a2 0.73248077421585); the same published fit libebur128 uses for other
// rates: centre frequency, gain at high frequencies, quality, and the band-gain exponent.
constexpr double kShelfHertz = 1681.974450955533; // [Hz]
constexpr double kShelfGain = 3.999843853973347; // [dB]
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kShelfBandExponent = 0.4996667741545416;
// The high-pass's prototype, fitted the same way to a1 -1.99004745483398, a2 0.99007225036621;
// its numerator is 1, -2, 1 at every rate.
constexpr double kHighPassHertz = 38.13547087602444; // [Hz]
constexpr double kHighPassQ = 0.5003270373238773;

// The analogue high shelf (Vh s^2 + Vb s / Q + 1) / (s^2 + s / Q + 1), Vh the gain far above
// the corner and Vb = Vh^exponent its middle, through the bilinear transform with the corner
// pre-warped: K = tan(pi f0 / fs). At 44100 Hz: b0 1.530841230050348, b1 -2.650979995154730,
// b2 1.169079079921587, a1 -1.663655113256020, a2 0.712595428073225.
Biquad shelfAt(double sampleRate)
{
    double k = std::tan(kPi * kShelfHertz / sampleRate);
    double vh = std::pow(10.0, kShelfGain / 20);
    double vb = std::pow(vh, kShelfBandExponent);
    double a0 = 1 + k / kShelfQ + k * k;
    return {(vh + vb * k / kShelfQ + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / kShelfQ + k * k) / a0,
            2 * (k * k - 1) / a0, (1 - k / kShelfQ + k * k) / a0};
}

// The analogue high-pass s^2 / (s^2 + s / Q + 1) the same way. At 44100 Hz: a1 -1.989169673629796,
// a2 0.989199035787039.
Biquad highPassAt(double sampleRate)
{
    double k = std::tan(kPi * kHighPassHertz / sampleRate);
    double a0 = 1 + k / kHighPassQ + k * k;
    return {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / kHighPassQ + k * k) / a0};
}

__m128d flushed(__m128d value)
{
    __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), value);
    return _mm_and_pd(value, _mm_cmpge_pd(magnitude, _mm_set1_pd(kTiny)));
}

struct Coefficients {
    __m128d shelfB1, shelfB2, shelfA1, shelfA2, highPassA1, highPassA2;
};

// Per channel (left, right lanes): see KWeightingFilter's members.
struct Memories {
    __m128d x1, x2, w1, w2, d1, z1, z2, sum;
    __m128i highest, lowest;
};

// The frame at i as two doubles, the int16 peak taken on the way.
[[gnu::always_inline]] inline __m128d loadFrame(Memories& m, const uint8_t* pcm, size_t i)
{
    int32_t frame;
    std::memcpy(&frame, pcm + i * 4, 4); // left in the low half: little-endian host and PCM
    __m128i samples = _mm_cvtsi32_si128(frame);
    m.highest = _mm_max_epi16(m.highest, samples);
    m.lowest = _mm_min_epi16(m.lowest, samples);
    // Each 16-bit sample to the top of a 32-bit lane, shifted down with its sign, to double.
    return _mm_cvtepi32_pd(_mm_srai_epi32(_mm_unpacklo_epi16(samples, samples), 16));
}

void filterSse2(Memories& memories, const Coefficients& c, const uint8_t* pcm, size_t frames)
{
    // A copy the byte loads cannot alias: the memories stay in registers through the loop.
    Memories m = memories;
    for (size_t i = 0; i < frames; ++i) {
        __m128d x = loadFrame(m, pcm, i);
        // The shelf (numerator / b0); only the last multiply-add waits on the previous output.
        __m128d w = ((x + c.shelfB1 * m.x1) + (c.shelfB2 * m.x2 - c.shelfA2 * m.w2)) - c.shelfA1 * m.w1;
        // The high-pass: w - 2 w1 + w2 as the difference of two first differences.
        __m128d d = w - m.w1;
        __m128d z = ((d - m.d1) - c.highPassA2 * m.z2) - c.highPassA1 * m.z1;
        m.sum += z * z;
        m.x2 = m.x1, m.x1 = x, m.w2 = m.w1, m.w1 = w, m.d1 = d, m.z2 = m.z1, m.z1 = z;
    }
    memories = m;
}

// The same steps with fused multiply-adds: -a1 w1 + t in one instruction of four cycles' wait
// instead of a multiply and a subtraction of three each (Zen 4; alike elsewhere).
[[gnu::target("fma")]] void filterFused(Memories& memories, const Coefficients& c, const uint8_t* pcm, size_t frames)
{
    // A copy the byte loads cannot alias: the memories stay in registers through the loop.
    Memories m = memories;
    for (size_t i = 0; i < frames; ++i) {
        __m128d x = loadFrame(m, pcm, i);
        __m128d t = _mm_fmadd_pd(c.shelfB1, m.x1, x) + _mm_fnmadd_pd(c.shelfA2, m.w2, c.shelfB2 * m.x2);
        __m128d w = _mm_fnmadd_pd(c.shelfA1, m.w1, t);
        __m128d d = w - m.w1;
        __m128d z = _mm_fnmadd_pd(c.highPassA1, m.z1, _mm_fnmadd_pd(c.highPassA2, m.z2, d - m.d1));
        m.sum = _mm_fmadd_pd(z, z, m.sum);
        m.x2 = m.x1, m.x1 = x, m.w2 = m.w1, m.w1 = w, m.d1 = d, m.z2 = m.z1, m.z1 = z;
    }
    memories = m;
}

} // namespace

KWeighting kWeightingAt(double sampleRate)
{
    return {shelfAt(sampleRate), highPassAt(sampleRate)};
}

KWeightingFilter::KWeightingFilter(double sampleRate, FilterArithmetic arithmetic)
    : m_fused(arithmetic == FilterArithmetic::Fastest && __builtin_cpu_supports("fma"))
{
    KWeighting k = kWeightingAt(sampleRate);
    m_shelfB1 = k.shelf.b1 / k.shelf.b0;
    m_shelfB2 = k.shelf.b2 / k.shelf.b0;
    m_shelfA1 = k.shelf.a1;
    m_shelfA2 = k.shelf.a2;
    m_highPassA1 = k.highPass.a1;
    m_highPassA2 = k.highPass.a2;
    m_energyScale = k.shelf.b0 * k.shelf.b0 / (kFullScale * kFullScale);
}

void KWeightingFilter::run(const uint8_t* pcm, size_t frames)
{
    const Coefficients c = {_mm_set1_pd(m_shelfB1),    _mm_set1_pd(m_shelfB2),    _mm_set1_pd(m_shelfA1),
                            _mm_set1_pd(m_shelfA2),    _mm_set1_pd(m_highPassA1), _mm_set1_pd(m_highPassA2)};
    Memories m = {_mm_load_pd(m_x1),
                  _mm_load_pd(m_x2),
                  _mm_load_pd(m_w1),
                  _mm_load_pd(m_w2),
                  _mm_load_pd(m_d1),
                  _mm_load_pd(m_z1),
                  _mm_load_pd(m_z2),
                  _mm_load_pd(m_sum),
                  _mm_load_si128(reinterpret_cast<const __m128i*>(m_highest)),
                  _mm_load_si128(reinterpret_cast<const __m128i*>(m_lowest))};
    if (m_fused)
        filterFused(m, c, pcm, frames);
    else
        filterSse2(m, c, pcm, frames);
    _mm_store_pd(m_x1, m.x1);
    _mm_store_pd(m_x2, m.x2);
    _mm_store_pd(m_w1, m.w1);
    _mm_store_pd(m_w2, m.w2);
    _mm_store_pd(m_d1, m.d1);
    _mm_store_pd(m_z1, m.z1);
    _mm_store_pd(m_z2, m.z2);
    _mm_store_pd(m_sum, m.sum);
    _mm_store_si128(reinterpret_cast<__m128i*>(m_highest), m.highest);
    _mm_store_si128(reinterpret_cast<__m128i*>(m_lowest), m.lowest);
}

double KWeightingFilter::takeSumOfSquares()
{
    double sum = (m_sum[0] + m_sum[1]) * m_energyScale;
    m_sum[0] = m_sum[1] = 0;
    return sum;
}

int32_t KWeightingFilter::peak() const
{
    int32_t highest = std::max(m_highest[0], m_highest[1]);
    int32_t lowest = std::min(m_lowest[0], m_lowest[1]);
    return std::max(highest, -lowest);
}

void KWeightingFilter::flushTiny()
{
    // The inputs are whole numbers: only the recursive outputs can decay towards denormals.
    for (double* memory : {m_w1, m_w2, m_d1, m_z1, m_z2})
        _mm_store_pd(memory, flushed(_mm_load_pd(memory)));
}

} // namespace tonvane
