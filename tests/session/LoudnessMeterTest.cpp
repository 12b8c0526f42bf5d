#include "session/LoudnessMeter.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace tonvane;

namespace {

constexpr double kRate = 44100; // [Hz]
constexpr double kPi = 3.14159265358979323846;

// A stereo sine, both channels alike, peak amplitude in dBFS (of 32767).
std::vector<uint8_t> sine(double hertz, double peakDbfs, double seconds, double phase = 0)
{
    size_t frames = static_cast<size_t>(seconds * kRate);
    double amplitude = 32767 * std::pow(10.0, peakDbfs / 20);
    std::vector<uint8_t> pcm(frames * 4);
    for (size_t i = 0; i < frames; ++i) {
        auto sample = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * kPi * hertz * double(i) / kRate + phase)));
        for (int channel = 0; channel < 2; ++channel) {
            pcm[i * 4 + channel * 2] = static_cast<uint8_t>(sample & 0xFF);
            pcm[i * 4 + channel * 2 + 1] = static_cast<uint8_t>((sample >> 8) & 0xFF);
        }
    }
    return pcm;
}

// libebur128 driven directly, the whole buffer at once.
double directLoudness(const std::vector<uint8_t>& pcm)
{
    ebur128_state* state = ebur128_init(2, 44100, EBUR128_MODE_I);
    std::vector<int16_t> samples(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), pcm.size());
    ebur128_add_frames_short(state, samples.data(), samples.size() / 2);
    double loudness = 0;
    ebur128_loudness_global(state, &loudness);
    ebur128_destroy(&state);
    return loudness;
}

} // namespace

TEST(LoudnessMeter, ASineAtAKnownLevelGivesTheGainWorkedOutByHand)
{
    // A 997 Hz sine of peak -20 dBFS in both channels: mean square A^2 / 2 per channel, summed
    // over two channels A^2, so 10 log10(A^2) - 0.691 + the K filter's +0.691 dB near 1 kHz =
    // -20 LUFS; the gain to -18 LUFS is +2.00 dB. The peak is 3277 / 32768.
    LoudnessMeter meter(1, PeakKind::Sample);
    std::vector<uint8_t> pcm = sine(997, -20, 10);
    meter.feed(0, pcm.data(), pcm.size());
    std::optional<Loudness> loudness = meter.track(0);
    ASSERT_TRUE(loudness);
    EXPECT_NEAR(loudness->integrated, -20.0, 0.05);
    EXPECT_EQ(replayGainText(loudness->integrated), "2.00 dB");
    EXPECT_NEAR(loudness->peak, 3277.0 / 32768, 1e-6);
    EXPECT_EQ(meter.bytesFed(0), pcm.size());
}

TEST(LoudnessMeter, ChunksOfAnySizeAndAlignmentMeasureAsOneBuffer)
{
    std::vector<uint8_t> pcm = sine(440, -12, 6);
    // The stream hands over bytes at any address: start one byte into a buffer.
    std::vector<uint8_t> shifted(pcm.size() + 1);
    std::memcpy(shifted.data() + 1, pcm.data(), pcm.size());
    LoudnessMeter meter(1, PeakKind::Sample);
    const size_t chunk = 2352 * 7; // whole frames, not a whole number of the meter's slices
    for (size_t at = 0; at < pcm.size(); at += chunk)
        meter.feed(0, shifted.data() + 1 + at, std::min(chunk, pcm.size() - at));
    ASSERT_TRUE(meter.track(0));
    EXPECT_DOUBLE_EQ(meter.track(0)->integrated, directLoudness(pcm));
}

TEST(LoudnessMeter, TheAlbumGatesEveryTracksBlocksTogether)
{
    // Equal lengths at -20 and -30 dBFS: the mean energy is (1 + 0.1) / 2 of the louder, so the
    // album is -20 + 10 log10(0.55) = -22.60 LUFS (the quieter track is above the relative gate
    // at -32.6), gain +4.60 dB within the K filter's few thousandths of a dB at 997 Hz; the peak
    // is the louder track's.
    LoudnessMeter meter(3, PeakKind::Sample);
    std::vector<uint8_t> loud = sine(997, -20, 8), quiet = sine(997, -30, 8);
    meter.feed(0, loud.data(), loud.size());
    meter.feed(2, quiet.data(), quiet.size());
    std::optional<Loudness> album = meter.album({0, 2});
    ASSERT_TRUE(album);
    EXPECT_NEAR(album->integrated, -20 + 10 * std::log10(0.55), 0.05);
    EXPECT_NEAR(std::stod(replayGainText(album->integrated)), 4.60, 0.011);
    EXPECT_DOUBLE_EQ(album->peak, meter.track(0)->peak);
    std::vector<uint8_t> both = loud;
    both.insert(both.end(), quiet.begin(), quiet.end());
    EXPECT_NEAR(album->integrated, directLoudness(both), 0.01);
    // A single track is its own album; a track never fed adds nothing.
    EXPECT_DOUBLE_EQ(meter.album({2})->integrated, meter.track(2)->integrated);
    EXPECT_DOUBLE_EQ(meter.album({0, 1, 2})->integrated, album->integrated);
}

TEST(LoudnessMeter, SilenceAndMissingTracksHaveNoLoudness)
{
    LoudnessMeter meter(2, PeakKind::Sample);
    std::vector<uint8_t> silence(44100 * 4 * 3, 0);
    meter.feed(0, silence.data(), silence.size());
    meter.feed(7, silence.data(), silence.size()); // outside the job: ignored
    meter.feed(-1, silence.data(), silence.size());
    EXPECT_FALSE(meter.track(0));
    EXPECT_FALSE(meter.track(1));
    EXPECT_FALSE(meter.track(7));
    EXPECT_FALSE(meter.album({0, 1}));
    EXPECT_FALSE(meter.album({}));
}

TEST(LoudnessMeter, TruePeakSeesWhatFallsBetweenSamples)
{
    // A quarter of the sample rate at 45 degrees: every sample lands at 0.707 of the crest.
    std::vector<uint8_t> pcm = sine(kRate / 4, -6, 3, kPi / 4);
    LoudnessMeter samplePeak(1, PeakKind::Sample), truePeak(1, PeakKind::True);
    samplePeak.feed(0, pcm.data(), pcm.size());
    truePeak.feed(0, pcm.data(), pcm.size());
    double crest = std::pow(10.0, -6.0 / 20);
    EXPECT_NEAR(samplePeak.track(0)->peak, crest * std::sqrt(0.5), 0.001);
    EXPECT_NEAR(truePeak.track(0)->peak, crest, 0.02);
}
