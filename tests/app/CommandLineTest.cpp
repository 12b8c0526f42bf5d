#include "app/cli/CommandLine.h"

#include <gtest/gtest.h>

using namespace tonvane::cli;

TEST(CommandLine, RipOptionsAreParsed)
{
    auto parsed = parseCommandLine({"rip", "--drive", "demo:", "--format", "flac", "--quality", "3", "--tracks",
                                    "1,3-5", "--out", "/tmp/x", "--no-lookup", "--server", "h:1", "--match", "2",
                                    "--jobs", "4", "--cddb-user", "ana@example.org", "--metadata", "musicbrainz",
                                    "--musicbrainz-server", "http://127.0.0.1:5000/", "--no-cover", "--flat", "--overwrite"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const Options& o = *parsed.options;
    EXPECT_EQ(o.command, Command::Rip);
    EXPECT_EQ(o.drives, std::vector<std::string>{"demo:"});
    EXPECT_EQ(o.format, 2);
    EXPECT_EQ(o.quality, 3u);
    EXPECT_EQ(o.tracks, "1,3-5");
    EXPECT_EQ(o.outputFolder, "/tmp/x");
    EXPECT_EQ(o.lookup, LookupChoice::NoLookup);
    EXPECT_EQ(o.server, "h:1");
    EXPECT_EQ(o.match, 2);
    EXPECT_EQ(o.jobs, 4);
    EXPECT_EQ(o.cddbUser, "ana@example.org");
    EXPECT_EQ(o.metadata, MetadataSources::MusicBrainz);
    EXPECT_EQ(o.musicBrainzServer, "http://127.0.0.1:5000");
    EXPECT_EQ(o.coverArtServer, "https://coverartarchive.org");
    EXPECT_FALSE(o.cover);
    EXPECT_TRUE(o.flat);
    EXPECT_TRUE(o.overwrite);
    EXPECT_TRUE(o.accurateRip);
    EXPECT_EQ(o.mode, RipMode::Normal);
    EXPECT_TRUE(o.replayGain);
    EXPECT_FALSE(o.truePeak);

    auto accurate = parseCommandLine({"rip", "--offset", "-667", "--no-accuraterip", "--accuraterip-server",
                                      "127.0.0.1:8", "--test-and-copy", "--drive-cache", "8"});
    ASSERT_TRUE(accurate.options) << accurate.error;
    EXPECT_EQ(accurate.options->readOffset, -667);
    EXPECT_FALSE(accurate.options->accurateRip);
    EXPECT_EQ(accurate.options->accurateRipServer, "127.0.0.1:8");
    EXPECT_EQ(accurate.options->mode, RipMode::TestAndCopy);
    EXPECT_EQ(accurate.options->cacheMiB, 8u);
    EXPECT_EQ(parseCommandLine({"rip", "--offset", "+2939"}).options->readOffset, 2939);

    auto loudness = parseCommandLine({"rip", "--no-replaygain", "--true-peak"});
    ASSERT_TRUE(loudness.options) << loudness.error;
    EXPECT_FALSE(loudness.options->replayGain);
    EXPECT_TRUE(loudness.options->truePeak);
    auto truePeakOnly = parseCommandLine({"rip", "--true-peak"});
    ASSERT_TRUE(truePeakOnly.options);
    EXPECT_TRUE(truePeakOnly.options->replayGain);
    EXPECT_TRUE(truePeakOnly.options->truePeak);
}

TEST(CommandLine, FormatNamesGiveTheStoredFormatValues)
{
    struct Case {
        const char* name;
        int32_t format;
    } cases[] = {{"mp3", 0}, {"ogg", 1}, {"vorbis", 1}, {"flac", 2}, {"wav", 3}, {"opus", 4}};
    for (const Case& c : cases) {
        auto parsed = parseCommandLine({"rip", "--format", c.name});
        ASSERT_TRUE(parsed.options) << c.name << ": " << parsed.error;
        EXPECT_EQ(parsed.options->format, c.format) << c.name;
    }
    auto unknown = parseCommandLine({"rip", "--format", "Opus"});
    EXPECT_FALSE(unknown.options);
    EXPECT_NE(unknown.error.find("wav or opus"), std::string::npos) << unknown.error;
    EXPECT_NE(std::string(usageText()).find("opus 0-5 = 64, 96, 128, 160, 192, 256 kbit/s"), std::string::npos);
}

TEST(CommandLine, BadUsageNamesTheProblem)
{
    struct Case {
        std::vector<std::string> arguments;
        const char* mentions;
    } cases[] = {
        {{"rip", "--bogus"}, "--bogus"},
        {{"explode"}, "explode"},
        {{"rip", "--format", "aac"}, "aac"},
        {{"rip", "--quality", "x"}, "--quality"},
        {{"rip", "--jobs", "0"}, "--jobs"},
        {{"rip", "--drive"}, "--drive"},
        {{"info", "--format", "flac"}, "--format"},
        {{"rip", "--match", "-1"}, "--match"},
        {{"info", "--metadata", "discogs"}, "discogs"},
        {{"info", "--cddb-user", "nobody"}, "name@host"},
        {{"info", "--musicbrainz-server", "ftp://x"}, "ftp://x"},
        {{"info", "--musicbrainz-server", "http://"}, "--musicbrainz-server"},
        {{"info", "--coverart-server", "https://covers example.org"}, "covers example.org"},
        {{"info", "--server", ""}, "--server"},
        {{"info", "--server", "gnudb.org:0"}, "gnudb.org:0"},
        {{"info", "--server", "gnudb.org:http"}, "HOST:PORT"},
        {{"info", "--server", "gnu db.org"}, "gnu db.org"},
        {{"offset", "--accuraterip-server", "ar:65536"}, "ar:65536"},
        {{"offset", "--accuraterip-server", ""}, "--accuraterip-server"},
        {{"info", "--no-cover"}, "--no-cover"},
        {{"rip", "--offset", "2940"}, "--offset"},
        {{"rip", "--offset", "six"}, "--offset"},
        {{"info", "--secure"}, "--secure"},
        {{"rip", "--drive-cache", "-1"}, "--drive-cache"},
        {{"info", "--no-replaygain"}, "--no-replaygain"},
        {{"offset", "--true-peak"}, "--true-peak"},
        {{"rip", "--events", "x"}, "--events"},
        {{"info", "--again"}, "--again"},
        {{"station", "--events"}, "--events"},
        {{"station", "--events", ""}, "--events"},
        {{"station", "--tracks", "1"}, "--tracks"},
        {{"station", "--flat"}, "--flat"},
        {{"station", "--overwrite"}, "--overwrite"},
        {{"station", "--offset", "6"}, "--offset"},
    };
    for (const Case& c : cases) {
        auto parsed = parseCommandLine(c.arguments);
        EXPECT_FALSE(parsed.options) << c.mentions;
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << "one line: " << parsed.error;
    }
}

TEST(CommandLine, StationTakesTheRipChoicesForEveryDiscAndItsOwn)
{
    auto parsed = parseCommandLine({"station", "--drive", "watch:/in", "--drive", "/dev/sr1", "--out", "/music",
                                    "--format", "flac", "--events", "-", "--again", "--no-accuraterip", "--metadata",
                                    "cddb", "--jobs", "2", "--drive-cache", "8"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const Options& options = *parsed.options;
    EXPECT_EQ(options.command, Command::Station);
    EXPECT_EQ(options.drives, (std::vector<std::string>{"watch:/in", "/dev/sr1"}));
    EXPECT_EQ(options.outputFolder, "/music");
    EXPECT_EQ(options.eventsFile, "-");
    EXPECT_TRUE(options.again);
    EXPECT_FALSE(options.accurateRip);
    EXPECT_TRUE(options.metadataGiven);
    EXPECT_FALSE(options.modeGiven); // the station then reads securely
    auto normal = parseCommandLine({"station", "--normal"});
    ASSERT_TRUE(normal.options) << normal.error;
    EXPECT_TRUE(normal.options->modeGiven);
    EXPECT_EQ(normal.options->mode, RipMode::Normal);
    EXPECT_FALSE(parseCommandLine({"station"}).options->metadataGiven);
}

TEST(CommandLine, TrackSelections)
{
    std::string error;
    EXPECT_EQ(parseTrackSelection("1,3-5", 6, error), (std::vector<int32_t>{1, 3, 4, 5}));
    EXPECT_EQ(parseTrackSelection("", 3, error), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(parseTrackSelection("6", 6, error), (std::vector<int32_t>{6}));
    for (const char* bad : {"0", "5-2", "7", "1,,2", "a", "1-", "3,3", "2-99", "-1"}) {
        error.clear();
        EXPECT_FALSE(parseTrackSelection(bad, 6, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    parseTrackSelection("5-2", 6, error);
    EXPECT_NE(error.find("backwards"), std::string::npos);
    parseTrackSelection("9", 6, error);
    EXPECT_NE(error.find("no track 9"), std::string::npos);
}

// The window program takes the servers and --no-accuraterip for its run; rip-only options it
// still refuses.
TEST(CommandLine, TheWindowProgramTakesTheServersOfARun)
{
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{"window", "--server", "127.0.0.1:1", "--musicbrainz-server", "http://127.0.0.1:2/",
                                   "--coverart-server", "http://127.0.0.1:3", "--accuraterip-server", "127.0.0.1:4",
                                   "--no-accuraterip"},
          std::vector<std::string>{"--drive", "demo:", "--accuraterip-server", "127.0.0.1:4", "--no-accuraterip",
                                   "--server", "127.0.0.1:1", "--musicbrainz-server", "http://127.0.0.1:2",
                                   "--coverart-server", "http://127.0.0.1:3"}}) {
        auto parsed = parseCommandLine(arguments);
        ASSERT_TRUE(parsed.options) << parsed.error;
        const Options& o = *parsed.options;
        EXPECT_EQ(o.command, Command::Window);
        EXPECT_EQ(o.server, "127.0.0.1:1");
        EXPECT_EQ(o.musicBrainzServer, "http://127.0.0.1:2");
        EXPECT_TRUE(o.musicBrainzServerGiven);
        EXPECT_EQ(o.coverArtServer, "http://127.0.0.1:3");
        EXPECT_TRUE(o.coverArtServerGiven);
        EXPECT_EQ(o.accurateRipServer, "127.0.0.1:4");
        EXPECT_FALSE(o.accurateRip);
    }
    auto plain = parseCommandLine({"window"});
    ASSERT_TRUE(plain.options);
    EXPECT_FALSE(plain.options->musicBrainzServerGiven);
    EXPECT_FALSE(plain.options->coverArtServerGiven);
    EXPECT_TRUE(plain.options->accurateRip);
    for (const char* ripOnly : {"--secure", "--flat", "--no-cover"}) {
        auto refused = parseCommandLine({"window", ripOnly});
        EXPECT_FALSE(refused.options) << ripOnly;
        EXPECT_NE(refused.error.find("rip command"), std::string::npos) << refused.error;
    }
    EXPECT_FALSE(parseCommandLine({"info", "--no-accuraterip"}).options);
}

TEST(CommandLine, HelpListsEveryOptionWithItsDefault)
{
    std::string help = usageText();
    for (const char* option : {"--drive", "--format", "--quality", "--tracks", "--out", "--lookup", "--no-lookup",
                               "--server", "--match", "--jobs", "--cddb-user", "--metadata", "--musicbrainz-server",
                               "--coverart-server", "--no-cover", "--offset", "--no-accuraterip",
                               "--accuraterip-server", "--secure", "--test-and-copy", "--drive-cache", "--flat", "--overwrite", "--no-replaygain", "--true-peak", "drives",
                               "info", "rip", "station", "watch:", "--normal", "--events", "--again"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_NE(help.find("gnudb.gnudb.org:8880"), std::string::npos);
    EXPECT_NE(help.find("default"), std::string::npos);
}

#include <fstream>
#include <sstream>

TEST(CommandLine, ManPageListsEveryOptionOfTheHelp)
{
    std::ifstream in(std::string(TONVANE_SOURCE_DIR) + "/docs/tonvane.1");
    std::stringstream page;
    page << in.rdbuf();
    std::string text = page.str();
    ASSERT_FALSE(text.empty());
    for (const char* option : {"drive", "format", "quality", "tracks", "out", "lookup", "no\\-lookup", "server",
                               "match", "jobs", "help", "version", "cddb\\-user", "metadata", "musicbrainz\\-server",
                               "coverart\\-server", "no\\-cover", "offset", "no\\-accuraterip", "accuraterip\\-server",
                               "secure", "test\\-and\\-copy", "drive\\-cache", "flat", "overwrite", "no\\-replaygain",
                               "true\\-peak", "normal", "events", "again"})
        EXPECT_NE(text.find(std::string("\\-\\-") + option), std::string::npos) << option;
    for (const char* exitCode : {".B 0", ".B 1", ".B 2", ".B 3", ".B 130", ".B 143", ".B 129"})
        EXPECT_NE(text.find(exitCode), std::string::npos) << exitCode;
}
