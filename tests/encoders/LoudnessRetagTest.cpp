#include "RetagFixture.h"
#include "encoders/tags/LoudnessRetag.h"

#include <cstring>
#include <sys/stat.h>

namespace tonvane::test {
namespace {

enum class Kind { FlacInPlace, FlacCopy, Mp3InPlace, Mp3Copy, Vorbis, Opus };

struct FaultCase {
    const char* name;
    Kind kind;
};

class LoudnessRetagFaults : public RetagFixture, public ::testing::WithParamInterface<FaultCase> {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TOOL(kFlac);
        SKIP_WITHOUT_TOOL(kOpusenc);
    }
    // The file the case starts from; a tag too large for the room left makes the copy path.
    std::string original()
    {
        TrackTags tags = sampleTags();
        switch (GetParam().kind) {
        case Kind::FlacInPlace:
            return ours(OutputKind::Flac, "in-place.flac");
        case Kind::Mp3InPlace:
            return ours(OutputKind::Mp3, "in-place.mp3");
        case Kind::Vorbis:
            return ours(OutputKind::Vorbis, "track.ogg");
        case Kind::Opus:
            return opus("track.opus");
        case Kind::FlacCopy:
        case Kind::Mp3Copy:
            break;
        }
        return "";
    }
};

// Every step of the rewrite is made to fail in turn: each time the answer is false, the file is
// byte for byte what it was, and no temporary copy is left; the run past the last step writes.
TEST_P(LoudnessRetagFaults, AFailureAtAnyStepLeavesTheFileWhole)
{
    LoudnessTags tags = sampleLoudness();
    std::string source = original();
    if (source.empty()) {
        // No padding big enough: an album gain text far longer than the room reserved.
        bool flac = GetParam().kind == Kind::FlacCopy;
        source = ours(flac ? OutputKind::Flac : OutputKind::Mp3, flac ? "copy.flac" : "copy.mp3");
        tags.albumGain = std::string(4000, '9');
    }
    const std::string before = readFile(source);
    struct stat info;
    ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
    int failures = 0;
    bool written = false;
    for (int step = 1; step < 200 && !written; ++step) {
        SCOPED_TRACE(step);
        writeFile(source, before);
        std::string problem;
        RetagResult result = writeLoudnessTags(source, tags, problem, step);
        written = result == RetagResult::Written;
        if (!written) {
            ++failures;
            EXPECT_EQ(result, RetagResult::Failed);
            EXPECT_FALSE(problem.empty());
            ASSERT_EQ(readFile(source), before);
            EXPECT_TRUE(strayFiles().empty());
        }
    }
    ASSERT_TRUE(written);
    EXPECT_GE(failures, 3); // open, read, write at the least
    EXPECT_NE(readFile(source), before);
    ASSERT_EQ(::stat(source.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u); // a copy renamed over keeps the permissions
}

INSTANTIATE_TEST_SUITE_P(Formats, LoudnessRetagFaults,
                         ::testing::Values(FaultCase{"FlacInPlace", Kind::FlacInPlace},
                                           FaultCase{"FlacCopy", Kind::FlacCopy},
                                           FaultCase{"Mp3InPlace", Kind::Mp3InPlace},
                                           FaultCase{"Mp3Copy", Kind::Mp3Copy}, FaultCase{"Vorbis", Kind::Vorbis},
                                           FaultCase{"Opus", Kind::Opus}),
                         [](const auto& info) { return std::string(info.param.name); });

class LoudnessRetagFiles : public RetagFixture {
protected:
    void SetUp() override { SKIP_WITHOUT_TOOL(kOpusenc); }
};

TEST_F(LoudnessRetagFiles, ALinkPlantedUnderTheTemporaryNameIsNotFollowed)
{
    std::string path = opus("linked.opus");
    writeFile(dir.file("victim"), "keep me");
    std::filesystem::create_symlink(dir.file("victim"), dir.file(".linked.opus.tags"));
    std::string problem;
    EXPECT_EQ(writeLoudnessTags(path, sampleLoudness(), problem), RetagResult::Written) << problem;
    EXPECT_EQ(readFile(dir.file("victim")), "keep me");
    EXPECT_TRUE(strayFiles().empty());
}

TEST(LoudnessRetag, WavGetsNoTagsAndUnknownFilesAreRefused)
{
    TempDir dir;
    const std::pair<const char*, RetagResult> cases[] = {
        {"RIFF\x24\0\0\0WAVEfmt ", RetagResult::NoTags},
        {"plain text, not audio", RetagResult::Failed},
        {"", RetagResult::Failed},
    };
    for (const auto& [bytes, expected] : cases) {
        std::string path = dir.file("file");
        std::string content(bytes, bytes == cases[0].first ? 16 : std::strlen(bytes));
        writeFile(path, content);
        std::string problem;
        EXPECT_EQ(writeLoudnessTags(path, sampleLoudness(), problem), expected) << bytes;
        EXPECT_EQ(problem.empty(), expected == RetagResult::NoTags);
        EXPECT_EQ(readFile(path), content);
    }
    std::string problem;
    EXPECT_EQ(writeLoudnessTags(dir.file("missing.flac"), sampleLoudness(), problem), RetagResult::Failed);
    EXPECT_NE(problem.find("missing.flac"), std::string::npos);
}

} // namespace
} // namespace tonvane::test
