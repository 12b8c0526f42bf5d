// The loudness meter alone: processor time per sample of our LoudnessMeter (K-weighting, sums,
// sample peak, gating) against libebur128 in the mode the meter used before (integrated loudness
// and sample peak, add_frames_short), on one minute of music-like audio handed over in pieces of
// 16 CD sectors as the rip thread does. Rounds alternate between the two; the thread's processor
// time is used, which a loaded machine disturbs far less than the wall clock. Prints the median
// and the spread of each, their ratio, and what the measurement would cost a rip of 344 s of
// music whose processor time is 1.33 s without it.
#include "session/LoudnessMeter.h"
#include "support/MusicSignal.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <time.h>
#include <vector>

namespace {

constexpr uint32_t kFrames = 44100 * 60; // [frames] one minute
constexpr size_t kPieceBytes = 2352 * 16; // [bytes] 16 CD sectors
constexpr int kRounds = 9;
constexpr double kRipSeconds = 344; // [s] of music in the rip measured with the pipeline bench
constexpr double kRipProcessorSeconds = 1.33; // [s] its processor time without the loudness

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double ours(const std::vector<uint8_t>& pcm, double& loudness)
{
    double start = threadSeconds();
    tonvane::LoudnessMeter meter(1, tonvane::PeakKind::Sample);
    for (size_t at = 0; at < pcm.size(); at += kPieceBytes)
        meter.feed(0, pcm.data() + at, std::min(kPieceBytes, pcm.size() - at));
    std::optional<tonvane::Loudness> measured = meter.track(0);
    double seconds = threadSeconds() - start;
    loudness = measured ? measured->integrated : -HUGE_VAL;
    return seconds;
}

double library(const std::vector<uint8_t>& pcm, double& loudness)
{
    double start = threadSeconds();
    ebur128_state* state = ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK);
    if (!state)
        return -1;
    std::vector<int16_t> samples(kPieceBytes / 2);
    for (size_t at = 0; at < pcm.size(); at += kPieceBytes) {
        size_t bytes = std::min(kPieceBytes, pcm.size() - at);
        std::memcpy(samples.data(), pcm.data() + at, bytes);
        ebur128_add_frames_short(state, samples.data(), bytes / 4);
    }
    ebur128_loudness_global(state, &loudness);
    double peak = 0;
    ebur128_sample_peak(state, 0, &peak);
    ebur128_destroy(&state);
    return threadSeconds() - start;
}

// The filter alone with the given arithmetic, the same pieces.
double filterOnly(const std::vector<uint8_t>& pcm, tonvane::FilterArithmetic arithmetic)
{
    double start = threadSeconds();
    tonvane::KWeightingFilter filter(44100, arithmetic);
    for (size_t at = 0; at < pcm.size(); at += kPieceBytes)
        filter.run(pcm.data() + at, std::min(kPieceBytes, pcm.size() - at) / 4);
    volatile double sum = filter.takeSumOfSquares();
    (void)sum;
    return threadSeconds() - start;
}

struct Spread {
    double median, lowest, highest;
};

Spread spreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

} // namespace

int main()
{
    std::vector<uint8_t> pcm = tonvane::test::musicSignal(kFrames);
    double samples = double(kFrames) * 2;
    std::vector<double> oursNs, libraryNs, ratios, fastestNs, sse2Ns;
    double ourLoudness = 0, libraryLoudness = 0;
    for (int round = 0; round < kRounds; ++round) {
        double a = ours(pcm, ourLoudness), b = library(pcm, libraryLoudness);
        if (b < 0) {
            std::fprintf(stderr, "libebur128 refused to start\n");
            return 1;
        }
        oursNs.push_back(a / samples * 1e9);
        libraryNs.push_back(b / samples * 1e9);
        ratios.push_back(b / a);
        fastestNs.push_back(filterOnly(pcm, tonvane::FilterArithmetic::Fastest) / samples * 1e9);
        sse2Ns.push_back(filterOnly(pcm, tonvane::FilterArithmetic::Sse2) / samples * 1e9);
    }
    Spread o = spreadOf(oursNs), l = spreadOf(libraryNs), r = spreadOf(ratios);
    std::printf("loudness of %u frames in pieces of %zu bytes, %d alternating rounds, thread processor time\n",
                kFrames, kPieceBytes, kRounds);
    std::printf("  ours        %6.2f ns/sample (%.2f-%.2f)  %.4f LUFS\n", o.median, o.lowest, o.highest, ourLoudness);
    std::printf("  libebur128  %6.2f ns/sample (%.2f-%.2f)  %.4f LUFS\n", l.median, l.lowest, l.highest,
                libraryLoudness);
    std::printf("  libebur128 / ours %.1fx (%.1f-%.1f), difference %.5f dB\n", r.median, r.lowest, r.highest,
                ourLoudness - libraryLoudness);
    Spread f = spreadOf(fastestNs), s = spreadOf(sse2Ns);
    std::printf("  the filter alone: %.2f ns/sample (%.2f-%.2f) with this processor's fastest arithmetic (%s), "
                "%.2f (%.2f-%.2f) with SSE2 alone\n",
                f.median, f.lowest, f.highest, __builtin_cpu_supports("fma") ? "fused multiply-add" : "SSE2", s.median,
                s.lowest, s.highest);
    double ripSamples = kRipSeconds * 44100 * 2;
    std::printf("  share of a %.0f s rip of %.2f s processor time: ours %.1f%%, libebur128 %.1f%%\n", kRipSeconds,
                kRipProcessorSeconds, 100 * o.median * 1e-9 * ripSamples / (kRipProcessorSeconds + o.median * 1e-9 * ripSamples),
                100 * l.median * 1e-9 * ripSamples / (kRipProcessorSeconds + l.median * 1e-9 * ripSamples));
    return 0;
}
