// The station's small units: the rip history under --out, the attention list, the drive lines,
// the disc accounting and the events' lines.
#include "app/station/AttentionList.h"
#include "app/station/DiscRun.h"
#include "app/station/RipHistory.h"
#include "app/station/StationEvents.h"
#include "app/station/StationView.h"
#include "session/RipReport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <sstream>

using namespace tonvane;
using namespace tonvane::station;
using namespace tonvane::test;

namespace {

// A log as a rip writes it, for a disc of the given ids.
std::string logOf(const AccurateRipDiscId& id, bool interrupted)
{
    RipReport report;
    report.version = "Tonvane test";
    report.discId = "0a0b0c0d";
    TocSnapshot toc;
    toc.tracks = {{0, true}};
    toc.numbers = {1};
    toc.leadOut = 1000;
    toc.id = id;
    report.toc = toc;
    report.interrupted = interrupted;
    return buildRipLog(report);
}

std::string captured(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    return text;
}

} // namespace

TEST(RipHistory, FindsTheLogOfTheSameDiscBelowTheFolderButNotAnInterruptedOneOrAnother)
{
    TempDir dir;
    AccurateRipDiscId disc{2, 0x00012345, 0x00054321, 0x1a02b003, false};
    AccurateRipDiscId other = disc;
    other.id2 += 1;
    std::filesystem::create_directories(dir.file("Artist/Album"));
    std::filesystem::create_directories(dir.file("Artist/Stopped"));
    std::filesystem::create_directories(dir.file("a/b/c/d/e/f"));
    writeFile(dir.file("Artist/Stopped/Album.log"), logOf(disc, true));
    writeFile(dir.file("Other.log"), logOf(other, false));
    writeFile(dir.file("a/b/c/d/e/f/Deep.log"), logOf(disc, false)); // deeper than --out's discs go
    EXPECT_EQ(findRipLog(dir.path(), disc), "");

    writeFile(dir.file("Artist/Album/Album.log"), logOf(disc, false));
    EXPECT_EQ(findRipLog(dir.path(), disc), dir.file("Artist/Album/Album.log"));
    EXPECT_EQ(findRipLog(dir.path(), other), dir.file("Other.log"));
    EXPECT_EQ(findRipLog(dir.file("missing"), disc), "");
    // The line the station looks for is the one the log carries.
    EXPECT_NE(logOf(disc, false).find(accurateRipIdsLine(disc)), std::string::npos);
    EXPECT_EQ(accurateRipIdsLine(disc), "AccurateRip ids: 00012345-00054321-1a02b003\n");
}

TEST(AttentionList, OneWholeLinePerDiscWithTabsAndLineEndsOfTheFieldsFlattened)
{
    TempDir dir;
    AttentionList list(dir.file("needs-attention.txt"));
    std::string error;
    ASSERT_TRUE(list.add(dir.file("Artist/Album"), "1 failed (track 2)", error)) << error;
    ASSERT_TRUE(list.add("", "sheet\tbroken\nline 3", error)) << error;
    EXPECT_EQ(readFile(dir.file("needs-attention.txt")),
              dir.file("Artist/Album") + "\t1 failed (track 2)\n-\tsheet broken line 3\n");

    AttentionList nowhere(dir.file("missing/needs-attention.txt"));
    EXPECT_FALSE(nowhere.add("x", "y", error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST(StationView, LiveLinesFitTheWidthAndPlainOutputPrintsOnlyChanges)
{
    DriveLine ripping{"watch:/in", DriveActivity::Ripping, "Artist / A very long album title that does not fit", 3, 12,
                      0.5};
    std::string line = StationView::liveLine(ripping, 80);
    EXPECT_EQ(line.size(), 79u); // the title cut to what is left of the width
    EXPECT_EQ(StationView::liveLine(ripping, 40).find("watch:/in  "), 0u);
    EXPECT_EQ(StationView::liveLine(ripping, 40).size(), 39u); // never wraps, or the redraw would drift
    EXPECT_NE(line.find("track 3/12  [##########..........]  50%"), std::string::npos) << line;
    EXPECT_EQ(line.find("watch:/in  Artist / A very"), 0u) << line;
    DriveLine hostile{"/dev/sr0", DriveActivity::Ripping, "Evil\x1b]0;title\x07", 1, 2, 2.0};
    std::string safe = StationView::liveLine(hostile, 80);
    EXPECT_EQ(safe.find('\x1b'), std::string::npos);
    EXPECT_NE(safe.find("[####################] 100%"), std::string::npos) << safe;

    std::FILE* plain = std::tmpfile();
    ASSERT_NE(plain, nullptr);
    StationView view(plain, false);
    DriveLine waiting{"/dev/sr0", DriveActivity::Waiting, "", 0, 0, 0.0};
    view.show({waiting});
    view.show({waiting});
    view.show({ripping});
    ripping.fraction = 0.75; // progress alone is no new plain line
    view.show({ripping});
    view.note("a disc is done");
    EXPECT_EQ(captured(plain), "/dev/sr0: waiting for a disc\nwatch:/in: ripping Artist / A very long album title that "
                               "does not fit\na disc is done\n");
    std::fclose(plain);

    std::FILE* terminal = std::tmpfile();
    ASSERT_NE(terminal, nullptr);
    StationView live(terminal, true, 80);
    live.show({waiting, waiting});
    live.note("done");
    live.show({waiting, waiting});
    std::string drawn = captured(terminal);
    // Two lines drawn, erased (up two, clear) for the note, drawn again, erased, drawn.
    std::string lines = StationView::liveLine(waiting, 80) + "\n" + StationView::liveLine(waiting, 80) + "\n";
    EXPECT_EQ(drawn, lines + "\x1b[2A\x1b[J" + "done\n" + lines + "\x1b[2A\x1b[J" + lines);
    std::fclose(terminal);
}

TEST(DiscAccounting, CountsResultsAndReasonsFromTheVerdicts)
{
    auto verdict = [](int32_t number, TrackStatus status, bool suspicious, bool checked, bool accurate,
                      const char* text, size_t unreadable = 0) {
        TrackVerdict v;
        v.number = number;
        v.status = status;
        v.suspicious = suspicious;
        v.whole = status == TrackStatus::Done && !suspicious;
        v.checked = checked;
        v.accurate = accurate;
        v.accurateRip = text;
        v.unreadable = unreadable;
        return v;
    };
    SessionOutcome outcome;
    outcome.started = true;
    outcome.selected = 5;
    outcome.logPath = "x.log";
    outcome.tracks = {verdict(1, TrackStatus::Done, false, true, true, "accurate (confidence 4)"),
                      verdict(2, TrackStatus::Done, false, true, false, "not in the database"),
                      verdict(3, TrackStatus::Done, true, false, false, "not checked"),
                      verdict(4, TrackStatus::Failed, false, false, false, "not checked", 2),
                      verdict(5, TrackStatus::Done, false, true, false, "not accurate")};
    DiscCounts counts = countTracks(outcome);
    EXPECT_EQ(counts.tracks, 5);
    EXPECT_EQ(counts.accurate, 1);
    EXPECT_EQ(counts.notInDatabase, 1);
    EXPECT_EQ(counts.notChecked, 0);
    EXPECT_EQ(counts.suspicious, 1);
    EXPECT_EQ(counts.failed, 1);
    EXPECT_EQ(counts.inaccurate, 1);
    EXPECT_EQ(resultOf(outcome, counts), DiscResult::Attention);
    EXPECT_EQ(attentionReason(outcome, counts),
              "1 failed (track 4); unreadable sectors (track 4); 1 suspicious (track 3); 1 not accurate (track 5)");

    SessionOutcome clean;
    clean.started = true;
    clean.selected = clean.whole = 1;
    clean.logPath = "x.log";
    clean.cuePath = "x.cue";
    clean.tracks = {verdict(1, TrackStatus::Done, false, true, false, "not in the database")};
    EXPECT_EQ(resultOf(clean, countTracks(clean)), DiscResult::Whole);
    clean.problems = {"cannot write x.cue: No space left on device"};
    EXPECT_EQ(resultOf(clean, countTracks(clean)), DiscResult::Attention);
    EXPECT_EQ(attentionReason(clean, countTracks(clean)), "cannot write x.cue: No space left on device");
    clean.interrupted = true;
    EXPECT_EQ(resultOf(clean, countTracks(clean)), DiscResult::Interrupted);
    SessionOutcome allFailed = outcome;
    allFailed.tracks = {outcome.tracks[3]};
    EXPECT_EQ(resultOf(allFailed, countTracks(allFailed)), DiscResult::Failed);
}

TEST(StationEvents, NumberedJsonLinesWithBadTextReplacedNotThrown)
{
    TempDir dir;
    StationEvents events;
    std::string error;
    ASSERT_TRUE(events.open(dir.file("events.jsonl"), stdout, error)) << error;
    events.write({{"event", "arrived"}, {"drive", "/dev/sr0"}});
    events.write({{"event", "matched"}, {"album", std::string("Caf\xe9 \xff")}});
    std::istringstream lines(readFile(dir.file("events.jsonl")));
    std::string line;
    std::vector<nlohmann::json> parsed;
    while (std::getline(lines, line))
        parsed.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0]["seq"], 1);
    EXPECT_EQ(parsed[1]["seq"], 2);
    EXPECT_EQ(parsed[0]["event"], "arrived");
    EXPECT_EQ(parsed[1]["album"], "Caf\xef\xbf\xbd \xef\xbf\xbd");
    EXPECT_EQ(parsed[0]["time"].get<std::string>().size(), 20u); // 2026-01-02T03:04:05Z
    EXPECT_TRUE(events.healthy());

    StationEvents nowhere;
    EXPECT_FALSE(nowhere.open(dir.file("missing/events.jsonl"), stdout, error));
}
