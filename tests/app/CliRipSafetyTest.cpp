// What a command-line rip does to the files around it: a folder per disc, names that exist, a
// rip stopped by a signal, and a log or CUE sheet that cannot be written. The real binary on the
// emulated drive.
#include "CliFixture.h"
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "cdrom/emulated/DemoDisc.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <unistd.h>

using namespace tonvane;
using namespace tonvane::test;

namespace {

const std::string kBinary = std::string(TONVANE_BINARY_DIR) + "/app/tonvane";

std::string demoPcm(size_t trackIndex)
{
    auto disc = demoDrive()->disc();
    const auto& track = disc->tracks().at(trackIndex);
    std::string bytes(static_cast<size_t>(track.length) * 2352, '\0');
    disc->readSectors(track.start, track.length, reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
}

std::string hex8(uint32_t value)
{
    char text[12];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string demoDiscId()
{
    std::vector<DiscIdTrack> tracks;
    for (const EmulatedTrack& track : demoDrive()->disc()->tracks())
        tracks.push_back({track.start, track.kind == TrackKind::Audio});
    return hex8(cddbDiscIdOf(tracks, demoDrive()->disc()->leadOut()));
}

// Every file below folder (relative names) with its bytes.
std::map<std::string, std::string> filesBelow(const std::string& folder)
{
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(folder))
        return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] = readFile(entry.path().string());
    return files;
}

class CliRipSafety : public CliRun {
protected:
    ProcessResult rip(std::vector<std::string> extra, std::vector<std::string> environment = {})
    {
        std::vector<std::string> arguments = {"rip", "--drive", "demo:", "--no-lookup", "--format", "wav"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return tonvane(arguments, environment);
    }
    // A two-track disc image of known bytes that no database knows.
    std::string imageDrive()
    {
        std::string bin;
        for (uint32_t i = 0; i < 300 * 2352; ++i)
            bin.push_back(static_cast<char>((i * 2654435761u) >> 24));
        std::filesystem::create_directories(path("image"));
        writeFile(path("image/disc.bin"), bin);
        writeFile(path("image/disc.cue"), "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                          "  TRACK 02 AUDIO\n    INDEX 01 00:01:50\n");
        return "image:" + path("image/disc.cue");
    }
};

} // namespace

TEST_F(CliRipSafety, TwoUntitledDiscsRippedIntoOneFolderKeepTheirOwnFolders)
{
    std::string image = imageDrive();
    ProcessResult demo = rip({"--out", out("")});
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    ProcessResult other = tonvane({"rip", "--drive", image, "--no-lookup", "--format", "wav", "--out", out("")});
    ASSERT_EQ(other.exitCode, 0) << other.err;

    std::map<std::string, std::string> files = filesBelow(out(""));
    std::string demoFolder = "Unknown disc " + demoDiscId() + "/";
    for (int n = 1; n <= 4; ++n)
        EXPECT_TRUE(files[demoFolder + "Track " + std::to_string(n) + ".Wav"].substr(44) == demoPcm(n - 1)) << n;
    EXPECT_EQ(files.count(demoFolder + demoDiscId() + ".log"), 1u);
    EXPECT_EQ(files.count(demoFolder + demoDiscId() + ".cue"), 1u);
    size_t imageTracks = 0;
    for (const auto& [name, bytes] : files)
        if (name.rfind("Unknown disc ", 0) == 0 && name.rfind(demoFolder, 0) != 0 && name.ends_with(".Wav"))
            ++imageTracks;
    EXPECT_EQ(imageTracks, 2u) << "the image's tracks in a folder of their own";
    EXPECT_EQ(files.size(), 4u + 2u + 2u + 2u) << "nothing straight in --out";
}

// A name that exists stops the rip before it reads anything; --overwrite replaces it; --flat
// writes into --out itself.
TEST_F(CliRipSafety, ANameThatExistsIsRefusedUnlessOverwriteSaysOtherwise)
{
    ASSERT_EQ(rip({"--flat", "--out", out(""), "--tracks", "2"}).exitCode, 0);
    const std::string stale = "RIFF stale bytes of an older rip";
    writeFile(out("Track 2.Wav"), stale);
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        int exitCode;
        bool track1; // Track 1.Wav there afterwards
        bool track2Replaced;
    } cases[] = {
        {"refused", {"--flat", "--out", out(""), "--tracks", "1,2"}, 2, false, false},
        {"refused again", {"--flat", "--out", out(""), "--tracks", "2"}, 2, false, false},
        {"overwrite", {"--flat", "--out", out(""), "--tracks", "1,2", "--overwrite"}, 0, true, true},
    };
    for (const Case& c : cases) {
        ProcessResult result = rip(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what << "\n" << result.err;
        if (c.exitCode == 2) {
            EXPECT_NE(result.err.find(out("Track 2.Wav") + " exists"), std::string::npos) << c.what << result.err;
            EXPECT_EQ(result.out.find("Ripping"), std::string::npos) << c.what << ": nothing was read";
        }
        EXPECT_EQ(fileExists(out("Track 1.Wav")), c.track1) << c.what;
        std::string track2 = readFile(out("Track 2.Wav"));
        EXPECT_EQ(track2 == stale, !c.track2Replaced) << c.what;
        if (c.track2Replaced) {
            EXPECT_TRUE(track2.substr(44) == demoPcm(1)) << c.what;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(out("Unknown disc " + demoDiscId()))) << "--flat makes no disc folder";
}

// SIGINT, SIGTERM and SIGHUP stop a re-rip the same way: exit 128 + the signal, the log says the
// rip was interrupted, no CUE sheet for tracks that are not whole, and the earlier rip's files
// stay byte for byte.
TEST_F(CliRipSafety, EverySignalStopsAReRipInOrderAndLeavesTheEarlierFiles)
{
    struct Case {
        int signal;
        int exitCode;
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    for (const Case& c : cases) {
        std::string folder = out("signal" + std::to_string(c.signal));
        ASSERT_EQ(rip({"--flat", "--out", folder, "--tracks", "1,2"}).exitCode, 0);
        const std::map<std::string, std::string> earlier = filesBelow(folder);
        ASSERT_EQ(earlier.size(), 4u) << "two tracks, the log and the CUE sheet";

        // An 8x drive: the two long tracks take seconds, long enough to be stopped midway.
        RunningProcess process(kBinary,
                               {"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--flat", "--out",
                                folder, "--tracks", "3,4"},
                               {"XDG_CONFIG_HOME=" + m_config.path(), "XDG_CACHE_HOME=" + m_config.path() + "/cache",
                                "TONVANE_TEST_FAULTS=speed:600"});
        for (int i = 0; i < 200 && process.outSoFar().find("track") == std::string::npos; ++i)
            ::usleep(50000);
        ::usleep(500000);
        ::kill(process.pid(), c.signal);
        ProcessResult result = process.wait(60000);
        ASSERT_FALSE(result.timedOut) << c.signal;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.signal << "\n" << result.err;

        std::map<std::string, std::string> after = filesBelow(folder);
        for (const auto& [name, bytes] : earlier)
            EXPECT_TRUE(after[name] == bytes) << c.signal << ": " << name << " stays byte for byte";
        std::string log = after[demoDiscId() + " (2).log"];
        EXPECT_NE(log.find("Interrupted"), std::string::npos) << c.signal << "\n" << log;
        EXPECT_NE(log.find("; interrupted"), std::string::npos) << c.signal;
        EXPECT_EQ(after.count(demoDiscId() + " (2).cue"), 0u) << c.signal << ": no CUE sheet of tracks not whole";
        for (const auto& [name, bytes] : after)
            EXPECT_FALSE(name.ends_with(".part")) << c.signal << ": " << name << " left behind";
    }
}

// With --overwrite the earlier file is replaced only by a whole new one: a stopped re-rip leaves
// it as it was. (The temporary name and the rename are the conversion's; this checks them end
// to end.)
TEST_F(CliRipSafety, AStoppedOverwriteLeavesTheEarlierFiles)
{
    std::string folder = out("overwrite");
    ASSERT_EQ(rip({"--flat", "--out", folder, "--tracks", "3,4"}).exitCode, 0);
    const std::map<std::string, std::string> earlier = filesBelow(folder);
    RunningProcess process(kBinary,
                           {"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--flat", "--out", folder,
                            "--tracks", "3,4", "--overwrite"},
                           {"XDG_CONFIG_HOME=" + m_config.path(), "XDG_CACHE_HOME=" + m_config.path() + "/cache",
                            "TONVANE_TEST_FAULTS=speed:600"});
    for (int i = 0; i < 200 && process.outSoFar().find("track") == std::string::npos; ++i)
        ::usleep(50000);
    ::usleep(500000);
    ::kill(process.pid(), SIGTERM);
    ProcessResult result = process.wait(60000);
    EXPECT_EQ(result.exitCode, 143) << result.err;
    std::map<std::string, std::string> after = filesBelow(folder);
    for (const char* name : {"Track 3.Wav", "Track 4.Wav"})
        EXPECT_TRUE(after[name] == earlier.at(name)) << name << " stays until a new one is whole";
    EXPECT_NE(after[demoDiscId() + ".log"].find("Interrupted"), std::string::npos) << "--overwrite replaces the log";
}

// A log or CUE sheet that cannot be written is named and the rip exits 1, though every track is
// whole.
TEST_F(CliRipSafety, ALogOrCueSheetThatCannotBeWrittenIsNamedAndExitsOne)
{
    for (const char* extension : {".log", ".cue"}) {
        std::string folder = out(std::string("blocked") + extension);
        std::string blocked = folder + "/" + demoDiscId() + extension;
        std::filesystem::create_directories(blocked); // a folder where the file would go
        ProcessResult result = rip({"--flat", "--out", folder, "--tracks", "2", "--overwrite"});
        EXPECT_EQ(result.exitCode, 1) << extension << "\n" << result.err;
        EXPECT_NE(result.err.find("cannot write " + blocked), std::string::npos) << extension << "\n" << result.err;
        EXPECT_TRUE(readFile(folder + "/Track 2.Wav").substr(44) == demoPcm(1)) << extension;
    }
}

// A folder name with control characters (legal on Linux) reaches the terminal without them; one
// that is not UTF-8 is refused before anything is read instead of failing every track.
TEST_F(CliRipSafety, PathsReachTheTerminalWithoutControlCharacters)
{
    std::string folder = out("evil\x1b]0;retitled\x07\xc2\x9b" "2J");
    ProcessResult result = rip({"--flat", "--out", folder, "--tracks", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_NE(result.out.find("Track 2.Wav"), std::string::npos) << result.out;
    for (const std::string* text : {&result.out, &result.err}) {
        EXPECT_EQ(text->find("\xc2\x9b"), std::string::npos) << *text;
        for (char c : *text)
            EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c) << " in\n" << *text;
    }
    EXPECT_TRUE(readFile(folder + "/Track 2.Wav").substr(44) == demoPcm(1));

    ProcessResult latin1 = rip({"--flat", "--out", out("caf\xe9"), "--tracks", "2"});
    EXPECT_EQ(latin1.exitCode, 2) << latin1.err;
    EXPECT_NE(latin1.err.find("is not a UTF-8 name"), std::string::npos) << latin1.err;
    EXPECT_FALSE(std::filesystem::exists(out("caf\xe9")));
}
