#include "RetagFixture.h"
#include "encoders/mp3/Id3Tag.h"
#include "encoders/tags/Id3TagRewrite.h"

namespace tonvane::test {
namespace {

class Id3TagRewriteTest : public RetagFixture {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TOOL(kLame);
        if (!mutagenAvailable())
            GTEST_SKIP() << "python3-mutagen is not installed";
    }
    static size_t audioStart(const std::string& file)
    {
        return 10 + readSyncsafe(reinterpret_cast<const uint8_t*>(file.data() + 6));
    }
    static size_t occurrences(const std::string& file, const std::string& text)
    {
        size_t count = 0;
        for (size_t at = file.find(text); at != std::string::npos; at = file.find(text, at + 1))
            ++count;
        return count;
    }
};

TEST_F(Id3TagRewriteTest, FramesGoIntoThePaddingAndTheInfoFrameStaysWhereItWas)
{
    std::string path = ours(OutputKind::Mp3, "track.mp3");
    std::string before = readFile(path);
    TagRewriteIo io;
    ASSERT_TRUE(rewriteId3Tags(path, sampleLoudness(), io)) << io.problem();
    std::string after = readFile(path);

    ASSERT_EQ(after.size(), before.size());
    size_t start = audioStart(before);
    ASSERT_EQ(audioStart(after), start);
    EXPECT_EQ(after.compare(start, std::string::npos, before, start, std::string::npos), 0);
    EXPECT_EQ(after.compare(start + 36, 4, "Info"), 0);
    std::map<std::string, std::string> tags = mutagenTags(path);
    EXPECT_EQ(tags["TXXX:REPLAYGAIN_TRACK_GAIN"], "-7.03 dB");
    EXPECT_EQ(tags["TXXX:REPLAYGAIN_TRACK_PEAK"], "0.988525");
    EXPECT_EQ(tags["TXXX:REPLAYGAIN_ALBUM_GAIN"], "-6.48 dB");
    EXPECT_EQ(tags["TXXX:REPLAYGAIN_ALBUM_PEAK"], "1.000000");
    EXPECT_EQ(tags["TIT2"], "夜に駆ける");
    EXPECT_EQ(tags["TXXX:MusicBrainz Album Id"], sampleTags().musicBrainzAlbumId.toUtf8());
}

TEST_F(Id3TagRewriteTest, ASecondRewriteReplacesTheFrames)
{
    std::string path = ours(OutputKind::Mp3, "again.mp3");
    TagRewriteIo first, second;
    ASSERT_TRUE(rewriteId3Tags(path, sampleLoudness(), first));
    LoudnessTags other = sampleLoudness();
    other.trackGain = "2.00 dB";
    ASSERT_TRUE(rewriteId3Tags(path, other, second));
    std::string file = readFile(path);
    EXPECT_EQ(occurrences(file, "REPLAYGAIN_TRACK_GAIN"), 1u);
    EXPECT_EQ(mutagenTags(path)["TXXX:REPLAYGAIN_TRACK_GAIN"], "2.00 dB");
}

TEST_F(Id3TagRewriteTest, ATagWithoutPaddingGrowsInACopyWithTheSameAudio)
{
    std::string path = ours(OutputKind::Mp3, "tight.mp3");
    std::string file = readFile(path);
    // The same file with the tag's padding cut away.
    size_t start = audioStart(file);
    size_t frames = start;
    while (frames > 10 && file[frames - 1] == 0)
        --frames;
    frames += 1; // the last frame's text ends in a zero of its own
    std::string tight = file.substr(0, frames) + file.substr(start);
    writeSyncsafe(reinterpret_cast<uint8_t*>(tight.data() + 6), static_cast<uint32_t>(frames - 10));
    writeFile(path, tight);
    std::string samples = decoded(path);

    TagRewriteIo io;
    ASSERT_TRUE(rewriteId3Tags(path, sampleLoudness(), io)) << io.problem();
    std::string after = readFile(path);
    EXPECT_EQ(after.substr(audioStart(after)), file.substr(start));
    EXPECT_EQ(decoded(path), samples);
    EXPECT_EQ(mutagenTags(path)["TXXX:REPLAYGAIN_ALBUM_PEAK"], "1.000000");
    EXPECT_EQ(mutagenTags(path)["TIT2"], "夜に駆ける");
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(Id3TagRewriteTest, TagsItDoesNotKnowAreLeftAlone)
{
    std::string path = ours(OutputKind::Mp3, "other.mp3");
    std::string whole = readFile(path);
    std::string v23 = whole, unsynchronised = whole, sizePastEnd = whole, badFrame = whole;
    v23[3] = 3;
    unsynchronised[5] = '\x80';
    writeSyncsafe(reinterpret_cast<uint8_t*>(sizePastEnd.data() + 6), 0x0FFFFFFF);
    badFrame[10] = '#';
    for (const std::string& bytes : {v23, unsynchronised, sizePastEnd, badFrame, whole.substr(0, 6)}) {
        writeFile(path, bytes);
        TagRewriteIo io;
        EXPECT_FALSE(rewriteId3Tags(path, sampleLoudness(), io));
        EXPECT_FALSE(io.problem().empty());
        EXPECT_EQ(readFile(path), bytes);
    }
}

} // namespace
} // namespace tonvane::test
