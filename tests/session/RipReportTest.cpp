#include "session/RipReport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tonvane;

namespace {

ReportTrack track(int32_t number, uint32_t length, uint32_t gap)
{
    ReportTrack t;
    t.number = number;
    t.fileName = "Track " + std::to_string(number) + ".flac";
    t.length = length;
    t.gap = gap;
    return t;
}

} // namespace

TEST(RipReport, CueSheetPlacesAGapOnlyInAFileThatWasRipped)
{
    RipReport report;
    report.discId = "26007204";
    report.version = "Tonvane 0.2";
    report.album = "Songs \"Live\"";
    // Track 3's gap follows track 2, which was not ripped: no file holds it, the sheet keeps its
    // length as a PREGAP. So does track 1's, audio before the disc's first track.
    report.tracks = {track(1, 4500, 0), track(2, 1000, 150), track(3, 2000, 75)};
    report.tracks.erase(report.tracks.begin() + 1);
    std::string cue = buildCueSheet(report);
    EXPECT_EQ(cue, "REM DISCID 26007204\n"
                   "REM COMMENT \"Tonvane 0.2\"\n"
                   "TITLE \"Songs 'Live'\"\n"
                   "FILE \"Track 1.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                   "FILE \"Track 3.flac\" WAVE\n  TRACK 03 AUDIO\n    PREGAP 00:01:00\n    INDEX 01 00:00:00\n");
    report.tracks = {track(1, 4500, 32 * 75 + 10), track(2, 1000, 75)};
    cue = buildCueSheet(report);
    EXPECT_NE(cue.find("FILE \"Track 1.flac\" WAVE\n  TRACK 01 AUDIO\n    PREGAP 00:32:10\n    INDEX 01 00:00:00\n"),
              std::string::npos)
        << cue;
    std::string log = buildRipLog(report);
    EXPECT_NE(log.find("Track 1\n  File: Track 1.flac\n  Start: 0, length 4500 sectors\n  Gap: 00:32:10 (in no file: "
                       "PREGAP in the CUE sheet)\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("  Gap: 00:01:00\n"), std::string::npos) << log; // track 2's, in track 1's file

    // A gap of 75 sectors at the end of a 4500-sector file starts at 59 s (00:59:00).
    report.tracks = {track(1, 4500, 0), track(2, 1000, 75)};
    cue = buildCueSheet(report);
    EXPECT_NE(cue.find("  TRACK 02 AUDIO\n    INDEX 00 00:59:00\nFILE \"Track 2.flac\" WAVE\n    INDEX 01 00:00:00\n"),
              std::string::npos)
        << cue;
}

TEST(RipReport, FilesAreNamedAfterTheAlbumOrTheDiscIdAndWrittenWhole)
{
    RipReport report;
    report.discId = "0a0b0c0d";
    struct Case {
        const char* album;
        const char* name;
    } cases[] = {
        {"", "0a0b0c0d"},
        {"A/B: C?", "AB C"},
        {"...", "0a0b0c0d"},
        {"\"Quoted\" <x>", "'Quoted' x"},
    };
    for (const Case& c : cases) {
        report.album = c.album;
        EXPECT_EQ(reportBaseName(report), c.name) << c.album;
    }
    report.album = std::string(198, 'a') + "\xc3\xa9\xc3\xa9"; // cut inside a two-byte character
    EXPECT_EQ(reportBaseName(report), std::string(198, 'a') + "\xc3\xa9");

    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(writeFileAtomically(dir.file("x.log"), "whole\n", error)) << error;
    EXPECT_EQ(test::readFile(dir.file("x.log")), "whole\n");
    EXPECT_FALSE(writeFileAtomically(dir.file("missing/x.log"), "text", error));
    EXPECT_NE(error.find("missing/x.log"), std::string::npos) << error;
}

TEST(RipReport, TheLogEscapesControlCharactersOfOutsideText)
{
    RipReport report;
    report.discId = "26007204";
    report.version = "Tonvane 0.2";
    // A terminal title change (OSC), a C1 CSI (U+009B) and a backslash from a hostile server.
    report.album = "Evil\x1b]0;pwned\x07 Album \xc2\x9b" "2J";
    report.artist = "A\\B";
    report.accurateRipNote = "no answer\r\nfaked line";
    ReportTrack t = track(1, 4500, 0);
    t.fileName = "01 - Tab\there.flac";
    report.tracks = {t};
    std::string log = buildRipLog(report);
    for (char c : log)
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
    EXPECT_EQ(log.find("\xc2\x9b"), std::string::npos);
    EXPECT_NE(log.find("Album: A\\\\B / Evil\\x1B]0;pwned\\x07 Album \\u009B2J"), std::string::npos) << log;
    EXPECT_NE(log.find("AccurateRip: no answer\\x0D\\x0Afaked line"), std::string::npos) << log;
    EXPECT_NE(log.find("File: 01 - Tab\\x09here.flac"), std::string::npos) << log;
}
