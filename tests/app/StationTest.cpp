// `tonvane station` fed discs through watched folders, as a person feeding drives would, and
// stopped with a signal: the files, the decoded audio, the events, the attention list.
#include "CliFixture.h"
#include "FakeCddbServer.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

using namespace tonvane;
using namespace tonvane::test;
namespace fs = std::filesystem;

namespace {

const std::string kBinary = std::string(TONVANE_BINARY_DIR) + "/app/tonvane";
constexpr int kStationTimeoutMs = 240000; // [ms] a bound for a stuck station, never reached when it works
constexpr uint32_t kSectorBytes = 2352;

// A disc image of tracks of the given lengths [sectors]: bytes from a seeded generator, so each
// disc sounds different and is known to the byte.
struct DiscImage {
    std::string bin;
    std::vector<uint32_t> lengths;

    std::string track(size_t i) const
    {
        uint32_t start = 0;
        for (size_t k = 0; k < i; ++k)
            start += lengths[k];
        return bin.substr(size_t{start} * kSectorBytes, size_t{lengths[i]} * kSectorBytes);
    }
};

DiscImage makeDisc(std::vector<uint32_t> lengths, uint32_t seed)
{
    DiscImage disc{{}, lengths};
    uint32_t total = 0;
    for (uint32_t length : lengths)
        total += length;
    disc.bin.resize(size_t{total} * kSectorBytes);
    uint32_t state = seed * 2654435761u + 1;
    for (char& byte : disc.bin) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return disc;
}

std::string msf(uint32_t sectors)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", sectors / 4500, sectors / 75 % 60, sectors % 75);
    return text;
}

// Writes the BIN and then the sheet (the order a copy of a folder usually takes).
void feed(const std::string& folder, const std::string& name, const DiscImage& disc, const std::string& extra = "")
{
    writeFile(folder + "/" + name + ".bin", disc.bin);
    std::string sheet = extra + "FILE \"" + name + ".bin\" BINARY\n";
    uint32_t start = 0;
    for (size_t i = 0; i < disc.lengths.size(); ++i) {
        char track[64];
        std::snprintf(track, sizeof track, "  TRACK %02zu AUDIO\n    INDEX 01 %s\n", i + 1, msf(start).c_str());
        sheet += track;
        start += disc.lengths[i];
    }
    writeFile(folder + "/" + name + ".cue", sheet);
}

std::vector<nlohmann::json> readEvents(const std::string& path)
{
    std::vector<nlohmann::json> events;
    std::istringstream lines(fileExists(path) ? readFile(path) : std::string());
    std::string line;
    while (std::getline(lines, line)) {
        nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
        EXPECT_FALSE(event.is_discarded()) << "not JSON: " << line;
        if (!event.is_discarded())
            events.push_back(event);
    }
    return events;
}

size_t countEvents(const std::vector<nlohmann::json>& events, const std::string& kind)
{
    size_t count = 0;
    for (const nlohmann::json& event : events)
        count += event.value("event", "") == kind ? 1 : 0;
    return count;
}

// The raw PCM of a FLAC file, decoded by the reference tool.
std::string decodeFlac(const std::string& path)
{
    ProcessResult decoded = runProcess("/usr/bin/flac", {"-d", "-s", "-c", "--force-raw-format", "--endian=little",
                                                         "--sign=signed", path});
    EXPECT_EQ(decoded.exitCode, 0) << path << ": " << decoded.err;
    return decoded.out;
}

std::vector<std::string> filesWithExtension(const std::string& folder, const std::string& extension)
{
    std::vector<std::string> files;
    if (!fs::is_directory(folder))
        return files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.size() > extension.size() && lower.ends_with(extension))
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every file below folder whose name says it is unfinished.
std::vector<std::string> leftovers(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.ends_with(".part") || name.find(".tmp") != std::string::npos)
            found.push_back(entry.path().string());
    }
    return found;
}

class Station : public CliRun {
protected:
    // Starts the station on the folders (each a watched drive), events into a file.
    std::unique_ptr<RunningProcess> start(const std::vector<std::string>& folders, std::vector<std::string> extra = {},
                                          const std::string& limit = "")
    {
        std::vector<std::string> arguments;
        if (!limit.empty())
            arguments = {"--fsize=" + limit, kBinary};
        arguments.push_back("station");
        for (const std::string& folder : folders) {
            fs::create_directories(folder);
            arguments.push_back("--drive");
            arguments.push_back("watch:" + folder);
        }
        arguments.insert(arguments.end(), {"--out", out(""), "--format", "flac", "--events", eventsPath()});
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + m_config.path(),
                                                "XDG_CACHE_HOME=" + m_config.path() + "/cache",
                                                "PATH=" + path("bin") + ":/usr/bin:/bin"};
        return std::make_unique<RunningProcess>(limit.empty() ? kBinary : "/usr/bin/prlimit", arguments, environment);
    }
    std::string eventsPath() const { return path("events.jsonl"); }

    // Waits until the events show count events of kind (or the station ends).
    std::vector<nlohmann::json> waitForEvents(RunningProcess& process, const std::string& kind, size_t count)
    {
        for (int waited = 0; waited < kStationTimeoutMs; waited += 100) {
            std::vector<nlohmann::json> seen = readEvents(eventsPath());
            if (countEvents(seen, kind) >= count)
                return seen;
            process.outSoFar();
            ::usleep(100000);
        }
        ADD_FAILURE() << "no " << count << " '" << kind << "' events:\n" << readFile(eventsPath());
        return readEvents(eventsPath());
    }

    // A notify-send of our own on PATH, writing what it was asked to show.
    void fakeNotifySend()
    {
        fs::create_directories(path("bin"));
        writeFile(path("bin/notify-send"), "#!/bin/sh\nprintf '%s|' \"$@\" >> " + path("notices") + "\necho >> " +
                                               path("notices") + "\n");
        fs::permissions(path("bin/notify-send"), fs::perms::owner_all);
    }
};

std::string unknownFolderOf(const std::vector<nlohmann::json>& events, const std::string& sheet)
{
    for (const nlohmann::json& event : events)
        if (event.value("event", "") == "done" && event.value("disc", "") == "image:" + sheet)
            return event.value("folder", "");
    return {};
}

} // namespace

TEST_F(Station, ThreeWatchedDrivesRipFiveDiscsExactlySkipTheTwinAndListTheDamagedOne)
{
    fakeNotifySend();
    std::vector<std::string> folders = {path("drive1"), path("drive2"), path("drive3")};
    auto station = start(folders, {"--no-lookup"});

    // Five discs fed while the station watches: a, b, c whole; d with a sector no read
    // delivers; a2 a copy of a under another name, fed to a's drive after it.
    DiscImage a = makeDisc({600, 450}, 1), b = makeDisc({525, 300, 380}, 2), c = makeDisc({900}, 3),
              d = makeDisc({400, 500}, 4);
    feed(folders[0], "a", a);
    feed(folders[1], "b", b);
    feed(folders[2], "c", c);
    uint32_t damaged = 450; // [LBA] in d's second track
    feed(folders[1], "d", d, "REM TONVANE UNREADABLE " + std::to_string(damaged) + "\n");
    waitForEvents(*station, "ejected", 1);
    feed(folders[0], "z-a-again", a);

    std::vector<nlohmann::json> events = waitForEvents(*station, "ejected", 5);
    ::kill(station->pid(), SIGINT);
    ProcessResult result = station->wait(kStationTimeoutMs);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_NE(result.out.find("Station: 5 disc(s): 3 whole, 1 need attention, 1 skipped, 0 failed"), std::string::npos)
        << result.out;
    events = readEvents(eventsPath());

    // Every disc ejected: its sheet renamed, none left to rip.
    for (auto [folder, name] : std::vector<std::pair<std::string, std::string>>{
             {folders[0], "a"}, {folders[1], "b"}, {folders[2], "c"}, {folders[1], "d"}, {folders[0], "z-a-again"}}) {
        EXPECT_TRUE(fileExists(folder + "/" + name + ".cue.done")) << name;
        EXPECT_FALSE(fileExists(folder + "/" + name + ".cue")) << name;
    }

    // Each whole album decodes to its image, track by track, in a folder of its own.
    std::set<std::string> albumFolders;
    for (auto [sheet, disc] : std::vector<std::pair<std::string, const DiscImage*>>{
             {folders[0] + "/a.cue", &a}, {folders[1] + "/b.cue", &b}, {folders[2] + "/c.cue", &c}}) {
        std::string folder = unknownFolderOf(events, sheet);
        ASSERT_FALSE(folder.empty()) << sheet;
        EXPECT_TRUE(folder.starts_with(out("Unknown disc "))) << folder;
        albumFolders.insert(folder);
        std::vector<std::string> flacs = filesWithExtension(folder, ".flac");
        ASSERT_EQ(flacs.size(), disc->lengths.size()) << folder;
        for (size_t i = 0; i < flacs.size(); ++i)
            EXPECT_TRUE(decodeFlac(flacs[i]) == disc->track(i)) << flacs[i];
        EXPECT_EQ(filesWithExtension(folder, ".log").size(), 1u) << folder;
        EXPECT_EQ(filesWithExtension(folder, ".cue").size(), 1u) << folder;
    }
    EXPECT_EQ(albumFolders.size(), 3u);

    // The damaged disc: its second track failed and left no file; the list names its folder.
    std::string damagedFolder = unknownFolderOf(events, folders[1] + "/d.cue");
    ASSERT_FALSE(damagedFolder.empty());
    std::vector<std::string> dFiles = filesWithExtension(damagedFolder, ".flac");
    ASSERT_EQ(dFiles.size(), 1u);
    EXPECT_TRUE(decodeFlac(dFiles[0]) == d.track(0));
    std::string attention = readFile(out("needs-attention.txt"));
    EXPECT_EQ(attention.find(damagedFolder + "\t"), 0u) << attention;
    EXPECT_NE(attention.find("failed (track 2)"), std::string::npos) << attention;
    EXPECT_EQ(std::count(attention.begin(), attention.end(), '\n'), 1) << attention;
    EXPECT_TRUE(leftovers(out("")).empty());

    // The events: in order, and per disc arrived -> matched -> tracks -> done -> ejected.
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i].value("seq", 0u), i + 1) << events[i].dump();
    std::map<std::string, std::vector<std::string>> perDisc;
    for (const nlohmann::json& event : events)
        if (event.contains("disc"))
            perDisc[event["disc"].get<std::string>()].push_back(event["event"].get<std::string>());
    std::vector<std::string> whole = {"arrived", "matched", "track", "track", "done", "ejected"};
    EXPECT_EQ(perDisc["image:" + folders[0] + "/a.cue"], whole);
    EXPECT_EQ(perDisc["image:" + folders[1] + "/d.cue"], whole);
    EXPECT_EQ(perDisc["image:" + folders[0] + "/z-a-again.cue"], (std::vector<std::string>{"arrived", "done", "ejected"}));
    for (const nlohmann::json& event : events) {
        if (event.value("event", "") == "done" && event.value("disc", "").ends_with("z-a-again.cue")) {
            EXPECT_EQ(event.value("result", ""), "skipped");
            EXPECT_TRUE(event.value("log", "").starts_with(unknownFolderOf(events, folders[0] + "/a.cue")));
        }
        if (event.value("event", "") == "track" && event.value("disc", "").ends_with("/d.cue") && event["track"] == 2) {
            EXPECT_EQ(event.value("status", ""), "FAILED");
            EXPECT_EQ(event.value("unreadable", 0), 1);
        }
    }

    // A notice per disc, the damaged one as needing attention.
    std::string notices = readFile(path("notices"));
    EXPECT_EQ(std::count(notices.begin(), notices.end(), '\n'), 4) << notices;
    EXPECT_NE(notices.find("Disc needs attention|"), std::string::npos) << notices;
}

TEST_F(Station, ABrokenSheetAndAServerThatNeverAnswersDoNotHoldTheOtherDrives)
{
    // The CDDB server takes the connection and never says a word; MusicBrainz is refused.
    FakeCddbServer silent({"Never / Seen"});
    silent.hold(true);
    std::vector<std::string> folders = {path("broken"), path("fine")};
    auto station = start(folders, {"--server", "127.0.0.1:" + std::to_string(silent.port()), "--musicbrainz-server",
                                   "http://127.0.0.1:1"});
    writeFile(folders[0] + "/lost.cue", "FILE \"lost.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    DiscImage disc = makeDisc({500, 420}, 7);
    feed(folders[1], "fine", disc);

    waitForEvents(*station, "ejected", 2);
    ::kill(station->pid(), SIGTERM);
    ProcessResult result = station->wait(kStationTimeoutMs);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 143) << result.err;
    EXPECT_NE(result.out.find("Station: 2 disc(s): 1 whole, 1 need attention, 0 skipped, 1 failed"), std::string::npos)
        << result.out;
    std::vector<nlohmann::json> events = readEvents(eventsPath());

    // The broken sheet: an error naming the missing BIN, listed, put aside.
    bool errorSeen = false;
    for (const nlohmann::json& event : events)
        errorSeen = errorSeen || (event.value("event", "") == "error" && event.value("message", "").find("lost.bin") != std::string::npos);
    EXPECT_TRUE(errorSeen) << readFile(eventsPath());
    EXPECT_TRUE(fileExists(folders[0] + "/lost.cue.done"));
    std::string attention = readFile(out("needs-attention.txt"));
    EXPECT_EQ(attention.find("-\t"), 0u) << attention;
    EXPECT_NE(attention.find("lost.bin"), std::string::npos) << attention;

    // The other disc waited out the lookup, was ripped as unknown and is exact.
    std::string folder = unknownFolderOf(events, folders[1] + "/fine.cue");
    EXPECT_TRUE(folder.starts_with(out("Unknown disc "))) << folder;
    std::vector<std::string> flacs = filesWithExtension(folder, ".flac");
    ASSERT_EQ(flacs.size(), 2u);
    EXPECT_TRUE(decodeFlac(flacs[0]) == disc.track(0));
    EXPECT_TRUE(decodeFlac(flacs[1]) == disc.track(1));
    for (const nlohmann::json& event : events) {
        if (event.value("event", "") == "matched") {
            EXPECT_EQ(event.value("source", ""), "none") << event.dump();
        }
    }
    std::string log = readFile(filesWithExtension(folder, ".log").at(0));
    EXPECT_NE(log.find("Note: CDDB lookup failed"), std::string::npos) << log;
}

TEST_F(Station, SignalInTheMiddleStopsEveryDriveLeavesOnlyWholeFilesAndKeepsTheDiscs)
{
    std::vector<std::string> folders = {path("slow1"), path("slow2")};
    auto station = start(folders, {"--no-lookup", "--normal"});
    // 2x drives: each disc takes about ten seconds to read.
    DiscImage first = makeDisc({700, 800}, 11), second = makeDisc({750, 760}, 12);
    feed(folders[0], "one", first, "REM TONVANE SPEED 150\n");
    feed(folders[1], "two", second, "REM TONVANE SPEED 150\n");
    waitForEvents(*station, "matched", 2);
    ::usleep(1500000);
    ::kill(station->pid(), SIGINT);
    ProcessResult result = station->wait(kStationTimeoutMs);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_NE(result.out.find("Station: 2 disc(s): 0 whole, 2 need attention"), std::string::npos) << result.out;

    // Nothing unfinished anywhere, nothing ejected: the sheets wait for the next start.
    EXPECT_TRUE(leftovers(out("")).empty());
    EXPECT_TRUE(fileExists(folders[0] + "/one.cue"));
    EXPECT_TRUE(fileExists(folders[1] + "/two.cue"));
    std::vector<nlohmann::json> events = readEvents(eventsPath());
    EXPECT_EQ(countEvents(events, "ejected"), 0u);
    // Whatever file is there is a whole track; the logs say the rip was interrupted.
    for (auto [sheet, disc] : std::vector<std::pair<std::string, const DiscImage*>>{
             {folders[0] + "/one.cue", &first}, {folders[1] + "/two.cue", &second}}) {
        std::string folder = unknownFolderOf(events, sheet);
        ASSERT_FALSE(folder.empty()) << sheet;
        for (const std::string& flac : filesWithExtension(folder, ".flac")) {
            std::string pcm = decodeFlac(flac);
            EXPECT_TRUE(pcm == disc->track(0) || pcm == disc->track(1)) << flac;
        }
        std::string log = readFile(filesWithExtension(folder, ".log").at(0));
        EXPECT_NE(log.find("Interrupted:"), std::string::npos);
    }

    // Started again, the station rips both discs whole: an interrupted log is no reason to skip.
    auto again = start(folders, {"--no-lookup", "--normal"});
    waitForEvents(*again, "ejected", 2);
    ::kill(again->pid(), SIGINT);
    ProcessResult secondRun = again->wait(kStationTimeoutMs);
    EXPECT_NE(secondRun.out.find("Station: 2 disc(s): 2 whole"), std::string::npos) << secondRun.out;
}

TEST_F(Station, AStopDuringALookupOnASilentServerEndsTheLookupAtOnce)
{
    // The CDDB server takes the connection and never says a word: the lookup would wait out the
    // client's 30 s. A stop in its middle must end it, not wait.
    FakeCddbServer silent({"Never / Seen"});
    silent.hold(true);
    std::vector<std::string> folders = {path("waiting")};
    auto station = start(folders, {"--server", "127.0.0.1:" + std::to_string(silent.port()), "--musicbrainz-server",
                                   "http://127.0.0.1:1"});
    feed(folders[0], "waiting", makeDisc({500}, 9));
    waitForEvents(*station, "arrived", 1);
    ::usleep(1500000); // into the lookup
    ::kill(station->pid(), SIGTERM);
    constexpr int kWellBeforeTheLookupTimeoutMs = 15000; // [ms] half the CDDB client's 30 s
    ProcessResult result = station->wait(kWellBeforeTheLookupTimeoutMs);
    ASSERT_FALSE(result.timedOut) << "the stop waited for the silent server";
    EXPECT_EQ(result.exitCode, 143) << result.err;
    std::vector<nlohmann::json> events = readEvents(eventsPath());
    EXPECT_EQ(countEvents(events, "ejected"), 0u) << "the disc stays for the next start";
    EXPECT_TRUE(fileExists(folders[0] + "/waiting.cue"));
}

TEST_F(Station, AFullDiskFailsTheTracksLeavesNoHalfFileAndTheNextDiscStillComes)
{
    // Files may not grow past 300 KB: every FLAC track of these discs is larger.
    std::vector<std::string> folders = {path("full")};
    auto station = start(folders, {"--no-lookup", "--normal"}, "307200");
    feed(folders[0], "big", makeDisc({800}, 21));
    waitForEvents(*station, "ejected", 1);
    feed(folders[0], "big2", makeDisc({820}, 22));
    waitForEvents(*station, "ejected", 2);
    ::kill(station->pid(), SIGINT);
    ProcessResult result = station->wait(kStationTimeoutMs);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_NE(result.out.find("Station: 2 disc(s): 0 whole, 2 need attention, 0 skipped, 2 failed"), std::string::npos)
        << result.out;
    EXPECT_TRUE(leftovers(out("")).empty());
    std::vector<nlohmann::json> events = readEvents(eventsPath());
    for (const nlohmann::json& event : events) {
        if (event.value("event", "") == "done") {
            EXPECT_EQ(event.value("result", ""), "failed") << event.dump();
            EXPECT_TRUE(filesWithExtension(event.value("folder", ""), ".flac").empty()) << event.dump();
        }
    }
    std::string attention = readFile(out("needs-attention.txt"));
    EXPECT_EQ(std::count(attention.begin(), attention.end(), '\n'), 2) << attention;
}

TEST_F(Station, AnExactCddbMatchNamesTheFolderTwoDiscsOfOneNameGetTwoFoldersAndTheLogSaysWhy)
{
    FakeCddbServer cddb({"One", "Two"});
    std::vector<std::string> folders = {path("left"), path("right")};
    auto station = start(folders, {"--metadata", "cddb", "--server", "127.0.0.1:" + std::to_string(cddb.port())});
    DiscImage first = makeDisc({500, 400}, 31), second = makeDisc({450, 430}, 32);
    feed(folders[0], "first", first);
    feed(folders[1], "second", second);
    std::vector<nlohmann::json> events = waitForEvents(*station, "ejected", 2);
    ::kill(station->pid(), SIGINT);
    ProcessResult result = station->wait(kStationTimeoutMs);
    EXPECT_EQ(result.exitCode, 130) << result.err;

    std::set<std::string> folderNames;
    for (auto [sheet, disc] : std::vector<std::pair<std::string, const DiscImage*>>{
             {folders[0] + "/first.cue", &first}, {folders[1] + "/second.cue", &second}}) {
        std::string folder = unknownFolderOf(events, sheet);
        folderNames.insert(folder);
        std::vector<std::string> flacs = filesWithExtension(folder, ".flac");
        ASSERT_EQ(flacs.size(), 2u) << folder;
        EXPECT_EQ(fs::path(flacs[0]).filename(), "01 - One.flac");
        EXPECT_TRUE(decodeFlac(flacs[0]) == disc->track(0));
        EXPECT_TRUE(decodeFlac(flacs[1]) == disc->track(1));
        std::string log = readFile(filesWithExtension(folder, ".log").at(0));
        EXPECT_NE(log.find("Note: match: CDDB Demo Artist / Demo Album (2024), an exact CDDB match\n"), std::string::npos)
            << log;
    }
    EXPECT_EQ(folderNames, (std::set<std::string>{out("Demo Artist/Demo Album"), out("Demo Artist/Demo Album (2)")}));
    for (const nlohmann::json& event : events) {
        if (event.value("event", "") == "matched") {
            EXPECT_EQ(event.value("source", ""), "cddb");
            EXPECT_EQ(event.value("album", ""), "Demo Artist / Demo Album");
        }
    }
}

TEST_F(Station, ADriveThatLosesItsDiscIsAccountedForAndTheOtherDriveGoesOn)
{
    // The demo drive loses its disc after 2000 sectors; a watched folder beside it.
    std::vector<std::string> folders = {path("other")};
    fs::create_directories(folders[0]);
    std::vector<std::string> arguments = {"station", "--drive", "demo:", "--drive", "watch:" + folders[0], "--no-lookup",
                                          "--out", out(""), "--format", "flac", "--events", eventsPath()};
    RunningProcess station(kBinary, arguments,
                           {"XDG_CONFIG_HOME=" + m_config.path(), "XDG_CACHE_HOME=" + m_config.path() + "/cache",
                            "TONVANE_TEST_FAULTS=remove:2000"});
    DiscImage disc = makeDisc({520, 410}, 41);
    feed(folders[0], "kept", disc);
    std::vector<nlohmann::json> events = waitForEvents(station, "done", 2);
    ::kill(station.pid(), SIGINT);
    ProcessResult result = station.wait(kStationTimeoutMs);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_NE(result.out.find("Station: 2 disc(s): 1 whole, 1 need attention"), std::string::npos) << result.out;
    events = readEvents(eventsPath());
    for (const nlohmann::json& event : events) {
        if (event.value("event", "") != "done")
            continue;
        if (event.value("drive", "") == "demo:") {
            EXPECT_NE(event.value("result", ""), "whole") << event.dump();
            EXPECT_GT(event.value("failed", 0), 0) << event.dump();
            EXPECT_NE(readFile(out("needs-attention.txt")).find(event.value("folder", "") + "\t"), std::string::npos);
        } else {
            EXPECT_EQ(event.value("result", ""), "whole") << event.dump();
            std::vector<std::string> flacs = filesWithExtension(event.value("folder", ""), ".flac");
            ASSERT_EQ(flacs.size(), 2u);
            EXPECT_TRUE(decodeFlac(flacs[0]) == disc.track(0));
            EXPECT_TRUE(decodeFlac(flacs[1]) == disc.track(1));
        }
    }
    EXPECT_TRUE(leftovers(out("")).empty());
}
