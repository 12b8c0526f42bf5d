#include "session/LoudnessValues.h"

#include <gtest/gtest.h>

using namespace tonvane;

TEST(LoudnessValues, GainPeakAndR128TextsWorkedOutByHand)
{
    struct Case {
        double loudness; // [LUFS]
        const char* gain; // -18 - loudness, two decimals
        int16_t r128; // round(256 x (-23 - loudness))
    };
    const Case cases[] = {
        {-10.97, "-7.03 dB", -3080}, // -23 + 10.97 = -12.03 dB, x 256 = -3079.68
        {-25.03, "7.03 dB", 520},   // 256 x 2.03 = 519.68
        {-18.0, "0.00 dB", -1280},  // 256 x -5
        {-17.999, "0.00 dB", -1280}, // never "-0.00"
        {-23.0, "5.00 dB", 0},
        {-200.0, "182.00 dB", 32767}, // clamped to 16 bits
        {120.0, "-138.00 dB", -32768},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loudness);
        EXPECT_EQ(replayGainText(c.loudness), c.gain);
        EXPECT_EQ(r128Gain(c.loudness), c.r128);
    }
    EXPECT_EQ(peakText(0.98852539), "0.988525");
    EXPECT_EQ(peakText(1.0), "1.000000");
    EXPECT_EQ(peakText(0.0000004), "0.000000");
}

TEST(LoudnessValues, TagsCarryAlbumValuesOnlyWhenThereIsAnAlbum)
{
    Loudness track{-10.97, 0.5};
    LoudnessTags alone = loudnessTagsOf(track, std::nullopt);
    EXPECT_EQ(alone.trackGain, "-7.03 dB");
    EXPECT_EQ(alone.trackPeak, "0.500000");
    EXPECT_FALSE(alone.hasAlbum());
    EXPECT_TRUE(alone.albumPeak.empty());

    LoudnessTags withAlbum = loudnessTagsOf(track, Loudness{-20.0, 0.75});
    EXPECT_EQ(withAlbum.albumGain, "2.00 dB");
    EXPECT_EQ(withAlbum.albumPeak, "0.750000");
    EXPECT_EQ(withAlbum.r128Album, -768); // -23 - (-20) = -3 dB
    EXPECT_EQ(withAlbum.r128Track, -3080);
    EXPECT_EQ(loudnessLine(track), "gain -7.03 dB, peak 0.500000");
}
