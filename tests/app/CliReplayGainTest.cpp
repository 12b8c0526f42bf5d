// ReplayGain from the command line: on by default, --no-replaygain and --true-peak.
#include "CliFixture.h"

#include <filesystem>

namespace tonvane::test {
namespace {

class CliReplayGain : public CliRun {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists("/usr/bin/metaflac"))
            GTEST_SKIP() << "metaflac is not installed";
    }
    std::string tags(const std::string& file)
    {
        ProcessResult listed = runProcess("/usr/bin/metaflac", {"--export-tags-to=-", file});
        EXPECT_EQ(listed.exitCode, 0) << listed.err;
        return listed.out;
    }
    static std::string value(const std::string& tags, const std::string& name)
    {
        size_t at = tags.find(name + "=");
        return at == std::string::npos ? "" : tags.substr(at + name.size() + 1, tags.find('\n', at) - at - name.size() - 1);
    }
};

TEST_F(CliReplayGain, ASingleTrackRipCarriesEqualTrackAndAlbumValues)
{
    ProcessResult result =
        tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "flac", "--tracks", "3", "--flat", "--out", out("")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string found = tags(out("Track 3.flac"));
    std::string gain = value(found, "REPLAYGAIN_TRACK_GAIN");
    ASSERT_FALSE(gain.empty()) << found;
    EXPECT_EQ(gain.substr(gain.size() - 3), " dB");
    EXPECT_EQ(value(found, "REPLAYGAIN_ALBUM_GAIN"), gain);
    EXPECT_EQ(value(found, "REPLAYGAIN_ALBUM_PEAK"), value(found, "REPLAYGAIN_TRACK_PEAK"));
    EXPECT_NE(result.out.find("ReplayGain: album gain " + gain), std::string::npos) << result.out;
}

TEST_F(CliReplayGain, NoReplayGainLeavesTheFilesWithoutAndTruePeakIsNeverBelowTheSamplePeak)
{
    ProcessResult plain = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "flac", "--tracks", "2",
                                   "--flat", "--no-replaygain", "--out", out("plain")});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(tags(out("plain/Track 2.flac")).find("REPLAYGAIN"), std::string::npos);
    EXPECT_EQ(plain.out.find("ReplayGain"), std::string::npos);

    ProcessResult sample = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "flac", "--tracks", "2",
                                    "--flat", "--out", out("sample")});
    ProcessResult truePeak = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "flac", "--tracks", "2",
                                      "--flat", "--true-peak", "--out", out("true")});
    ASSERT_EQ(sample.exitCode, 0) << sample.err;
    ASSERT_EQ(truePeak.exitCode, 0) << truePeak.err;
    std::string samplePeak = value(tags(out("sample/Track 2.flac")), "REPLAYGAIN_TRACK_PEAK");
    std::string truePeakValue = value(tags(out("true/Track 2.flac")), "REPLAYGAIN_TRACK_PEAK");
    ASSERT_FALSE(samplePeak.empty());
    ASSERT_FALSE(truePeakValue.empty());
    EXPECT_GE(std::stod(truePeakValue), std::stod(samplePeak));
    // The gain is the same measurement either way.
    EXPECT_EQ(value(tags(out("true/Track 2.flac")), "REPLAYGAIN_TRACK_GAIN"),
              value(tags(out("sample/Track 2.flac")), "REPLAYGAIN_TRACK_GAIN"));
}

} // namespace
} // namespace tonvane::test
