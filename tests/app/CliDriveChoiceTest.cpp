// Which drive a rip without --drive takes, and what a broken image drive says.
#include "CliFixture.h"

#include <filesystem>
#include <sys/stat.h>

using namespace tonvane;
using namespace tonvane::test;

namespace {

class CliDrives : public CliRun {};

} // namespace

TEST_F(CliDrives, WithoutDriveOptionOnlyAMachineWithoutDrivesGetsTheDemoDisc)
{
    // A fake /sys/block and /dev: sr0 is a folder (cannot be opened as a drive), sr1 a plain file
    // (opens, but answers no SCSI command: no audio disc).
    std::filesystem::create_directories(path("sys/sr0"));
    std::filesystem::create_directories(path("sys/sr1"));
    std::filesystem::create_directories(path("dev/sr0"));
    writeFile(path("dev/sr1"), "");
    std::vector<std::string> machine = {"TONVANE_SYSFS_ROOT=" + path("sys"), "TONVANE_DEV_ROOT=" + path("dev")};

    ProcessResult unusable = tonvane({"rip", "--no-lookup", "--format", "wav", "--out", out("")}, machine);
    EXPECT_EQ(unusable.exitCode, 3) << unusable.err;
    EXPECT_NE(unusable.err.find("cannot open " + path("dev/sr0") + ": Is a directory"), std::string::npos)
        << unusable.err;
    EXPECT_NE(unusable.err.find("no audio disc in " + path("dev/sr1")), std::string::npos) << unusable.err;
    EXPECT_FALSE(std::filesystem::exists(out("Track 1.Wav"))) << "the demo disc must not stand in";

    // Named with --drive: the same reason.
    ProcessResult named = tonvane({"info", "--drive", path("dev/sr0")}, machine);
    EXPECT_EQ(named.exitCode, 3);
    EXPECT_NE(named.err.find("cannot open " + path("dev/sr0") + ": Is a directory"), std::string::npos) << named.err;

    std::filesystem::remove_all(path("sys"));
    std::filesystem::create_directories(path("sys"));
    ProcessResult none = tonvane({"info"}, machine);
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_NE(none.err.find("No CD drive on this machine; using the built-in demo disc"), std::string::npos)
        << none.err;
}

TEST_F(CliDrives, BrokenCueSheetsSayWhatIsWrongAndWhere)
{
    std::string tracks119;
    for (int n = 1; n <= 119; ++n)
        tracks119 += "  TRACK " + std::to_string(n) + " AUDIO\n    INDEX 01 0" + std::to_string(n / 60) + ":" +
                     std::to_string(n % 60) + ":00\n";
    std::string garbage = "FILE \"a.bin\" BINARY\n";
    for (int i = 0; i < 64; ++i)
        garbage.push_back(static_cast<char>(0x80 + i * 3));
    struct Case {
        const char* name;
        std::string sheet;
        std::string mentions;
    } cases[] = {
        {"missing BIN", "FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
         "line 1: cannot open \"missing.bin\": No such file or directory"},
        {"absurd time", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 99:99:99\n", "line 3:"},
        {"no INDEX 01", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n",
         "line 4: track 2 has no INDEX 01"},
        {"track twice",
         "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 01 AUDIO\n    INDEX 01 00:01:00\n",
         "line 4:"},
        {"119 tracks", "FILE \"a.bin\" BINARY\n" + tracks119, "line 200:"},
        {"binary garbage", garbage, "line 2: text is not valid UTF-8"},
    };
    writeFile(path("a.bin"), std::string(2352 * 200, '\0'));
    for (const Case& c : cases) {
        writeFile(path("disc.cue"), c.sheet);
        ProcessResult result = tonvane({"info", "--drive", "image:" + path("disc.cue")});
        EXPECT_EQ(result.exitCode, 3) << c.name;
        EXPECT_NE(result.err.find("tonvane: " + path("disc.cue") + ": " + c.mentions), std::string::npos)
            << c.name << ": " << result.err;
        EXPECT_EQ(result.err.find("no audio disc"), std::string::npos) << c.name;
    }
}
