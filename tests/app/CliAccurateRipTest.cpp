// AccurateRip verification and read-offset correction of whole command-line rips, against a
// database record built here from the demo disc's original audio and served on 127.0.0.1.
#include "CliFixture.h"
#include "FakeHttpServer.h"
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "cdrom/emulated/DemoDisc.h"

#include <algorithm>
#include <filesystem>
#include <memory>

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr int32_t kOffset = 667; // [samples] a common drive's read offset

std::string discPcm(uint32_t lba, uint32_t sectors)
{
    std::string bytes(size_t{sectors} * 2352, '\0');
    demoDrive()->disc()->readSectors(lba, sectors, reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
}

AccurateRipDiscId demoId()
{
    std::vector<DiscIdTrack> tracks;
    for (const EmulatedTrack& track : demoDrive()->disc()->tracks())
        tracks.push_back({track.start, track.kind == TrackKind::Audio});
    return *accurateRipDiscId(tracks, demoDrive()->disc()->leadOut());
}

void putLe32(std::string& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// Two pressings: one that matches the original audio with confidence 5, one that does not.
std::string demoRecord(const AccurateRipDiscId& id)
{
    const auto& tracks = demoDrive()->disc()->tracks();
    std::string matching, other;
    for (std::string* block : {&matching, &other}) {
        block->push_back(static_cast<char>(id.audioTracks));
        putLe32(*block, id.id1);
        putLe32(*block, id.id2);
        putLe32(*block, id.id3);
    }
    for (size_t t = 0; t < tracks.size(); ++t) {
        std::string pcm = discPcm(tracks[t].start, tracks[t].length);
        AccurateRipChecksum checksum(pcm.size() / 4, t == 0, t + 1 == tracks.size());
        checksum.feed(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size());
        matching.push_back(5);
        putLe32(matching, checksum.v1());
        putLe32(matching, sectorChecksum(reinterpret_cast<const uint8_t*>(pcm.data()) + 450 * 2352));
        other.push_back(2);
        putLe32(other, checksum.v1() ^ 0x5A5A5A5A);
        putLe32(other, 0);
    }
    return other + matching;
}

// Whether a rip has begun a track's file in folder.
bool holdsATrackFile(const std::string& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with("Track "))
            return true;
    return false;
}

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class CliAccurateRip : public CliRun {
protected:
    ProcessResult rip(const std::string& drive, std::vector<std::string> extra, const std::string& folder)
    {
        std::vector<std::string> arguments = {"rip", "--drive", drive, "--no-lookup", "--format", "wav",
                                              "--flat", "--out", out(folder)};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return tonvane(arguments);
    }
    std::string wavData(const std::string& folder, size_t track)
    {
        std::string file = readFile(out(folder + "/Track " + std::to_string(track + 1) + ".Wav"));
        return file.size() >= 44 ? file.substr(44) : std::string();
    }
};

} // namespace

TEST_F(CliAccurateRip, OffsetDrivesRipSampleExactAndEveryTrackIsAccurate)
{
    const AccurateRipDiscId id = demoId();
    auto server = std::make_unique<FakeHttpServer>(accurateRipPath(id), demoRecord(id));
    const auto& tracks = demoDrive()->disc()->tracks();
    const std::string disc = discPcm(0, demoDrive()->disc()->leadOut());
    const size_t shift = size_t{kOffset} * 4; // [bytes]

    for (int32_t offset : {-kOffset, kOffset}) {
        std::string drive = "demo:offset=" + std::to_string(offset);
        std::string folder = "offset" + std::to_string(offset);
        ProcessResult result =
            rip(drive, {"--offset", std::to_string(offset), "--accuraterip-server", server->address()}, folder);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(count(result.out, "accurate (confidence 5)"), tracks.size()) << result.out;
        // What a drive cannot deliver is silence: after the lead-out for +667, before the
        // disc's start for -667. Everything else is the disc's own samples.
        std::string expected = disc;
        if (offset > 0)
            std::fill(expected.end() - static_cast<std::ptrdiff_t>(shift), expected.end(), '\0');
        else
            std::fill(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(shift), '\0');
        // Files hold [INDEX 01, next INDEX 01): gaps go with the track before them.
        for (size_t t = 0; t < tracks.size(); ++t) {
            size_t from = size_t{tracks[t].start} * 2352;
            size_t end = t + 1 < tracks.size() ? size_t{tracks[t + 1].start} * 2352 : disc.size();
            EXPECT_TRUE(wavData(folder, t) == expected.substr(from, end - from)) << "offset " << offset << " track " << t + 1;
        }
        char discId[12];
        std::snprintf(discId, sizeof discId, "%08x", id.id3);
        std::string log = readFile(out(folder + "/" + discId + ".log"));
        EXPECT_NE(log.find("Read offset: " + std::to_string(offset) + " samples"), std::string::npos) << log;
        EXPECT_EQ(count(log, "AccurateRip: accurate (confidence 5)"), tracks.size()) << log;
    }
    EXPECT_EQ(server->paths(), std::vector<std::string>{accurateRipPath(id)}) << "the second rip used the cache";

    // No server now: the record comes from the cache, the offset from the drive model's setting.
    server.reset();
    ProcessResult stored = rip("demo:offset=" + std::to_string(kOffset), {}, "stored");
    ASSERT_EQ(stored.exitCode, 0) << stored.err;
    EXPECT_NE(stored.err.find("from the cache"), std::string::npos) << stored.err;
    EXPECT_EQ(count(stored.out, "accurate (confidence 5)"), tracks.size()) << stored.out;

    // The same drive read without correction: every track's samples are shifted.
    ProcessResult uncorrected = rip("demo:offset=" + std::to_string(kOffset), {"--offset", "0"}, "uncorrected");
    EXPECT_EQ(uncorrected.exitCode, 0) << uncorrected.err;
    EXPECT_EQ(count(uncorrected.out, "not accurate"), tracks.size()) << uncorrected.out;
}

// A normal rip needs the record only for its report: the tracks are read while the server is
// still answering, and the late record still decides every track.
TEST_F(CliAccurateRip, NormalRipReadsTheDiscWhileTheRecordIsFetched)
{
    const AccurateRipDiscId id = demoId();
    FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    const std::string folder = out("overlap");
    server.holdAnswersUntil([folder] { return holdsATrackFile(folder); },
                            15000); // [ms] below the fetch's own time-out, so a fetch made first still gets its answer
    ProcessResult result = rip("demo:", {"--accuraterip-server", server.address()}, "overlap");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(server.answeredWhenReady()) << "the record was fetched before any track was begun";
    EXPECT_EQ(server.paths(), std::vector<std::string>{accurateRipPath(id)});
    EXPECT_EQ(count(result.out, "accurate (confidence 5)"), demoDrive()->disc()->tracks().size()) << result.out;
    EXPECT_NE(result.err.find("AccurateRip: record"), std::string::npos) << result.err;
}

// Secure reading asks the record about each track as it reads it: no file is begun while the
// server holds its answer back.
TEST_F(CliAccurateRip, SecureRipHasTheRecordBeforeItReads)
{
    const AccurateRipDiscId id = demoId();
    FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    const std::string folder = out("secure-first");
    server.holdAnswersUntil([folder] { return holdsATrackFile(folder); }, 3000); // [ms]
    ProcessResult result = rip("demo:", {"--secure", "--accuraterip-server", server.address()}, "secure-first");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(server.answeredWhenReady()) << "a track was begun before the record was there";
    EXPECT_EQ(count(result.out, "accurate (confidence 5)"), demoDrive()->disc()->tracks().size()) << result.out;
}

TEST_F(CliAccurateRip, SecureRipRereadsPastTheDriveCacheOrNamesTheSuspiciousSector)
{
    const AccurateRipDiscId id = demoId();
    FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    const auto& tracks = demoDrive()->disc()->tracks();
    const uint32_t damaged = tracks[1].start + 300; // 4 s into track 2
    char discId[12];
    std::snprintf(discId, sizeof discId, "%08x", id.id3);
    const std::string at = "LBA " + std::to_string(damaged);

    // Damaged on its first two reads (copy and test), behind a drive cache of 64 sectors.
    ProcessResult healed = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--flat", "--out", out("healed"),
                                    "--secure", "--accuraterip-server", server.address()},
                                   {"TONVANE_TEST_FAULTS=cache:64;corrupt:" + std::to_string(damaged) + "x2"});
    ASSERT_EQ(healed.exitCode, 0) << healed.err << healed.out;
    for (size_t t = 0; t < tracks.size(); ++t) {
        uint32_t end = t + 1 < tracks.size() ? tracks[t + 1].start : demoDrive()->disc()->leadOut();
        EXPECT_TRUE(wavData("healed", t) == discPcm(tracks[t].start, end - tracks[t].start)) << "track " << t + 1;
    }
    EXPECT_EQ(count(healed.out, "accurate (confidence 5)"), tracks.size()) << healed.out;
    std::string log = readFile(out("healed/" + std::string(discId) + ".log"));
    uint32_t chunk = tracks[1].start + (damaged - tracks[1].start) / 16 * 16;
    EXPECT_NE(log.find("Re-read LBA " + std::to_string(chunk) + "-" + std::to_string(chunk + 15) +
                       ": 4 reads, two agreed"),
              std::string::npos)
        << log;
    // Only the track AccurateRip did not confirm was read twice.
    EXPECT_EQ(count(log, "Test CRC32"), 1u) << log;
    EXPECT_NE(log.find("Mode: secure"), std::string::npos);

    // Never the same twice: the track is suspicious, exit 1, and the log names the place.
    ProcessResult broken = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--flat", "--out",
                                    out("broken"), "--test-and-copy", "--accuraterip-server", server.address()},
                                   {"TONVANE_TEST_FAULTS=cache:64;corrupt:" + std::to_string(damaged)});
    EXPECT_EQ(broken.exitCode, 1) << broken.err;
    EXPECT_NE(broken.err.find("track 2 is suspicious"), std::string::npos) << broken.err;
    EXPECT_NE(broken.out.find("suspicious"), std::string::npos) << broken.out;
    std::string brokenLog = readFile(out("broken/" + std::string(discId) + ".log"));
    EXPECT_NE(brokenLog.find("Suspicious positions: 00:04:00 (" + at + ")"), std::string::npos) << brokenLog;
    EXPECT_EQ(count(brokenLog, "Test CRC32"), tracks.size()) << brokenLog;
}

// The log names the drive cache a secure rip read past: timed on the emulated drive (its reads
// from the disc take the emulated time, re-reads from its cache none), or given.
TEST_F(CliAccurateRip, LogNamesTheDriveCacheMeasuredOrGiven)
{
    char discId[12];
    std::snprintf(discId, sizeof discId, "%08x", demoId().id3);
    const std::string faults = "TONVANE_TEST_FAULTS=speed:16000;cache:" + std::to_string((8u << 20) / 2352);
    struct Case {
        const char* name;
        std::vector<std::string> options;
        const char* line; // of the log
    } cases[] = {
        {"measured", {"--test-and-copy"}, "Drive cache: 8 MiB (measured; re-reads read past 16 MiB)\n"},
        {"given", {"--secure", "--drive-cache", "6"}, "Drive cache: 6 MiB (--drive-cache)\n"},
        {"one read", {}, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--tracks",
                                              "1", "--flat", "--out", out(c.name)};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ProcessResult result = tonvane(arguments, {faults});
        ASSERT_EQ(result.exitCode, 0) << c.name << "\n" << result.err;
        EXPECT_TRUE(wavData(c.name, 0) == discPcm(0, demoDrive()->disc()->tracks()[1].start)) << c.name;
        std::string log = readFile(out(std::string(c.name) + "/" + discId + ".log"));
        if (c.line) {
            EXPECT_NE(log.find(c.line), std::string::npos) << c.name << "\n" << log;
        } else {
            EXPECT_EQ(log.find("Drive cache"), std::string::npos) << log;
        }
    }
}

// A drive sector that never reads, with a read offset: the two disc sectors built from it are
// silence in the file, and that is the count the rip reports and logs.
TEST_F(CliAccurateRip, UnreadableCountIsTheSilenceInTheFileWithAReadOffset)
{
    const auto& tracks = demoDrive()->disc()->tracks();
    const uint32_t bad = tracks[1].start + 100; // [drive LBA]
    char discId[12];
    std::snprintf(discId, sizeof discId, "%08x", demoId().id3);
    // The same rip without the fault is the oracle.
    ProcessResult clean = rip("demo:offset=" + std::to_string(kOffset), {"--offset", std::to_string(kOffset), "--tracks", "2"},
                              "clean");
    ASSERT_EQ(clean.exitCode, 0) << clean.err;
    ProcessResult damaged = tonvane({"rip", "--drive", "demo:offset=" + std::to_string(kOffset), "--no-lookup", "--format",
                                     "wav", "--flat", "--out", out("damaged"), "--offset", std::to_string(kOffset), "--tracks", "2"},
                                    {"TONVANE_TEST_FAULTS=read:" + std::to_string(bad)});
    EXPECT_EQ(damaged.exitCode, 1) << damaged.err;
    EXPECT_NE(damaged.err.find("track 2: 2 unreadable sector(s) written as silence"), std::string::npos) << damaged.err;
    std::string log = readFile(out("damaged/" + std::string(discId) + ".log"));
    EXPECT_NE(log.find("Unreadable sectors (silence in the file): 2\n"), std::string::npos) << log;
    // Disc sectors bad - 2 and bad - 1 hold drive sector bad's samples: the track is not whole,
    // so it leaves no file (and no temporary one) under its name.
    EXPECT_FALSE(fileExists(out("damaged/Track 2.Wav")));
    EXPECT_FALSE(fileExists(out("damaged/.Track 2.Wav.part")));
    EXPECT_FALSE(wavData("clean", 1).empty());
}

TEST_F(CliAccurateRip, CueSheetPutsEachPregapAtTheEndOfThePreviousFile)
{
    ProcessResult result = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", "wav", "--flat", "--out",
                                    out("cue"), "--no-accuraterip"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto& tracks = demoDrive()->disc()->tracks();
    char discId[12];
    std::snprintf(discId, sizeof discId, "%08x", demoId().id3);
    std::string cuePath = out("cue/" + std::string(discId) + ".cue");
    std::string cue = readFile(cuePath);
    // Track 2's 150-sector pregap (2 s) is the last 2 s of the file of track 1, which runs to
    // track 2's INDEX 01.
    uint32_t file1 = tracks[1].start - tracks[0].start;
    ASSERT_EQ(tracks[1].pregap, 150u);
    char index00[32];
    std::snprintf(index00, sizeof index00, "INDEX 00 %02u:%02u:%02u", (file1 - 150) / 4500, (file1 - 150) / 75 % 60,
                  (file1 - 150) % 75);
    EXPECT_NE(cue.find("FILE \"Track 1.Wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    " +
                       std::string(index00) + "\nFILE \"Track 2.Wav\" WAVE\n    INDEX 01 00:00:00\n"),
              std::string::npos)
        << cue;
    std::string log = readFile(out("cue/" + std::string(discId) + ".log"));
    EXPECT_EQ(count(log, "Gap: 00:02:00"), 3u) << log;

    // cuetools reads it back: track 2 begins (with its pregap) in the first file at that time.
    if (::access("/usr/bin/cueconvert", X_OK) != 0)
        GTEST_SKIP() << "cuetools is not installed";
    ProcessResult converted = runProcess("/usr/bin/cueconvert", {"-i", "cue", "-o", "toc", cuePath});
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    EXPECT_NE(converted.out.find("FILE \"Track 1.Wav\" " + std::string(index00 + 9)), std::string::npos)
        << converted.out;
}

TEST_F(CliAccurateRip, OffsetCommandFindsTheDrivesOffset)
{
    const AccurateRipDiscId id = demoId();
    FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    for (int32_t offset : {kOffset, -48, 0}) {
        ProcessResult found = tonvane({"offset", "--drive", "demo:offset=" + std::to_string(offset),
                                       "--accuraterip-server", server.address()});
        ASSERT_EQ(found.exitCode, 0) << found.err << found.out;
        char expected[64];
        std::snprintf(expected, sizeof expected, "Read offset: %+d samples (4 track(s) agree)", offset);
        EXPECT_NE(found.out.find(expected), std::string::npos) << found.out;
        EXPECT_EQ(found.out.find("Track"), std::string::npos) << found.out; // the answer, not the candidates
    }
    FakeHttpServer empty("/nothing", "");
    std::filesystem::remove_all(m_config.path() + "/cache"); // forget the record
    ProcessResult unknown = tonvane({"offset", "--drive", "demo:", "--accuraterip-server", empty.address()});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("no record of this disc"), std::string::npos) << unknown.err;
}

// A disc image of 600-sector tracks whose sectors 440-460 hold what each case needs, with the
// AccurateRip record of its sector-450 checksums served for it.
TEST_F(CliAccurateRip, OffsetCommandNeedsUniqueMatchesOfAudio)
{
    constexpr uint32_t kTrackSectors = 600;
    enum class Fill { Silence, Steady, Music };
    struct Case {
        const char* name;
        std::vector<Fill> tracks;
        int exitCode;
        const char* expected; // in the output (0) or on standard error (1)
    } cases[] = {
        // Silence matches every offset's zero checksum; a steady level matches every offset too.
        {"silent sector 450", {Fill::Silence, Fill::Silence}, 1, "cannot be found with this disc"},
        {"ambiguous window", {Fill::Steady, Fill::Silence}, 1, "cannot be found with this disc"},
        {"one track of music", {Fill::Silence, Fill::Music, Fill::Steady}, 0, "Read offset: +0 samples (1 track(s) agree)"},
    };
    for (const Case& c : cases) {
        std::string bin;
        uint32_t seed = 1;
        for (Fill fill : c.tracks) {
            for (uint32_t word = 0; word < kTrackSectors * 588; ++word) {
                seed = seed * 1103515245u + 12345u;
                uint32_t sample = fill == Fill::Music ? seed : fill == Fill::Steady ? 0x10001000u : 0u;
                putLe32(bin, sample);
            }
        }
        std::string cue = "FILE \"disc.bin\" BINARY\n";
        for (size_t t = 0; t < c.tracks.size(); ++t) {
            uint32_t at = static_cast<uint32_t>(t) * kTrackSectors;
            char line[96];
            std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\n    INDEX 01 %02u:%02u:%02u\n", t + 1, at / 4500,
                          at / 75 % 60, at % 75);
            cue += line;
        }
        std::filesystem::create_directories(path(c.name));
        writeFile(path(std::string(c.name) + "/disc.bin"), bin);
        writeFile(path(std::string(c.name) + "/disc.cue"), cue);
        std::vector<DiscIdTrack> ids;
        for (size_t t = 0; t < c.tracks.size(); ++t)
            ids.push_back({static_cast<uint32_t>(t) * kTrackSectors, true});
        AccurateRipDiscId id = *accurateRipDiscId(ids, static_cast<uint32_t>(c.tracks.size()) * kTrackSectors);
        std::string record;
        record.push_back(static_cast<char>(id.audioTracks));
        putLe32(record, id.id1);
        putLe32(record, id.id2);
        putLe32(record, id.id3);
        for (size_t t = 0; t < c.tracks.size(); ++t) {
            record.push_back(3);
            putLe32(record, 0x12345678);
            size_t sector450 = (t * kTrackSectors + 450) * 2352;
            putLe32(record, sectorChecksum(reinterpret_cast<const uint8_t*>(bin.data()) + sector450));
        }
        FakeHttpServer server(accurateRipPath(id), record);
        std::filesystem::remove_all(m_config.path() + "/cache"); // discs of one layout share an id
        ProcessResult result = tonvane({"offset", "--drive", "image:" + path(std::string(c.name) + "/disc.cue"),
                                        "--accuraterip-server", server.address(), "--verbose"});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.name << "\n" << result.err << result.out;
        EXPECT_NE((c.exitCode == 0 ? result.out : result.err).find(c.expected), std::string::npos)
            << c.name << "\n" << result.err << result.out;
        EXPECT_EQ(count(result.out, "Read offset"), c.exitCode == 0 ? 1u : 0u) << c.name;
        // --verbose names what each track showed.
        EXPECT_EQ(count(result.out, "only silence matches"),
                  size_t(std::count(c.tracks.begin(), c.tracks.end(), Fill::Silence)))
            << c.name << "\n" << result.out;
        EXPECT_EQ(count(result.out, "ambiguous, matches at -2939 -2938"),
                  size_t(std::count(c.tracks.begin(), c.tracks.end(), Fill::Steady)))
            << c.name << "\n" << result.out;
        // Nothing was stored for the drive model: a rip still reads without correction.
        EXPECT_EQ(readFile(m_config.path() + "/tonvane/settings.reg").find("ReadOffset"), std::string::npos);
    }
}

// Track 1 starts 2 s into the disc, with audio before it: the sheet keeps that place as track
// 1's PREGAP, the log as its gap, and verify lays the disc out from it to find the record.
TEST_F(CliAccurateRip, PregapBeforeTheFirstTrackIsKeptAndVerified)
{
    constexpr uint32_t kHidden = 150, kTrack = 600; // [sectors]
    std::string bin;
    uint32_t seed = 7;
    for (uint32_t word = 0; word < (kHidden + 2 * kTrack) * 588; ++word) {
        seed = seed * 1103515245u + 12345u;
        putLe32(bin, seed);
    }
    std::filesystem::create_directories(path("hidden"));
    writeFile(path("hidden/disc.bin"), bin);
    writeFile(path("hidden/disc.cue"), "FILE \"disc.bin\" BINARY\n"
                                        "  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:10:00\n");
    const std::vector<DiscIdTrack> starts = {{kHidden, true}, {kHidden + kTrack, true}};
    AccurateRipDiscId id = *accurateRipDiscId(starts, kHidden + 2 * kTrack);
    std::string record;
    record.push_back(2);
    putLe32(record, id.id1);
    putLe32(record, id.id2);
    putLe32(record, id.id3);
    for (uint32_t t = 0; t < 2; ++t) {
        const uint8_t* pcm = reinterpret_cast<const uint8_t*>(bin.data()) + size_t(kHidden + t * kTrack) * 2352;
        AccurateRipChecksum checksum(size_t{kTrack} * 588, t == 0, t == 1);
        checksum.feed(pcm, size_t{kTrack} * 2352);
        record.push_back(5);
        putLe32(record, checksum.v1());
        putLe32(record, sectorChecksum(pcm + 450 * 2352));
    }
    FakeHttpServer server(accurateRipPath(id), record);
    for (const char* format : {"flac", "wav"}) {
        std::string folder = out(std::string("hidden-") + format);
        ProcessResult ripped = tonvane({"rip", "--drive", "image:" + path("hidden/disc.cue"), "--no-lookup", "--format",
                                        format, "--flat", "--out", folder, "--accuraterip-server", server.address()});
        ASSERT_EQ(ripped.exitCode, 0) << ripped.err << ripped.out;
        EXPECT_EQ(count(ripped.out, "accurate (confidence 5)"), 2u) << ripped.out;
        char discId[12];
        std::snprintf(discId, sizeof discId, "%08x", id.id3);
        std::string cue = readFile(folder + "/" + discId + ".cue");
        EXPECT_NE(cue.find("  TRACK 01 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n"), std::string::npos) << cue;
        std::string log = readFile(folder + "/" + discId + ".log");
        EXPECT_NE(log.find("Track 1\n  File: Track 1." + std::string(format[0] == 'f' ? "flac" : "Wav") +
                           "\n  Start: 150, length 600 sectors\n  Gap: 00:02:00 (in no file"),
                  std::string::npos)
            << log;

        ProcessResult verified = tonvane({"verify", folder, "--accuraterip-server", server.address()});
        EXPECT_EQ(verified.exitCode, 0) << verified.err << verified.out;
        EXPECT_EQ(count(verified.out, "accurate (confidence 5)"), 2u) << verified.out;
    }
}

TEST_F(CliAccurateRip, VerifyChecksAnEarlierRipsFilesAndFindsADamagedOne)
{
    const AccurateRipDiscId id = demoId();
    FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    for (const char* format : {"flac", "wav"}) {
        std::string folder = out(format);
        ProcessResult ripped = tonvane({"rip", "--drive", "demo:", "--no-lookup", "--format", format, "--flat", "--out", folder,
                                        "--accuraterip-server", server.address()});
        ASSERT_EQ(ripped.exitCode, 0) << ripped.err;
        ProcessResult verified = tonvane({"verify", folder, "--accuraterip-server", server.address()});
        EXPECT_EQ(verified.exitCode, 0) << verified.err << verified.out;
        EXPECT_EQ(count(verified.out, "accurate (confidence 5)"), 4u) << format << "\n" << verified.out;
    }
    // One sample of track 2 changed: that track, and only that one, is not accurate.
    std::string path = out("wav/Track 2.Wav");
    std::string file = readFile(path);
    file[44 + 2352 * 700] ^= 0x01;
    writeFile(path, file);
    ProcessResult damaged = tonvane({"verify", out("wav"), "--accuraterip-server", server.address()});
    EXPECT_EQ(damaged.exitCode, 1) << damaged.err;
    EXPECT_EQ(count(damaged.out, "accurate (confidence 5)"), 3u) << damaged.out;
    EXPECT_NE(damaged.out.find("    2  not accurate"), std::string::npos) << damaged.out;

    ProcessResult nothing = tonvane({"verify", out("nowhere")});
    EXPECT_EQ(nothing.exitCode, 2);
    EXPECT_NE(nothing.err.find("nowhere"), std::string::npos) << nothing.err;
}
