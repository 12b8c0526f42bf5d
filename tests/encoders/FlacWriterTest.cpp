#include "ExternalTool.h"
#include "WriterDriver.h"
#include "support/MusicSignal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tonvane::test {
namespace {

// 3.3 s: not a whole number of 16384-byte chunks nor of FLAC blocks.
constexpr uint32_t kFrames = 145'555;

class FlacWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TOOL(kFlac);
        SKIP_WITHOUT_TOOL(kMetaflac);
        m_pcm = musicSignal(kFrames);
        writeFile(m_dir.file("source.raw"), std::string(m_pcm.begin(), m_pcm.end()));
    }

    std::string encode(uint32_t level, const TrackTags& tags, const char* name = "track.flac")
    {
        EncodeRequest request;
        request.path = widePath(m_dir.file(name));
        request.quality = level;
        request.tags = tags;
        request.pcm = &m_pcm;
        EXPECT_TRUE(encodeThroughEncoderThread(OutputKind::Flac, request).ok());
        return m_dir.file(name);
    }

    // Decodes to raw little-endian PCM with the reference decoder.
    std::string decode(const std::string& flacPath)
    {
        const std::string raw = flacPath + ".raw";
        const ToolResult result =
            runTool({kFlac, "-d", "-s", "-f", "--force-raw-format", "--endian=little", "--sign=signed", "-o", raw, flacPath});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return readFile(raw);
    }

    TempDir m_dir;
    std::vector<uint8_t> m_pcm;
};

TEST_F(FlacWriterTest, LevelsZeroAndSevenDecodeExactlyWithMatchingMd5)
{
    const std::string sourceMd5 = md5OfFile(m_dir.file("source.raw"));
    ASSERT_EQ(sourceMd5.size(), 32u);
    for (uint32_t level : {0u, 7u}) {
        SCOPED_TRACE(level);
        const std::string path = encode(level, sampleTags(), level == 0 ? "l0.flac" : "l7.flac");
        const ToolResult test = runTool({kFlac, "-t", "-s", path});
        EXPECT_EQ(test.exitCode, 0) << test.err;

        const std::string decoded = decode(path);
        EXPECT_EQ(decoded.size(), m_pcm.size());
        EXPECT_TRUE(decoded == std::string(m_pcm.begin(), m_pcm.end()));
        EXPECT_EQ(md5OfFile(path + ".raw"), sourceMd5);

        const ToolResult md5 = runTool({kMetaflac, "--show-md5sum", path});
        EXPECT_EQ(linesOf(md5.out).at(0), sourceMd5);
        const ToolResult samples = runTool({kMetaflac, "--show-total-samples", path});
        EXPECT_EQ(linesOf(samples.out).at(0), std::to_string(kFrames));
    }
    // Level 7 searches harder than level 0: a smaller file from the same audio.
    EXPECT_LT(readFile(m_dir.file("l7.flac")).size(), readFile(m_dir.file("l0.flac")).size());
}

TEST_F(FlacWriterTest, MetadataIsStreamInfoCommentsAndPadding)
{
    const std::string path = encode(7, sampleTags());
    const ToolResult list = runTool({kMetaflac, "--list", path});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    std::vector<std::string> types;
    std::vector<std::string> lengths;
    for (const std::string& line : linesOf(list.out)) {
        if (line.rfind("  type: ", 0) == 0)
            types.push_back(line.substr(8));
        if (line.rfind("  length: ", 0) == 0)
            lengths.push_back(line.substr(10));
    }
    ASSERT_EQ(types.size(), 3u) << list.out;
    EXPECT_EQ(types[0].substr(0, 1), "0"); // STREAMINFO
    EXPECT_NE(types[0].find("STREAMINFO"), std::string::npos);
    EXPECT_NE(types[1].find("VORBIS_COMMENT"), std::string::npos);
    EXPECT_NE(types[2].find("PADDING"), std::string::npos);
    EXPECT_EQ(lengths.at(2), "1234");
    EXPECT_NE(list.out.find("sample_rate: 44100 Hz"), std::string::npos);
    EXPECT_NE(list.out.find("channels: 2"), std::string::npos);
    EXPECT_NE(list.out.find("bits-per-sample: 16"), std::string::npos);
}

TEST_F(FlacWriterTest, CommentsInOrderWithNonLatinTextsIntact)
{
    const std::string path = encode(5, sampleTags());
    const ToolResult tags = runTool({kMetaflac, "--no-utf8-convert", "--export-tags-to=-", path});
    ASSERT_EQ(tags.exitCode, 0) << tags.err;
    const std::vector<std::string> expected = {
        "ENCODER=Tonvane 0.2", "DISCID=7b0a2e09", "ALBUM=Группа крови", "TITLE=夜に駆ける", "ARTIST=Кино",
        "COMPOSER=Кино",       "DATE=1988",       "GENRE=Rock",          "TRACKNUMBER=7",
    };
    EXPECT_EQ(linesOf(tags.out), expected);

    // An empty encoder text still gives ENCODER; an empty artist gives neither ARTIST nor COMPOSER.
    TrackTags sparse;
    sparse.title = wide("Only a title");
    sparse.composer = wide("Ignored composer");
    const std::string sparsePath = encode(5, sparse, "sparse.flac");
    const ToolResult sparseTags = runTool({kMetaflac, "--no-utf8-convert", "--export-tags-to=-", sparsePath});
    EXPECT_EQ(linesOf(sparseTags.out), (std::vector<std::string>{"ENCODER=", "TITLE=Only a title"}));
}

TEST_F(FlacWriterTest, ShortenedTrackGetsTheRealSampleCount)
{
    // A cancelled track: announced as twice as long, only the first part delivered.
    EncodeRequest request;
    request.path = widePath(m_dir.file("cut.flac"));
    request.quality = 7;
    request.pcm = &m_pcm;
    request.totalBytes = m_pcm.size() * 2;
    ASSERT_TRUE(encodeThroughEncoderThread(OutputKind::Flac, request).ok());
    EXPECT_EQ(runTool({kFlac, "-t", "-s", m_dir.file("cut.flac")}).exitCode, 0);
    const ToolResult samples = runTool({kMetaflac, "--show-total-samples", m_dir.file("cut.flac")});
    EXPECT_EQ(linesOf(samples.out).at(0), std::to_string(kFrames));
    EXPECT_EQ(decode(m_dir.file("cut.flac")).size(), m_pcm.size());
}

} // namespace
} // namespace tonvane::test
