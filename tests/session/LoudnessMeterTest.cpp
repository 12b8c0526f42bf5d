#include "session/LoudnessMeter.h"

#include "support/MusicSignal.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

using namespace tonvane;
using tonvane::test::musicSignal;

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

ebur128_state* directState(const std::vector<uint8_t>& pcm, int mode = EBUR128_MODE_I)
{
    ebur128_state* state = ebur128_init(2, 44100, mode);
    std::vector<int16_t> samples(pcm.size() / 2);
    if (!pcm.empty()) // an empty vector's data() may be null, which memcpy must not see
        std::memcpy(samples.data(), pcm.data(), pcm.size());
    ebur128_add_frames_short(state, samples.data(), samples.size() / 2);
    return state;
}

// libebur128 driven directly, the whole buffer at once: nothing for -inf (no block gated in).
std::optional<double> directGated(const std::vector<std::vector<uint8_t>>& tracks)
{
    std::vector<ebur128_state*> states;
    for (const std::vector<uint8_t>& pcm : tracks)
        states.push_back(directState(pcm));
    double loudness = 0;
    int result = ebur128_loudness_global_multiple(states.data(), states.size(), &loudness);
    for (ebur128_state*& state : states)
        ebur128_destroy(&state);
    if (result != EBUR128_SUCCESS || !std::isfinite(loudness))
        return std::nullopt;
    return loudness;
}

double directLoudness(const std::vector<uint8_t>& pcm)
{
    return directGated({pcm}).value_or(-HUGE_VAL);
}

// The plain routine for the whole measurement: per-sample double biquads as written, the squares
// summed over every 400 ms window starting at each multiple of 100 ms, then both gates.
std::optional<double> plainLoudness(const std::vector<uint8_t>& pcm)
{
    KWeighting k = kWeightingAt(44100);
    size_t frames = pcm.size() / 4;
    std::vector<double> squares(frames, 0.0); // both channels of each frame
    for (int channel = 0; channel < 2; ++channel) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0, z1 = 0, z2 = 0;
        for (size_t i = 0; i < frames; ++i) {
            int16_t sample;
            std::memcpy(&sample, pcm.data() + i * 4 + size_t(channel) * 2, 2);
            double x = sample / 32768.0;
            double y = k.shelf.b0 * x + k.shelf.b1 * x1 + k.shelf.b2 * x2 - k.shelf.a1 * y1 - k.shelf.a2 * y2;
            double z = y - 2 * y1 + y2 - k.highPass.a1 * z1 - k.highPass.a2 * z2;
            x2 = x1, x1 = x, y2 = y1, y1 = y, z2 = z1, z1 = z;
            squares[i] += z * z;
        }
    }
    std::vector<double> blocks;
    for (size_t start = 0; start + 17640 <= frames; start += 4410) {
        double sum = 0;
        for (size_t i = start; i < start + 17640; ++i)
            sum += squares[i];
        blocks.push_back(sum / 17640);
    }
    auto loudnessOf = [](double energy) { return -0.691 + 10 * std::log10(energy); };
    double sum = 0;
    int count = 0;
    for (double block : blocks)
        if (loudnessOf(block) >= -70)
            sum += block, ++count;
    if (count == 0)
        return std::nullopt;
    double relative = loudnessOf(sum / count) - 10;
    sum = 0, count = 0;
    for (double block : blocks)
        if (loudnessOf(block) >= -70 && loudnessOf(block) >= relative)
            sum += block, ++count;
    return loudnessOf(sum / count);
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
    LoudnessMeter meter(1, PeakKind::Sample), whole(1, PeakKind::Sample);
    const size_t chunk = 2352 * 7; // whole frames, not a whole number of the meter's slices
    for (size_t at = 0; at < pcm.size(); at += chunk)
        meter.feed(0, shifted.data() + 1 + at, std::min(chunk, pcm.size() - at));
    whole.feed(0, pcm.data(), pcm.size());
    ASSERT_TRUE(meter.track(0));
    EXPECT_EQ(meter.track(0)->integrated, whole.track(0)->integrated); // to the last bit
    EXPECT_NEAR(meter.track(0)->integrated, directLoudness(pcm), 0.01);
}

TEST(LoudnessMeter, MusicFedInOddPiecesIsOneBufferToTheLastBit)
{
    // Pieces of one frame, a prime number of frames, more than a sub-block, a CD sector's worth
    // (588 frames) and a partial frame's bytes left over, at odd addresses.
    std::vector<uint8_t> pcm = musicSignal(44100 * 7 + 1234, 11);
    std::vector<uint8_t> shifted(pcm.size() + 1);
    std::memcpy(shifted.data() + 1, pcm.data(), pcm.size());
    const size_t frameCounts[] = {1, 17, 4411, 588, 3, 9000, 4409};
    LoudnessMeter pieces(1, PeakKind::Sample), whole(1, PeakKind::Sample);
    size_t at = 0;
    for (size_t i = 0; at < pcm.size(); ++i) {
        size_t bytes = std::min(frameCounts[i % std::size(frameCounts)] * 4, pcm.size() - at);
        pieces.feed(0, shifted.data() + 1 + at, bytes);
        at += bytes;
    }
    whole.feed(0, pcm.data(), pcm.size());
    ASSERT_TRUE(whole.track(0));
    EXPECT_EQ(pieces.track(0)->integrated, whole.track(0)->integrated);
    EXPECT_EQ(pieces.track(0)->peak, whole.track(0)->peak);
    EXPECT_EQ(pieces.bytesFed(0), pcm.size());
}

TEST(LoudnessMeter, SinesOfManyLevelsAndFrequenciesMeasureAsLibebur128)
{
    // From the bass, where the high-pass cuts, to the treble, where the shelf lifts; from full
    // scale down past the absolute gate at -70 LUFS.
    const double hertz[] = {30, 100, 997, 3000, 12000, 20000};
    const double levels[] = {0, -20, -45, -66, -80}; // [dBFS peak]
    for (double frequency : hertz)
        for (double level : levels) {
            std::vector<uint8_t> pcm = sine(frequency, level, 3, 0.3);
            LoudnessMeter meter(1, PeakKind::Sample);
            meter.feed(0, pcm.data(), pcm.size());
            std::optional<Loudness> ours = meter.track(0);
            std::optional<double> direct = directGated({pcm});
            SCOPED_TRACE(testing::Message() << frequency << " Hz at " << level << " dBFS");
            ASSERT_EQ(ours.has_value(), direct.has_value());
            if (!ours)
                continue;
            EXPECT_NEAR(ours->integrated, *direct, 0.01);
            EXPECT_NEAR(ours->integrated, *plainLoudness(pcm), 1e-6);
            ebur128_state* state = directState(pcm, EBUR128_MODE_SAMPLE_PEAK);
            double peak = 0;
            ebur128_sample_peak(state, 0, &peak);
            ebur128_destroy(&state);
            EXPECT_EQ(ours->peak, peak);
        }
}

TEST(LoudnessMeter, MusicTracksAndTheirAlbumMeasureAsLibebur128)
{
    // Three tracks of different lengths and levels, one ending in digital silence (gated out),
    // one under a second: each and the album gated together.
    std::vector<uint8_t> first = musicSignal(44100 * 12, 1);
    std::vector<uint8_t> second = musicSignal(44100 * 5, 2);
    second.resize(second.size() + 44100 * 4 * 6, 0);
    std::vector<uint8_t> third = musicSignal(44100 * 7 / 10, 3);
    for (size_t i = 0; i + 1 < third.size(); i += 2) {
        int16_t sample;
        std::memcpy(&sample, third.data() + i, 2);
        sample = int16_t(sample / 8);
        std::memcpy(third.data() + i, &sample, 2);
    }
    std::vector<std::vector<uint8_t>> tracks = {first, second, third};
    LoudnessMeter meter(3, PeakKind::Sample);
    for (int32_t index = 0; index < 3; ++index)
        meter.feed(index, tracks[size_t(index)].data(), tracks[size_t(index)].size());
    for (int32_t index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(meter.track(index));
        EXPECT_NEAR(meter.track(index)->integrated, *directGated({tracks[size_t(index)]}), 0.01);
        EXPECT_NEAR(meter.track(index)->integrated, *plainLoudness(tracks[size_t(index)]), 1e-6);
    }
    std::optional<Loudness> album = meter.album({0, 1, 2});
    ASSERT_TRUE(album);
    EXPECT_NEAR(album->integrated, *directGated(tracks), 0.01);
    EXPECT_EQ(album->peak, std::max({meter.track(0)->peak, meter.track(1)->peak, meter.track(2)->peak}));
}

TEST(LoudnessMeter, TracksUnder400MillisecondsHaveNoLoudnessAndOneBlockHasOne)
{
    struct Row {
        size_t frames;
        bool measured;
    } rows[] = {{0, false}, {1, false}, {4410, false}, {17639, false}, {17640, true}, {22049, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.frames);
        std::vector<uint8_t> pcm = musicSignal(uint32_t(row.frames), 4);
        LoudnessMeter meter(1, PeakKind::Sample);
        meter.feed(0, pcm.data(), pcm.size());
        ASSERT_EQ(meter.track(0).has_value(), row.measured);
        EXPECT_EQ(directGated({pcm}).has_value(), row.measured);
        if (row.measured) {
            EXPECT_NEAR(meter.track(0)->integrated, *directGated({pcm}), 0.01);
        }
    }
}

TEST(LoudnessMeter, TruePeakKeepsTheLoudnessAndTakesLibebur128sPeak)
{
    std::vector<uint8_t> pcm = musicSignal(44100 * 4, 9);
    LoudnessMeter samplePeak(1, PeakKind::Sample), truePeak(1, PeakKind::True);
    samplePeak.feed(0, pcm.data(), pcm.size() / 2);
    samplePeak.feed(0, pcm.data() + pcm.size() / 2, pcm.size() - pcm.size() / 2);
    truePeak.feed(0, pcm.data(), pcm.size());
    ASSERT_TRUE(truePeak.track(0));
    EXPECT_EQ(truePeak.track(0)->integrated, samplePeak.track(0)->integrated);
    ebur128_state* state = directState(pcm, EBUR128_MODE_TRUE_PEAK);
    double left = 0, right = 0;
    ebur128_true_peak(state, 0, &left);
    ebur128_true_peak(state, 1, &right);
    ebur128_destroy(&state);
    EXPECT_EQ(truePeak.track(0)->peak, std::max(left, right));
    EXPECT_GE(truePeak.track(0)->peak, samplePeak.track(0)->peak);
    EXPECT_EQ(truePeak.album({0})->peak, truePeak.track(0)->peak);
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
