#include "session/KWeightingFilter.h"

#include "support/MusicSignal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace tonvane;
using tonvane::test::musicSignal;

namespace {

// One biquad as written, with its own last two inputs and outputs.
struct PlainBiquad {
    Biquad f;
    double in1 = 0, in2 = 0, out1 = 0, out2 = 0;

    double step(double in)
    {
        double out = f.b0 * in + f.b1 * in1 + f.b2 * in2 - f.a1 * out1 - f.a2 * out2;
        in2 = in1;
        in1 = in;
        out2 = out1;
        out1 = out;
        return out;
    }
};

// The plain routine: each sample of each channel through both biquads, one at a time, in
// double precision, nothing factored out.
struct PlainFilter {
    PlainBiquad shelf[2], highPass[2];
    double sum = 0; // [full scale^2]
    int32_t peak = 0; // [int16 units]

    PlainFilter()
    {
        KWeighting k = kWeightingAt(44100);
        for (int channel = 0; channel < 2; ++channel) {
            shelf[channel].f = k.shelf;
            highPass[channel].f = k.highPass;
        }
    }

    void run(const uint8_t* pcm, size_t frames)
    {
        for (size_t i = 0; i < frames; ++i)
            for (int channel = 0; channel < 2; ++channel) {
                int16_t sample;
                std::memcpy(&sample, pcm + i * 4 + channel * 2, 2);
                peak = std::max(peak, std::abs(int32_t(sample)));
                double out = highPass[channel].step(shelf[channel].step(sample / 32768.0));
                sum += out * out;
            }
    }
};

void putSample(std::vector<uint8_t>& pcm, size_t frame, int channel, int16_t sample)
{
    std::memcpy(pcm.data() + frame * 4 + size_t(channel) * 2, &sample, 2);
}

} // namespace

TEST(KWeightingFilter, At48kHzTheBiquadsAreTheStandardsTable)
{
    // ITU-R BS.1770-4, tables 1 and 2: the coefficients at 48 kHz, given to 14 decimals.
    KWeighting k = kWeightingAt(48000);
    struct Row {
        double derived, table;
    } rows[] = {
        {k.shelf.b0, 1.53512485958697},     {k.shelf.b1, -2.69169618940638},
        {k.shelf.b2, 1.19839281085285},     {k.shelf.a1, -1.69065929318241},
        {k.shelf.a2, 0.73248077421585},     {k.highPass.b0, 1.0},
        {k.highPass.b1, -2.0},              {k.highPass.b2, 1.0},
        {k.highPass.a1, -1.99004745483398}, {k.highPass.a2, 0.99007225036621},
    };
    for (const Row& row : rows)
        EXPECT_NEAR(row.derived, row.table, 1e-13);
    // At 44.1 kHz the shelf's gain is the same +4 dB far above its corner: at Nyquist,
    // H(-1) = (b0 - b1 + b2) / (1 - a1 + a2) is 10^(4/20) within the fit.
    KWeighting cd = kWeightingAt(44100);
    double nyquist = (cd.shelf.b0 - cd.shelf.b1 + cd.shelf.b2) / (1 - cd.shelf.a1 + cd.shelf.a2);
    EXPECT_NEAR(20 * std::log10(nyquist), 4.0, 0.01);
    // The high-pass blocks direct current: its numerator sums to zero.
    EXPECT_EQ(cd.highPass.b0 + cd.highPass.b1 + cd.highPass.b2, 0.0);
}

TEST(KWeightingFilter, FollowsThePlainRoutineInPiecesOfAnySize)
{
    std::vector<uint8_t> pcm = musicSignal(44100 * 3, 7);
    // The extremes of 16-bit audio, where a negation would overflow.
    putSample(pcm, 1000, 0, -32768);
    putSample(pcm, 1001, 1, 32767);
    PlainFilter plain;
    plain.run(pcm.data(), pcm.size() / 4);

    // The filter at an odd address, fed in pieces of awkward sizes (and empty ones).
    std::vector<uint8_t> shifted(pcm.size() + 3);
    std::memcpy(shifted.data() + 3, pcm.data(), pcm.size());
    const size_t sizes[] = {1, 0, 3, 4409, 7, 4411, 2, 13, 1000};
    const size_t frames = pcm.size() / 4;
    // Both ways of computing: fused multiply-adds run only where the processor has them.
    for (FilterArithmetic arithmetic : {FilterArithmetic::Fastest, FilterArithmetic::Sse2}) {
        SCOPED_TRACE(arithmetic == FilterArithmetic::Sse2 ? "SSE2" : "fastest");
        KWeightingFilter pieces(44100, arithmetic);
        for (size_t i = 0, at = 0; at < frames; ++i) {
            size_t piece = std::min(sizes[i % std::size(sizes)], frames - at);
            pieces.run(shifted.data() + 3 + at * 4, piece);
            at += piece;
        }
        KWeightingFilter whole(44100, arithmetic);
        whole.run(pcm.data(), frames);

        double sum = whole.takeSumOfSquares();
        EXPECT_NEAR(sum / plain.sum, 1.0, 1e-10);
        EXPECT_EQ(pieces.takeSumOfSquares(), sum); // to the last bit
        EXPECT_EQ(whole.peak(), 32768);
        EXPECT_EQ(pieces.peak(), plain.peak);
        // A take starts the next sum at zero.
        EXPECT_EQ(whole.takeSumOfSquares(), 0.0);
    }
}

TEST(KWeightingFilter, TheSumsFollowThePlainRoutineSubBlockBySubBlock)
{
    // Loud and quiet stretches: a sum per 100 ms, each taken as the meter takes them, with the
    // memories flushed in between.
    std::vector<uint8_t> pcm = musicSignal(44100 * 4, 3);
    for (size_t frame = 44100; frame < 88200; ++frame)
        for (int channel = 0; channel < 2; ++channel) {
            int16_t sample;
            std::memcpy(&sample, pcm.data() + frame * 4 + channel * 2, 2);
            putSample(pcm, frame, channel, int16_t(sample / 300));
        }
    KWeightingFilter fast;
    PlainFilter plain;
    for (size_t frame = 0; frame + 4410 <= pcm.size() / 4; frame += 4410) {
        fast.run(pcm.data() + frame * 4, 4410);
        plain.sum = 0;
        plain.run(pcm.data() + frame * 4, 4410);
        double sum = fast.takeSumOfSquares();
        fast.flushTiny();
        EXPECT_NEAR(sum / plain.sum, 1.0, 1e-9) << "at frame " << frame;
    }
}

TEST(KWeightingFilter, DecaysIntoDigitalSilenceAndStopsThere)
{
    // After music, silence: the filter's ringing dies away, and with the memories flushed
    // between sub-blocks it reaches exact zero instead of lingering in denormal numbers.
    std::vector<uint8_t> music = musicSignal(44100, 5);
    std::vector<uint8_t> silence(4410 * 4, 0);
    KWeightingFilter filter;
    filter.run(music.data(), music.size() / 4);
    double loud = filter.takeSumOfSquares();
    EXPECT_GT(loud, 0);
    double last = loud;
    int zeroAfter = -1;
    for (int subBlock = 0; subBlock < 200 && zeroAfter < 0; ++subBlock) {
        filter.run(silence.data(), 4410);
        double sum = filter.takeSumOfSquares();
        filter.flushTiny();
        EXPECT_LE(sum, last);
        last = sum;
        if (sum == 0)
            zeroAfter = subBlock;
    }
    // The slowest pole (0.9946) falls about ten decades per 100 ms: from music to under 1e-12 of
    // a step in two or three sub-blocks, where left alone the squares would take some sixteen to
    // underflow, through denormals all the way.
    EXPECT_GE(zeroAfter, 1);
    EXPECT_LE(zeroAfter, 4);
    filter.run(silence.data(), 4410);
    EXPECT_EQ(filter.takeSumOfSquares(), 0.0);
}
