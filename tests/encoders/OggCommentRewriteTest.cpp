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

// Sequence numbers of the pages of an Ogg file, checking each page's checksum on the way.
std::vector<uint32_t> sequenceNumbers(const std::string& file)
{
    std::vector<uint32_t> numbers;
    size_t at = 0;
    while (at < file.size()) {
        OggPage page;
        size_t needed = 0;
        if (parseOggPage(reinterpret_cast<const uint8_t*>(file.data()) + at, file.size() - at, page, needed) !=
            OggParse::Page)
            return {};
        numbers.push_back(page.sequence);
        at += page.pageBytes;
    }
    return numbers;
}

// The same Vorbis file with its comment and setup packets spread over pages of at most
// segmentsPerPage lacing values each, and every later page renumbered to follow.
std::string withSmallHeaderPages(const std::string& file, size_t segmentsPerPage)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    std::vector<std::pair<size_t, OggPage>> pages;
    for (size_t at = 0; at < file.size();) {
        OggPage page;
        size_t needed = 0;
        if (parseOggPage(bytes + at, file.size() - at, page, needed) != OggParse::Page)
            return {};
        pages.emplace_back(at, page);
        at += page.pageBytes;
    }
    // Lacing values and bodies of the header pages after the first (those of granule 0).
    std::vector<uint8_t> lacing, body;
    size_t headerPages = 1;
    while (headerPages < pages.size() && pages[headerPages].second.granule == 0) {
        const OggPage& page = pages[headerPages++].second;
        lacing.insert(lacing.end(), page.segments, page.segments + page.segmentCount);
        body.insert(body.end(), page.body, page.body + page.bodyBytes);
    }
    std::string out = file.substr(0, pages[0].second.pageBytes);
    uint32_t sequence = 1;
    size_t bodyAt = 0;
    bool continued = false;
    for (size_t segment = 0; segment < lacing.size(); segment += segmentsPerPage) {
        size_t count = std::min(segmentsPerPage, lacing.size() - segment);
        size_t bytesOnPage = 0;
        for (size_t i = segment; i < segment + count; ++i)
            bytesOnPage += lacing[i];
        std::string page = file.substr(pages[1].first, ogg::kHeaderBytes); // serial and granule 0
        page[5] = continued ? ogg::kContinued : 0;
        page[26] = static_cast<char>(count);
        page.append(lacing.begin() + segment, lacing.begin() + segment + count);
        page.append(body.begin() + bodyAt, body.begin() + bodyAt + bytesOnPage);
        renumberOggPage(reinterpret_cast<uint8_t*>(page.data()), page.size(), sequence++);
        out += page;
        bodyAt += bytesOnPage;
        continued = lacing[segment + count - 1] == 255;
    }
    for (size_t i = headerPages; i < pages.size(); ++i) {
        std::string page = file.substr(pages[i].first, pages[i].second.pageBytes);
        renumberOggPage(reinterpret_cast<uint8_t*>(page.data()), page.size(), sequence++);
        out += page;
    }
    return out;
}

TEST_F(OggCommentRewriteCases, FewerHeaderPagesRenumberEveryLaterPage)
{
    SKIP_WITHOUT_TOOL(kOggenc);
    SKIP_WITHOUT_TOOL(kOgginfo);
    SKIP_WITHOUT_TOOL(kVorbiscomment);
    std::string path = oggenc("spread.ogg");
    std::string spread = withSmallHeaderPages(readFile(path), 3);
    ASSERT_FALSE(spread.empty());
    writeFile(path, spread);
    ToolResult valid = runTool({kOgginfo, path});
    ASSERT_EQ(valid.exitCode, 0) << valid.out; // the spread file is a good one to start from
    std::vector<uint32_t> before = sequenceNumbers(spread);
    std::string samples = decoded(path);
    TagRewriteIo io;
    ASSERT_TRUE(rewriteOggComments(path, sampleLoudness(), io)) << io.problem();

    std::vector<uint32_t> after = sequenceNumbers(readFile(path));
    ASSERT_FALSE(after.empty());
    EXPECT_LT(after.size() + 3, before.size()); // the header took far fewer pages
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i], i);
    EXPECT_EQ(decoded(path), samples);
    EXPECT_EQ(comments(path).find("REPLAYGAIN_TRACK_GAIN")->second, "-7.03 dB");
    ToolResult check = runTool({kOgginfo, path});
    EXPECT_EQ(check.exitCode, 0);
    EXPECT_EQ((check.out + check.err).find("WARNING"), std::string::npos) << check.out;
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
