#include "RetagFixture.h"
#include "encoders/tags/FlacTagRewrite.h"

namespace tonvane::test {
namespace {

class FlacTagRewriteTest : public RetagFixture {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TOOL(kFlac);
        SKIP_WITHOUT_TOOL(kMetaflac);
    }
    bool rewrite(const std::string& path, const LoudnessTags& tags)
    {
        TagRewriteIo io;
        bool written = rewriteFlacTags(path, tags, io);
        EXPECT_TRUE(written) << io.problem();
        return written;
    }
    // Where the first frame starts, by metaflac's own account of the blocks.
    static size_t audioStart(const std::string& file)
    {
        size_t at = 4;
        for (bool last = false; !last;) {
            auto header = reinterpret_cast<const uint8_t*>(file.data() + at);
            last = header[0] & 0x80;
            at += 4 + (size_t(header[1]) << 16 | size_t(header[2]) << 8 | header[3]);
        }
        return at;
    }
};

TEST_F(FlacTagRewriteTest, FitsIntoTheWritersPaddingInPlaceWithTheFramesUntouched)
{
    std::string path = ours(OutputKind::Flac, "track.flac");
    std::string before = readFile(path);
    ASSERT_TRUE(rewrite(path, sampleLoudness()));
    std::string after = readFile(path);

    ASSERT_EQ(after.size(), before.size());
    size_t start = audioStart(before);
    EXPECT_EQ(audioStart(after), start);
    EXPECT_EQ(after.compare(start, std::string::npos, before, start, std::string::npos), 0);
    std::multimap<std::string, std::string> tags = comments(path);
    EXPECT_EQ(tags.count("REPLAYGAIN_TRACK_GAIN"), 1u);
    EXPECT_EQ(tags.find("REPLAYGAIN_TRACK_GAIN")->second, "-7.03 dB");
    EXPECT_EQ(tags.find("REPLAYGAIN_TRACK_PEAK")->second, "0.988525");
    EXPECT_EQ(tags.find("REPLAYGAIN_ALBUM_GAIN")->second, "-6.48 dB");
    EXPECT_EQ(tags.find("REPLAYGAIN_ALBUM_PEAK")->second, "1.000000");
    EXPECT_EQ(tags.find("TITLE")->second, "夜に駆ける"); // the earlier comments stay
    // Whatever is left of the padding is still a PADDING block, the last one.
    ToolResult list = runTool({kMetaflac, "--list", "--block-type=PADDING", path});
    EXPECT_NE(list.out.find("is last: true"), std::string::npos) << list.out;
    EXPECT_EQ(runTool({kFlac, "-t", "-s", path}).exitCode, 0);
}

TEST_F(FlacTagRewriteTest, ASecondRewriteReplacesTheValuesAndDropsStaleAlbumOnes)
{
    std::string path = ours(OutputKind::Flac, "again.flac");
    ASSERT_TRUE(rewrite(path, sampleLoudness()));
    LoudnessTags trackOnly;
    trackOnly.trackGain = "1.50 dB";
    trackOnly.trackPeak = "0.250000";
    ASSERT_TRUE(rewrite(path, trackOnly));
    std::multimap<std::string, std::string> tags = comments(path);
    EXPECT_EQ(tags.count("REPLAYGAIN_TRACK_GAIN"), 1u);
    EXPECT_EQ(tags.find("REPLAYGAIN_TRACK_GAIN")->second, "1.50 dB");
    EXPECT_EQ(tags.count("REPLAYGAIN_ALBUM_GAIN"), 0u);
    EXPECT_EQ(tags.count("REPLAYGAIN_ALBUM_PEAK"), 0u);
}

TEST_F(FlacTagRewriteTest, WithoutPaddingTheFileIsRewrittenIntoACopyWithTheSameAudio)
{
    std::string path = dir.file("tight.flac");
    ASSERT_EQ(runTool({kFlac, "-s", "--no-padding", "--force-raw-format", "--endian=little", "--sign=signed",
                       "--channels=2", "--bps=16", "--sample-rate=44100", "-T", "TITLE=tight", "-o", path, pcmFile()})
                  .exitCode,
              0);
    std::string samples = decoded(path);
    ASSERT_TRUE(rewrite(path, sampleLoudness()));

    EXPECT_EQ(decoded(path), samples);
    EXPECT_EQ(runTool({kFlac, "-t", "-s", path}).exitCode, 0);
    std::multimap<std::string, std::string> tags = comments(path);
    EXPECT_EQ(tags.find("REPLAYGAIN_ALBUM_GAIN")->second, "-6.48 dB");
    EXPECT_EQ(tags.find("TITLE")->second, "tight");
    // The copy leaves room for the next edit, and no temporary file.
    ToolResult list = runTool({kMetaflac, "--list", "--block-type=PADDING", path});
    EXPECT_NE(list.out.find("type: 1 (PADDING)"), std::string::npos) << list.out;
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(FlacTagRewriteTest, DamagedOrForeignFilesAreLeftAlone)
{
    std::string path = ours(OutputKind::Flac, "damaged.flac");
    std::string whole = readFile(path);
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string lengthPastEnd = whole;
    lengthPastEnd[4 + 4 + 34 + 1] = '\x7F'; // the second block's length reaches past the file
    const Case cases[] = {
        {"cut inside the metadata", whole.substr(0, 60)},
        {"a block length past the end", lengthPastEnd},
        {"not FLAC", "RIFF" + whole.substr(4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path, c.bytes);
        TagRewriteIo io;
        EXPECT_FALSE(rewriteFlacTags(path, sampleLoudness(), io));
        EXPECT_FALSE(io.problem().empty());
        EXPECT_EQ(readFile(path), c.bytes);
    }
}

} // namespace
} // namespace tonvane::test
