// Runs the built tonvane binary the way a user or a script would.
#include "CliFixture.h"
#include "FakeCddbServer.h"
#include "net/LocalServer.h"
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "cdrom/emulated/DemoDisc.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <map>

using namespace tonvane;
using namespace tonvane::test;

namespace {

const std::string kBinary = std::string(TONVANE_BINARY_DIR) + "/app/tonvane";

uint32_t le32(const std::string& bytes, size_t at)
{
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
           static_cast<uint8_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

// The demo disc's audio for a track, straight from the emulated disc.
std::string demoPcm(size_t trackIndex)
{
    auto disc = demoDrive()->disc();
    const auto& track = disc->tracks().at(trackIndex);
    std::string bytes(static_cast<size_t>(track.length) * 2352, '\0');
    disc->readSectors(track.start, track.length, reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
}

// The CDDB disc id of the demo disc, which names its log and CUE sheet.
std::string discIdOfDemo()
{
    std::vector<DiscIdTrack> tracks;
    for (const EmulatedTrack& track : demoDrive()->disc()->tracks())
        tracks.push_back({track.start, track.kind == TrackKind::Audio});
    char text[12];
    std::snprintf(text, sizeof text, "%08x", cddbDiscIdOf(tracks, demoDrive()->disc()->leadOut()));
    return text;
}

// Runs the built program with its own settings, cache and music folders (CliFixture.h).
class Cli : public CliRun {};

} // namespace

TEST_F(Cli, HelpAndVersion)
{
    ProcessResult help = tonvane({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--tracks"), std::string::npos);
    ProcessResult version = tonvane({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find("tonvane 0.2"), std::string::npos);
}

TEST_F(Cli, BadInputGivesOneLineAndTheRightExitCode)
{
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        const char* mentions;
    } cases[] = {
        {{"rip", "--what"}, 2, "--what"},
        {{"rip", "--drive", "demo:", "--no-lookup", "--tracks", "0", "--flat", "--out", out("")}, 2, "from 1"},
        {{"rip", "--drive", "demo:", "--no-lookup", "--tracks", "5-2", "--flat", "--out", out("")}, 2, "backwards"},
        {{"rip", "--drive", "demo:", "--no-lookup", "--tracks", "9", "--flat", "--out", out("")}, 2, "no track 9"},
        {{"rip", "--drive", "demo:", "--no-lookup", "--format", "flac", "--quality", "99", "--flat", "--out", out("")}, 2,
         "--quality 99"},
        {{"rip", "--drive", "demo:", "--no-lookup", "--flat", "--out", "/proc/tonvane-cannot"}, 2, "/proc/tonvane-cannot"},
        {{"rip", "--drive", "image:/no/such/disc.cue", "--no-lookup", "--flat", "--out", out("")}, 3,
         "cannot open \"/no/such/disc.cue\": No such file"},
        {{"info", "--drive", "image:/no/such/disc.cue"}, 3, "/no/such/disc.cue"},
    };
    for (const Case& c : cases) {
        ProcessResult result = tonvane(c.arguments, {}, 60000);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.mentions << "\n" << result.err;
        std::string firstLine = result.err.substr(0, result.err.find('\n'));
        EXPECT_NE(result.err.find(c.mentions), std::string::npos) << result.err;
        EXPECT_EQ(firstLine.rfind("tonvane: ", 0), 0u) << result.err;
    }
}

TEST_F(Cli, RipsTheDemoDiscToExactWavFiles)
{
    ProcessResult result =
        tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--flat", "--out", out(""), "--jobs", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err << result.out;
    EXPECT_EQ(result.out.find('\x1b'), std::string::npos) << "control codes on a pipe";
    for (size_t i = 0; i < demoDrive()->disc()->tracks().size(); ++i) {
        std::string file = readFile(out("Track " + std::to_string(i + 1) + ".Wav"));
        ASSERT_GT(file.size(), 44u);
        EXPECT_EQ(le32(file, 40), file.size() - 44);
        EXPECT_TRUE(file.substr(44) == demoPcm(i)) << "track " << i + 1;
        EXPECT_NE(result.out.find("Track " + std::to_string(i + 1) + ".Wav"), std::string::npos);
    }
}

// libcurl and the TLS, Kerberos and LDAP libraries below it cost a process about 6.6 MiB of
// resident memory: a rip that never goes to MusicBrainz must not load them. The dynamic
// loader's own trace (LD_DEBUG=libs) names every library a process loads, dlopen()ed or linked.
TEST_F(Cli, RipWithoutLookupNeverLoadsTheHttpsLibrary)
{
    ProcessResult result = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "flac", "--tracks", "1",
                                    "--out", out("")},
                                   {"LD_DEBUG=libs"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("libFLAC.so"), std::string::npos) << "no loader trace: " << result.err.substr(0, 400);
    EXPECT_EQ(result.err.find("libcurl"), std::string::npos);
    EXPECT_EQ(result.err.find("libgnutls"), std::string::npos);
}

TEST_F(Cli, TrackSelectionConvertsOnlyThoseTracks)
{
    ProcessResult result =
        tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--tracks", "2,4", "--flat", "--out", out("")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fileExists(out("Track 1.Wav")));
    EXPECT_TRUE(fileExists(out("Track 2.Wav")));
    EXPECT_FALSE(fileExists(out("Track 3.Wav")));
    EXPECT_TRUE(readFile(out("Track 4.Wav")).substr(44) == demoPcm(3));
}

TEST_F(Cli, PermanentReadErrorExitsOneAndNamesTheTrack)
{
    auto disc = demoDrive()->disc();
    uint32_t badLba = disc->tracks().at(1).start + 100;
    ProcessResult result = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--flat", "--out", out("")},
                                   {"TONVANE_TEST_FAULTS=read:" + std::to_string(badLba)});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("track 2: 1 unreadable sector(s) written as silence"), std::string::npos) << result.err;
    EXPECT_TRUE(readFile(out("Track 1.Wav")).substr(44) == demoPcm(0));
    // A track with silence in place of a sector is not the disc's audio: no file of it, not even
    // its temporary one.
    EXPECT_FALSE(fileExists(out("Track 2.Wav")));
    EXPECT_FALSE(fileExists(out(".Track 2.Wav.part")));
    EXPECT_TRUE(readFile(out("Track 3.Wav")).substr(44) == demoPcm(2));
    // The log names the position.
    std::string log = readFile(out(discIdOfDemo() + ".log"));
    EXPECT_NE(log.find("Suspicious positions: 00:01:25 (LBA " + std::to_string(badLba) + ")"), std::string::npos) << log;
}

TEST_F(Cli, InterruptStopsWithOnlyWholeFilesAndExit130)
{
    // An 8x drive: the rip takes long enough to be interrupted in the middle.
    RunningProcess process(kBinary,
                           {"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--flat", "--out", out(""), "--jobs", "2"},
                           {"XDG_CONFIG_HOME=" + m_config.path(), "TONVANE_TEST_FAULTS=speed:600"});
    for (int i = 0; i < 200 && process.outSoFar().find("track") == std::string::npos; ++i)
        ;
    ::usleep(500000);
    ::kill(process.pid(), SIGINT);
    ProcessResult result = process.wait(60000);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 130) << result.err;
    // Which tracks were whole by then depends on the lanes: every file there is a whole track,
    // exact, the interrupted ones left nothing, and no temporary file is left behind.
    int missing = 0;
    for (size_t i = 0; i < demoDrive()->disc()->tracks().size(); ++i) {
        std::string name = out("Track " + std::to_string(i + 1) + ".Wav");
        EXPECT_FALSE(fileExists(out(".Track " + std::to_string(i + 1) + ".Wav.part"))) << name;
        if (!fileExists(name)) {
            ++missing;
            continue;
        }
        std::string file = readFile(name);
        ASSERT_GE(file.size(), 44u) << name;
        EXPECT_EQ(le32(file, 40), file.size() - 44) << name;
        EXPECT_TRUE(file.substr(44) == demoPcm(i)) << name;
    }
    EXPECT_GE(missing, 1);
}

TEST_F(Cli, LookupFillsTitlesIntoFileNames)
{
    FakeCddbServer server({"Opening", "Second/Song", "Third: \"Live\"", "Finale"});
    ProcessResult result = tonvane({"rip", "--drive", "demo:", "--lookup", "--metadata", "cddb", "--server",
                                    "127.0.0.1:" + std::to_string(server.port()), "--format", "wav", "--tracks", "1-3",
                                    "--flat", "--out", out("")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fileExists(out("01 - Opening.Wav"))) << result.out;
    EXPECT_TRUE(fileExists(out("02 - SecondSong.Wav")));
    EXPECT_TRUE(fileExists(out("03 - Third 'Live'.Wav")));
    EXPECT_NE(result.err.find("Demo Artist / Demo Album"), std::string::npos);

    ProcessResult info = tonvane({"info", "--drive", "demo:", "--lookup", "--metadata", "cddb", "--server",
                                  "127.0.0.1:" + std::to_string(server.port())});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("Disc ID: "), std::string::npos);
    EXPECT_NE(info.out.find("Query: cddb query "), std::string::npos);
    EXPECT_NE(info.out.find("Finale"), std::string::npos);
}

TEST_F(Cli, HostileTitlesReachTheTerminalWithoutControlCharacters)
{
    // An escape that clears the screen, a window-title sequence, an 8-bit CSI and a CDDB "\n".
    FakeCddbServer server({"\x1b[2JCleared", "\x1b]0;owned\x07Title", "C1 \xc2\x9b" "31m red", "Two\\nLines"});
    ProcessResult info = tonvane({"info", "--drive", "demo:", "--lookup", "--metadata", "cddb", "--server",
                                  "127.0.0.1:" + std::to_string(server.port())});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (char c : info.out + info.err)
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n') << "control byte " << int(c);
    EXPECT_EQ(info.out.find("\xc2\x9b"), std::string::npos);
    EXPECT_NE(info.out.find("[2JCleared"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Two Lines"), std::string::npos) << info.out;
}

TEST_F(Cli, ServerThatDoesNotAnswerIsReportedNotHung)
{
    ProcessResult info = tonvane({"info", "--drive", "demo:", "--lookup", "--metadata", "cddb", "--server", "127.0.0.1:1"}, {}, 90000);
    EXPECT_FALSE(info.timedOut);
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_NE(info.err.find("CDDB lookup failed"), std::string::npos) << info.err;
}

TEST_F(Cli, DrivesListsTheDemoDiscWithItsModel)
{
    ProcessResult result = tonvane({"drives"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("demo:"), std::string::npos);
    EXPECT_NE(result.out.find("audio disc"), std::string::npos);
    EXPECT_NE(result.out.find("TONVANE"), std::string::npos) << result.out;
}

namespace {
bool haveTool(const char* path)
{
    return ::access(path, X_OK) == 0;
}
} // namespace

TEST_F(Cli, EveryFormatGivesAFileTheReferenceToolsAccept)
{
    // Track 2 of the demo disc: 19 s of generated music.
    const std::string source = demoPcm(1);
    const double seconds = static_cast<double>(source.size()) / 176400.0;

    ProcessResult flac = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "flac", "--quality", "0",
                                  "--tracks", "2", "--flat", "--out", out("")});
    ASSERT_EQ(flac.exitCode, 0) << flac.err;
    if (haveTool("/usr/bin/flac")) {
        ProcessResult decode = runProcess("/usr/bin/flac", {"-d", "-s", "-f", "--force-raw-format", "--endian=little",
                                                            "--sign=signed", "-o", out("t2.raw"), out("Track 2.flac")});
        ASSERT_EQ(decode.exitCode, 0) << decode.err;
        EXPECT_TRUE(readFile(out("t2.raw")) == source) << "FLAC must decode to the disc's exact samples";
    }

    ProcessResult ogg = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "ogg", "--tracks", "2",
                                 "--flat", "--out", out("")});
    ASSERT_EQ(ogg.exitCode, 0) << ogg.err;
    if (haveTool("/usr/bin/oggdec")) {
        ProcessResult decode = runProcess("/usr/bin/oggdec", {"-Q", "-R", "-o", out("t2o.raw"), out("Track 2.ogg")});
        ASSERT_EQ(decode.exitCode, 0) << decode.err;
        double decoded = static_cast<double>(readFile(out("t2o.raw")).size()) / 176400.0;
        EXPECT_NEAR(decoded, seconds, 2048.0 / 44100.0);
    }

    ProcessResult mp3 = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "mp3", "--quality", "10",
                                 "--tracks", "2", "--flat", "--out", out("")});
    ASSERT_EQ(mp3.exitCode, 0) << mp3.err;
    if (haveTool("/usr/bin/python3")) {
        ProcessResult probe = runProcess(
            "/usr/bin/python3",
            {"-c", "import sys\ntry:\n from mutagen.mp3 import MP3\nexcept ImportError:\n print('skip'); sys.exit(0)\n"
                   "m = MP3(sys.argv[1]); print(m.info.bitrate // 1000, m.info.length)",
             out("Track 2.mp3")});
        ASSERT_EQ(probe.exitCode, 0) << probe.err;
        if (probe.out.rfind("skip", 0) != 0) {
            int kbps = 0;
            double length = 0;
            ASSERT_EQ(std::sscanf(probe.out.c_str(), "%d %lf", &kbps, &length), 2) << probe.out;
            EXPECT_EQ(kbps, 192); // index 10
            EXPECT_NEAR(length, seconds, 0.05);
        }
    }

    // Opus at its default 160 kbit/s: opusdec gives the track back at 44.1 kHz, as long as the
    // disc's track to within the two roundings of the 48 kHz stream (the sound itself is checked
    // with the writer's tests).
    ProcessResult opus = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "opus", "--tracks", "2",
                                  "--flat", "--out", out("")});
    ASSERT_EQ(opus.exitCode, 0) << opus.err;
    EXPECT_NE(opus.out.find("Track 2.opus"), std::string::npos) << opus.out;
    if (haveTool("/usr/bin/opusdec")) {
        ProcessResult decode =
            runProcess("/usr/bin/opusdec", {"--quiet", "--rate", "44100", out("Track 2.opus"), out("t2p.raw")});
        ASSERT_EQ(decode.exitCode, 0) << decode.err;
        const std::string decoded = readFile(out("t2p.raw"));
        EXPECT_NEAR(double(decoded.size()) / 4, double(source.size()) / 4, 2.0);
        const double kbps = double(std::filesystem::file_size(out("Track 2.opus"))) * 8 / seconds / 1000;
        EXPECT_GT(kbps, 120.0);
        EXPECT_LT(kbps, 210.0);
    }
}

TEST_F(Cli, RipsACueImageExactly)
{
    // A BIN of two tracks whose bytes are known, and its sheet.
    std::string bin;
    for (uint32_t i = 0; i < 300 * 2352; ++i)
        bin.push_back(static_cast<char>((i * 2654435761u) >> 24));
    std::filesystem::create_directories(m_dir.path() + "/image");
    writeFile(m_dir.path() + "/image/disc.bin", bin);
    writeFile(m_dir.path() + "/image/disc.cue", "FILE \"disc.bin\" BINARY\n"
                                                "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                                "  TRACK 02 AUDIO\n    INDEX 01 00:01:50\n");
    ProcessResult result = tonvane({"rip", "--drive", "image:" + m_dir.path() + "/image/disc.cue", "--no-lookup",
                                    "--format", "wav", "--flat", "--out", out("")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(readFile(out("Track 1.Wav")).substr(44) == bin.substr(0, 125 * 2352));
    EXPECT_TRUE(readFile(out("Track 2.Wav")).substr(44) == bin.substr(125 * 2352));
}

TEST_F(Cli, LookupTitlesReachTheTags)
{
    if (!haveTool("/usr/bin/metaflac"))
        GTEST_SKIP() << "metaflac is not installed";
    FakeCddbServer server({"Opening", "Второй", "三番目", "Finale"});
    ProcessResult result = tonvane({"rip", "--drive", "demo:", "--lookup", "--metadata", "cddb", "--server",
                                    "127.0.0.1:" + std::to_string(server.port()), "--format", "flac", "--tracks", "2",
                                    "--flat", "--out", out("")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ProcessResult tags = runProcess("/usr/bin/metaflac", {"--export-tags-to=-", out("02 - Второй.flac")});
    ASSERT_EQ(tags.exitCode, 0) << tags.err;
    EXPECT_NE(tags.out.find("TITLE=Второй"), std::string::npos) << tags.out;
    EXPECT_NE(tags.out.find("ARTIST=Demo Artist"), std::string::npos);
    EXPECT_NE(tags.out.find("ALBUM=Demo Album"), std::string::npos);
    EXPECT_NE(tags.out.find("TRACKNUMBER=2"), std::string::npos);
    EXPECT_NE(tags.out.find("ENCODER=Tonvane 0.2"), std::string::npos);
}

namespace {
// A CUE image whose first track is data, followed by two audio tracks of 2 s each.
std::string dataFirstImage(const std::string& folder)
{
    std::filesystem::create_directories(folder);
    writeFile(folder + "/disc.bin", std::string(600 * 2352, '\x11'));
    writeFile(folder + "/disc.cue", "FILE \"disc.bin\" BINARY\n"
                                    "  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
                                    "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n"
                                    "  TRACK 03 AUDIO\n    INDEX 01 00:06:00\n");
    return "image:" + folder + "/disc.cue";
}
} // namespace

TEST_F(Cli, CddbTitlesOfADataFirstDiscLandOnTheirTracks)
{
    if (!haveTool("/usr/bin/metaflac"))
        GTEST_SKIP() << "metaflac is not installed";
    FakeCddbServer server({"Data Track", "First Song", "Second Song"});
    ProcessResult result = tonvane({"rip", "--drive", dataFirstImage(m_dir.path() + "/image"), "--lookup", "--metadata", "cddb", "--server",
                                    "127.0.0.1:" + std::to_string(server.port()), "--format", "flac", "--flat", "--out", out("")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(fileExists(out("01 - First Song.flac"))) << result.out;
    ProcessResult tags = runProcess("/usr/bin/metaflac", {"--export-tags-to=-", out("02 - Second Song.flac")});
    EXPECT_NE(tags.out.find("TITLE=Second Song"), std::string::npos) << tags.out;
    EXPECT_NE(tags.out.find("TRACKNUMBER=3"), std::string::npos) << "the disc's own number: " << tags.out;
}

TEST_F(Cli, LookupRunsOnAFreshSetupButNeverForTheDemoDisc)
{
    FakeCddbServer server({"Data Track", "First Song", "Second Song"});
    std::string where = "127.0.0.1:" + std::to_string(server.port());
    std::string image = dataFirstImage(m_dir.path() + "/image");
    ProcessResult fresh = tonvane({"info", "--drive", image, "--metadata", "cddb", "--server", where});
    EXPECT_EQ(fresh.exitCode, 0) << fresh.err;
    EXPECT_EQ(server.lookups(), 1) << "no stored \"Auto\" yet: the command line looks up all the same";
    EXPECT_NE(fresh.out.find("First Song"), std::string::npos) << fresh.out;

    ProcessResult demo = tonvane({"info", "--drive", "demo:", "--metadata", "cddb", "--server", where});
    EXPECT_EQ(demo.exitCode, 0) << demo.err;
    EXPECT_EQ(server.lookups(), 1) << "no database knows the demo disc";

    ScopedEnv config("XDG_CONFIG_HOME", m_config.path().c_str());
    ASSERT_TRUE(settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0));
    ProcessResult off = tonvane({"info", "--drive", image, "--metadata", "cddb", "--server", where});
    EXPECT_EQ(off.exitCode, 0) << off.err;
    EXPECT_EQ(server.lookups(), 1) << "\"Auto\" stored as 0 turns the lookup off";
}

TEST_F(Cli, ConnectionCutInsideAnEntryIsAFailedLookupNotNoMatch)
{
    FakeCddbServer server({"Opening", "Second", "Third", "Finale"}, true);
    ProcessResult result = tonvane({"rip", "--drive", "demo:", "--lookup", "--metadata", "cddb", "--server",
                                    "127.0.0.1:" + std::to_string(server.port()), "--format", "wav", "--tracks", "1",
                                    "--flat", "--out", out("")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err.find("match for this disc"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("CDDB lookup failed: the connection ended in the middle of an entry"), std::string::npos)
        << result.err;
    EXPECT_TRUE(fileExists(out("Track 1.Wav"))) << "the titles stay as they were";
}

namespace {
// A whole 2 x 3 PNG (made with zlib and CRC-32 by hand: signature, IHDR, one IDAT, IEND).
constexpr char kPngBytes[] = "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00\x00\x03\x08\x06\x00\x00\x00\xb9\xea\xde\x81\x00\x00\x00\x11\x49\x44\x41\x54\x78\xda\x63\x38\x21\x27\xf7\x1f\x84\x19\x30\x18\x00\xa1\x1f\x0c\x13\xf9\xda\x77\x0f\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82";
const std::string kCoverPng = std::string(kPngBytes, sizeof kPngBytes - 1);
// A PNG signature and header chunk, then made-up bytes: a cover that does not decode.
const std::string kDamagedPng = kCoverPng.substr(0, 33) + std::string(200, '\x5a');
const char kMultiDiscRelease[] = "50000003-0003-4005-8003-abc00000138b";

std::string recordedMusicBrainz(const std::string& name, const std::string& discId)
{
    std::string json = readFile(std::string(TONVANE_SOURCE_DIR) + "/tests/net/musicbrainz/" + name + ".json");
    for (size_t at = json.find("@DISCID@"); at != std::string::npos; at = json.find("@DISCID@", at))
        json.replace(at, 8, discId);
    return json;
}
} // namespace

TEST_F(Cli, MusicBrainzMatchGivesTagsCoverAndComesFirstInTheList)
{
    // Three audio tracks, the second medium of a two-disc release at MusicBrainz.
    std::filesystem::create_directories(m_dir.path() + "/image");
    writeFile(m_dir.path() + "/image/disc.bin", std::string(900 * 2352, '\x22'));
    writeFile(m_dir.path() + "/image/disc.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                                "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n"
                                                "  TRACK 03 AUDIO\n    INDEX 01 00:08:00\n");
    std::string image = "image:" + m_dir.path() + "/image/disc.cue";
    ProcessResult identity = tonvane({"info", "--drive", image, "--no-lookup"});
    size_t at = identity.out.find("MusicBrainz disc ID: ");
    ASSERT_NE(at, std::string::npos) << identity.out;
    std::string discId = identity.out.substr(at + 21, 28);

    // The web service and the cover archive in one local server: each request's path picks its reply.
    auto answer = [](const std::string& status, const std::string& headers, const std::string& body) {
        return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    };
    std::map<std::string, std::string> replies = {
        {"/ws/2/discid/" + discId + "?inc=artist-credits+recordings+isrcs&fmt=json",
         answer("200 OK", "Content-Type: application/json\r\n", recordedMusicBrainz("multi-disc", discId))},
        {std::string("/release/") + kMultiDiscRelease + "/front-500",
         answer("307 Temporary Redirect", "Location: /images/front.png\r\n", "")},
        {"/images/front.png", answer("200 OK", "Content-Type: image/png\r\n", kCoverPng)},
    };
    std::atomic<bool> damagedCover{false}; // the archive serves a picture that does not decode
    LocalServer web(
        [&replies, &answer, &damagedCover](ServerPeer& peer) {
            std::optional<std::string> head = peer.readRequestHead();
            if (!head)
                return;
            size_t start = head->find(' ') + 1;
            std::string path = head->substr(start, head->find(' ', start) - start);
            if (path == "/images/front.png" && damagedCover.load()) {
                peer.send(answer("200 OK", "Content-Type: image/png\r\n", kDamagedPng));
                peer.waitForClientClose(3000);
                return;
            }
            auto found = replies.find(path);
            peer.send(found != replies.end() ? found->second : answer("404 Not Found", "", ""));
            peer.waitForClientClose(3000);
        },
        100);
    std::string webUrl = "http://127.0.0.1:" + std::to_string(web.port());
    FakeCddbServer cddb({"One", "Two", "Three"});
    std::vector<std::string> sources = {"--musicbrainz-server", webUrl, "--coverart-server", webUrl + "/",
                                        "--server", "127.0.0.1:" + std::to_string(cddb.port()), "--lookup"};

    std::vector<std::string> info = {"info", "--drive", image};
    info.insert(info.end(), sources.begin(), sources.end());
    ProcessResult listed = tonvane(info);
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("Matches: 2\n  0: MusicBrainz  Ana Ruiz & Бо Ли - Two Discs (1999-03, CD, disc 2/2)\n"
                              "  1: CDDB         Demo Artist / Demo Album (2024)\n"),
              std::string::npos)
        << listed.out;

    for (const char* format : {"flac", "ogg", "mp3"}) {
        std::vector<std::string> rip = {"rip", "--drive", image, "--format", format, "--tracks", "2", "--flat", "--out", out("")};
        rip.insert(rip.end(), sources.begin(), sources.end());
        ProcessResult result = tonvane(rip);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_TRUE(readFile(out("cover.png")) == kCoverPng) << "the cover is saved beside the tracks";
        std::string file = out(std::string("02 - Disc Two Two.") + format);
        ASSERT_TRUE(fileExists(file)) << result.out << result.err;
        if (std::string(format) == "flac" && haveTool("/usr/bin/metaflac")) {
            ProcessResult picture = runProcess("/usr/bin/metaflac", {"--export-picture-to=" + out("f.png"), file});
            EXPECT_EQ(picture.exitCode, 0) << picture.err;
            EXPECT_TRUE(readFile(out("f.png")) == kCoverPng);
            ProcessResult tags = runProcess("/usr/bin/metaflac", {"--export-tags-to=-", file});
            EXPECT_NE(tags.out.find("DISCNUMBER=2\nDISCTOTAL=2\n"), std::string::npos) << tags.out;
        }
        if (std::string(format) == "ogg" && haveTool("/usr/bin/vorbiscomment")) {
            ProcessResult comments = runProcess("/usr/bin/vorbiscomment", {"-l", file});
            EXPECT_NE(comments.out.find("TITLE=Disc Two Two\n"), std::string::npos) << comments.out;
            // The picture comment as vorbiscomment lists it: base64 of a FLAC picture block
            // (type, MIME, description, 4 sizes, data), taken apart by python3's standard library.
            size_t at = comments.out.find("METADATA_BLOCK_PICTURE=");
            ASSERT_NE(at, std::string::npos);
            std::string encoded = comments.out.substr(at + 23, comments.out.find('\n', at) - at - 23);
            ProcessResult image = runProcess(
                "/usr/bin/python3",
                {"-c", "import base64, struct, sys\nb = base64.b64decode(sys.argv[1])\n"
                       "kind, n = struct.unpack('>II', b[:8]); mime = b[8:8 + n].decode(); at = 8 + n\n"
                       "at += 4 + struct.unpack('>I', b[at:at + 4])[0] + 16\n"
                       "size = struct.unpack('>I', b[at:at + 4])[0]\n"
                       "print(kind, mime, b[at + 4:at + 4 + size] == open(sys.argv[2], 'rb').read())",
                 encoded, out("cover.png")});
            EXPECT_EQ(image.out, "3 image/png True\n") << image.err;
        }
        if (std::string(format) == "mp3" && haveTool("/usr/bin/python3")) {
            ProcessResult id3 = runProcess(
                "/usr/bin/python3",
                {"-c", "import sys\ntry:\n from mutagen.id3 import ID3\nexcept ImportError:\n print('skip'); sys.exit(0)\n"
                       "t = ID3(sys.argv[1]); a = t.getall('APIC')[0]\n"
                       "print(t['TPOS'].text[0], t['TRCK'].text[0], a.mime, a.data == open(sys.argv[2], 'rb').read())",
                 file, out("cover.png")});
            if (id3.out.rfind("skip", 0) != 0) {
                EXPECT_EQ(id3.out, "2/2 2/3 image/png True\n") << id3.err;
            }
        }
    }

    // A cover that does not decode goes into no file and is not saved; the rip says why.
    damagedCover.store(true);
    std::vector<std::string> damagedRip = {"rip", "--drive", image, "--format", "flac", "--tracks", "2", "--flat",
                                           "--out", out("damaged")};
    damagedRip.insert(damagedRip.end(), sources.begin(), sources.end());
    ProcessResult damaged = tonvane(damagedRip);
    ASSERT_EQ(damaged.exitCode, 0) << damaged.err;
    EXPECT_NE(damaged.err.find("the front cover is refused (damaged PNG data)"), std::string::npos) << damaged.err;
    EXPECT_FALSE(fileExists(out("damaged/cover.png")));
    if (haveTool("/usr/bin/metaflac")) {
        ProcessResult blocks = runProcess("/usr/bin/metaflac", {"--list", "--block-type=PICTURE", out("damaged/02 - Disc Two Two.flac")});
        EXPECT_EQ(blocks.out.find("PICTURE"), std::string::npos) << blocks.out;
    }

    // --match 1 takes the CDDB entry instead, and no cover.
    std::vector<std::string> rip = {"rip", "--drive", image, "--format", "wav", "--tracks", "1", "--match", "1",
                                    "--flat", "--out", out("cddb")};
    rip.insert(rip.end(), sources.begin(), sources.end());
    ProcessResult cddbRip = tonvane(rip);
    ASSERT_EQ(cddbRip.exitCode, 0) << cddbRip.err;
    EXPECT_TRUE(fileExists(out("cddb/01 - One.Wav"))) << cddbRip.err;
    EXPECT_FALSE(fileExists(out("cddb/cover.png")));
}
