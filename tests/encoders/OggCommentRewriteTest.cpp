#include "RetagFixture.h"
#include "encoders/tags/OggCommentRewrite.h"
#include "encoders/tags/OggPage.h"

#include <cstring>

namespace tonvane::test {
namespace {

enum class Maker { OurVorbis, Oggenc, Opusenc };

struct Source {
    const char* name;
    Maker maker;
};

class OggCommentRewriteTest : public RetagFixture, public ::testing::WithParamInterface<Source> {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TOOL(kOggdec);
        SKIP_WITHOUT_TOOL(kOgginfo);
        SKIP_WITHOUT_TOOL(kVorbiscomment);
        SKIP_WITHOUT_TOOL(kOpusenc);
        SKIP_WITHOUT_TOOL(kOpusdec);
        SKIP_WITHOUT_TOOL(kOpusinfo);
    }
    std::string make(Maker maker, const std::string& stem)
    {
        switch (maker) {
        case Maker::OurVorbis:
            return ours(OutputKind::Vorbis, stem + ".ogg");
        case Maker::Oggenc:
            return oggenc(stem + ".ogg");
        case Maker::Opusenc:
            break;
        }
        return opus(stem + ".opus");
    }
    // The checker's verdict: exit status 0 and no warning about pages, sequence or checksums.
    void expectCleanCheck(const std::string& path)
    {
        bool isOpus = path.ends_with(".opus");
        ToolResult check = runTool({isOpus ? kOpusinfo : kOgginfo, path});
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        std::string all = check.out + check.err;
        EXPECT_EQ(all.find("WARNING"), std::string::npos) << all;
        EXPECT_EQ(all.find("ERROR"), std::string::npos) << all;
    }
};

TEST_P(OggCommentRewriteTest, TagsReadBackAndTheAudioDecodesAsBefore)
{
    bool isOpus = GetParam().maker == Maker::Opusenc;
    std::string path = make(GetParam().maker, "track");
    std::string samples = decoded(path);
    std::multimap<std::string, std::string> before = comments(path);
    ASSERT_EQ(before.count("TITLE"), 1u);
    std::string titleBefore = before.find("TITLE")->second;
    TagRewriteIo io;
    ASSERT_TRUE(rewriteOggComments(path, sampleLoudness(), io)) << io.problem();

    expectCleanCheck(path);
    EXPECT_EQ(decoded(path), samples);
    std::multimap<std::string, std::string> tags = comments(path);
    ASSERT_EQ(tags.count("TITLE"), 1u);
    EXPECT_EQ(tags.find("TITLE")->second, titleBefore);
    for (const char* name : {"R128_TRACK_GAIN", "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK",
                             "REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK"})
        if (isOpus == (name[0] == 'R' && name[1] == '1')) {
            ASSERT_EQ(tags.count(name), 1u) << name;
        }
    if (isOpus) {
        EXPECT_EQ(tags.find("R128_TRACK_GAIN")->second, "-3080");
        EXPECT_EQ(tags.find("R128_ALBUM_GAIN")->second, "-2939");
        EXPECT_EQ(tags.count("REPLAYGAIN_TRACK_GAIN"), 0u);
    } else {
        EXPECT_EQ(tags.find("REPLAYGAIN_TRACK_GAIN")->second, "-7.03 dB");
        EXPECT_EQ(tags.find("REPLAYGAIN_TRACK_PEAK")->second, "0.988525");
        EXPECT_EQ(tags.find("REPLAYGAIN_ALBUM_GAIN")->second, "-6.48 dB");
        EXPECT_EQ(tags.find("REPLAYGAIN_ALBUM_PEAK")->second, "1.000000");
    }
    if (mutagenAvailable()) {
        std::map<std::string, std::string> read = mutagenTags(path);
        EXPECT_EQ(read[isOpus ? "R128_ALBUM_GAIN" : "REPLAYGAIN_ALBUM_GAIN"], isOpus ? "-2939" : "-6.48 dB");
    }
    EXPECT_TRUE(strayFiles().empty());
}

TEST_P(OggCommentRewriteTest, ASecondRewriteReplacesTheValues)
{
    std::string path = make(GetParam().maker, "again");
    LoudnessTags first = sampleLoudness(), second = sampleLoudness();
    second.trackGain = "3.00 dB";
    second.r128Track = 1024;
    TagRewriteIo one, two;
    ASSERT_TRUE(rewriteOggComments(path, first, one));
    ASSERT_TRUE(rewriteOggComments(path, second, two));
    std::multimap<std::string, std::string> tags = comments(path);
    const char* name = GetParam().maker == Maker::Opusenc ? "R128_TRACK_GAIN" : "REPLAYGAIN_TRACK_GAIN";
    EXPECT_EQ(tags.count(name), 1u);
    EXPECT_EQ(tags.find(name)->second, GetParam().maker == Maker::Opusenc ? "1024" : "3.00 dB");
    expectCleanCheck(path);
}

INSTANTIATE_TEST_SUITE_P(Makers, OggCommentRewriteTest,
                         ::testing::Values(Source{"OurVorbis", Maker::OurVorbis}, Source{"Oggenc", Maker::Oggenc},
                                           Source{"Opusenc", Maker::Opusenc}),
                         [](const auto& info) { return std::string(info.param.name); });

class OggCommentRewriteCases : public RetagFixture {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TOOL(kOpusenc);
        SKIP_WITHOUT_TOOL(kOpusinfo);
    }
};

TEST_F(OggCommentRewriteCases, OpusGainsAreRelativeToTheHeadersOutputGain)
{
    std::string path = opus("gain.opus");
    std::string file = readFile(path);
    // Output gain +1.5 dB (384/256) in the identification header, its page's checksum made right.
    OggPage page;
    size_t needed = 0;
    ASSERT_EQ(parseOggPage(reinterpret_cast<const uint8_t*>(file.data()), file.size(), page, needed), OggParse::Page);
    size_t gainAt = ogg::kHeaderBytes + page.segmentCount + 16;
    file[gainAt] = static_cast<char>(384 & 0xFF);
    file[gainAt + 1] = static_cast<char>(384 >> 8);
    renumberOggPage(reinterpret_cast<uint8_t*>(file.data()), page.pageBytes, page.sequence);
    writeFile(path, file);

    TagRewriteIo io;
    ASSERT_TRUE(rewriteOggComments(path, sampleLoudness(), io)) << io.problem();
    std::multimap<std::string, std::string> tags = comments(path);
    EXPECT_EQ(tags.find("R128_TRACK_GAIN")->second, std::to_string(-3080 - 384));
    EXPECT_EQ(tags.find("R128_ALBUM_GAIN")->second, std::to_string(-2939 - 384));
}

TEST_F(OggCommentRewriteCases, FilesItCannotRewriteSafelyAreLeftAlone)
{
    std::string one = readFile(opus("one.opus"));
    std::string damaged = one;
    damaged[damaged.size() / 2] ^= 0x20; // an audio page's checksum no longer matches
    std::string missingPage = one;
    {
        // The third page taken out: a gap in the sequence numbers.
        size_t at = 0;
        std::vector<size_t> starts;
        for (size_t i = 0; i < 4; ++i) {
            OggPage page;
            size_t needed = 0;
            ASSERT_EQ(parseOggPage(reinterpret_cast<const uint8_t*>(one.data()) + at, one.size() - at, page, needed),
                      OggParse::Page);
            starts.push_back(at);
            at += page.pageBytes;
        }
        missingPage = one.substr(0, starts[3]) + one.substr(at);
    }
    const std::pair<const char*, std::string> cases[] = {
        {"chained streams", one + readFile(opus("two.opus"))},
        {"a damaged page", damaged},
        {"a missing page", missingPage},
        {"cut inside a page", one.substr(0, one.size() - 7)},
        {"cut inside the headers", one.substr(0, 40)},
    };
    std::string path = dir.file("case.opus");
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        writeFile(path, bytes);
        TagRewriteIo io;
        EXPECT_FALSE(rewriteOggComments(path, sampleLoudness(), io));
        EXPECT_FALSE(io.problem().empty());
        EXPECT_EQ(readFile(path), bytes);
        EXPECT_TRUE(strayFiles().empty());
    }
}

} // namespace
} // namespace tonvane::test
