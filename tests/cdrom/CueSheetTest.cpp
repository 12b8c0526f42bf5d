#include "CdromTestSupport.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/emulated/CueSheet.h"
#include "cdrom/mmc/MmcCommands.h"
#include "core/foundation/Clock.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>

namespace tonvane {
namespace {

CueError parseError(const std::string& text)
{
    CueSheet sheet;
    CueError error;
    EXPECT_FALSE(parseCueSheet(text, sheet, error)) << text.substr(0, 200);
    return error;
}

void writeSectors(const std::string& path, uint32_t sectors, uint8_t fill)
{
    test::writeFile(path, std::string(size_t{sectors} * kCdDaSectorBytes, static_cast<char>(fill)));
}

std::string wavFile(uint32_t frames, uint32_t rate, uint16_t channels, uint8_t fill)
{
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto le16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    uint32_t dataBytes = frames * channels * 2;
    std::string out = "RIFF" + le32(4 + 8 + 16 + 8 + 8 + 4 + dataBytes) + "WAVE";
    out += "fmt " + le32(16) + le16(1) + le16(channels) + le32(rate) + le32(rate * channels * 2) +
        le16(static_cast<uint16_t>(channels * 2)) + le16(16);
    out += "LIST" + le32(4) + "INFO"; // a chunk to skip before the data
    out += "data" + le32(dataBytes) + std::string(dataBytes, static_cast<char>(fill));
    return out;
}

TEST(CueSheet, ParsesTracksIndexesSessionsAndIgnoresMetadata)
{
    std::string text = "\xEF\xBB\xBF" // byte order mark
                       "REM GENRE Rock\r\n"
                       "CATALOG 0000000000000\r\n"
                       "FILE \"My Disc (part 1).bin\" BINARY\r\n"
                       "  TRACK 01 AUDIO\r\n"
                       "    PERFORMER \"Caf\xC3\xA9\"\r\n"
                       "    INDEX 01 00:00:00\r\n"
                       "  track 02 audio\r\n"
                       "    PREGAP 00:02:00\r\n"
                       "    INDEX 01 00:10:00\r\n"
                       "REM SESSION 02\r\n"
                       "FILE data.bin BINARY\r\n"
                       "  TRACK 03 MODE1/2352\r\n"
                       "    INDEX 01 00:00:00\r\n";
    CueSheet sheet;
    CueError error;
    ASSERT_TRUE(parseCueSheet(text, sheet, error)) << error.message;
    ASSERT_EQ(sheet.files.size(), 2u);
    EXPECT_EQ(sheet.files[0].name, "My Disc (part 1).bin");
    EXPECT_EQ(sheet.files[1].name, "data.bin");
    ASSERT_EQ(sheet.files[0].tracks.size(), 2u);
    EXPECT_EQ(sheet.files[0].tracks[1].pregap, 150u);
    EXPECT_EQ(sheet.files[0].tracks[1].index1, 750u);
    EXPECT_EQ(sheet.files[1].tracks[0].kind, TrackKind::Data);
    EXPECT_EQ(sheet.files[1].tracks[0].session, 2u);
}

TEST(CueSheet, BadSheetsAreRejectedNamingTheLine)
{
    const std::string head = "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    struct Case {
        std::string text;
        uint32_t line;
        const char* words;
    };
    std::vector<Case> cases = {
        {head + "  TRACK 03 AUDIO\n    INDEX 01 00:10:00\n", 4, "does not follow"},
        {head + "  TRACK 01 AUDIO\n    INDEX 01 00:10:00\n", 4, "does not follow"},
        {head + "  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n", 5, "overlaps"},
        {head + "  TRACK 02 AUDIO\n    INDEX 00 00:20:00\n    INDEX 01 00:10:00\n", 6, "before INDEX 00"},
        {head + "  TRACK 02 AUDIO\n    INDEX 01 99:99:99\n", 5, "bad INDEX time"},
        {head + "  TRACK 02 AUDIO\n    INDEX 01 00:10:75\n", 5, "bad INDEX time"},
        {head + "  TRACK 02 AUDIO\n    INDEX 01 -1:00:00\n", 5, "bad INDEX time"},
        {head + "  TRACK 02 AUDIO\n    INDEX 01 00:10:00\n    INDEX 01 00:12:00\n", 6, "must rise"},
        {head + "  TRACK 02 AUDIO\n    INDEX 02 00:10:00\n", 5, "before INDEX 01"},
        {head + "  TRACK 02 AUDIO\n", 4, "no INDEX 01"},
        {head + "  TRACK 100 AUDIO\n", 4, "bad track number"},
        {head + "  TRACK 02 MODE2/2352\n", 4, "not supported"},
        {head + "  TRACK 02 AUDIO\n    INDEX 01 00:10:00\n    PREGAP 00:02:00\n", 6, "before the track's indexes"},
        {"TRACK 01 AUDIO\n", 1, "before any FILE"},
        {"FILE \"a.mp3\" MP3\n", 1, "not supported"},
        {"FILE \"a.bin\n", 1, "unterminated"},
        {"FILE \"a.bin\" BINARY\nFILE \"b.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", 1, "without tracks"},
        {head + "CDROM 1 2\n", 4, "unknown command"},
        {head + "REM SESSION 03\n", 4, "follow each other"},
        {"\n\nTITLE \"bad \xFF\xFE text\"\n" + head, 3, "UTF-8"},
        {"TITLE \"x\"\n" + std::string((1 << 20) - 16, 'A') + "\n", 2, "longer than 4096"},
        {"REM nothing\n", 0, "no track"},
    };
    for (const Case& c : cases) {
        CueError error = parseError(c.text);
        EXPECT_EQ(error.line, c.line) << error.message;
        EXPECT_NE(error.message.find(c.words), std::string::npos) << error.message;
        if (c.line != 0) {
            EXPECT_EQ(error.message.rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << error.message;
        }
    }
    // A sheet beyond 1 MB is refused before any parsing.
    CueError big = parseError(std::string(kMaxCueSheetBytes + 1, '\n'));
    EXPECT_NE(big.message.find("larger than 1 MB"), std::string::npos);
}

TEST(CueSheet, FilesAreCheckedWhenLoading)
{
    test::TempDir dir;
    writeSectors(dir.file("a.bin"), 100, 1);
    test::writeFile(dir.file("missing.cue"),
        "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "FILE \"gone.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
    CueLoadResult loaded = loadCueSheet(dir.file("missing.cue"));
    EXPECT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.error.line, 4u);
    EXPECT_NE(loaded.error.message.find("gone.bin"), std::string::npos);

    test::writeFile(dir.file("beyond.cue"),
        "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n");
    loaded = loadCueSheet(dir.file("beyond.cue"));
    EXPECT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.error.line, 4u); // 150 sectors into a file of 100
    EXPECT_NE(loaded.error.message.find("beyond the end"), std::string::npos);

    test::writeFile(dir.file("mono.wav"), wavFile(1000, 44100, 1, 0));
    test::writeFile(dir.file("mono.cue"), "FILE \"mono.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    loaded = loadCueSheet(dir.file("mono.cue"));
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.error.message.find("not a 44100 Hz 16-bit stereo"), std::string::npos);

    EXPECT_FALSE(loadCueSheet(dir.file("nothing.cue")).ok());
    EXPECT_FALSE(loadCueSheet(dir.path()).ok()); // a folder
}

TEST(CueSheet, SeveralFilesWavPregapsAndSessionsLayOutAsOnADisc)
{
    test::TempDir dir;
    writeSectors(dir.file("one.bin"), 1000, 0x11);
    test::writeFile(dir.file("two.wav"), wavFile(588 * 600, 44100, 2, 0x22));
    writeSectors(dir.file("data.bin"), 300, 0x33);
    test::writeFile(dir.file("disc.cue"),
        "FILE \"one.bin\" BINARY\n"
        "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    INDEX 00 00:08:00\n    INDEX 01 00:10:00\n"
        "FILE \"two.wav\" WAVE\n"
        "  TRACK 03 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n"
        "REM SESSION 02\n"
        "FILE \"data.bin\" BINARY\n"
        "  TRACK 04 MODE1/2352\n    INDEX 01 00:00:00\n");
    CueLoadResult loaded = loadCueSheet(dir.file("disc.cue"));
    ASSERT_TRUE(loaded.ok()) << loaded.error.message;
    const auto& tracks = loaded.disc->tracks();
    ASSERT_EQ(tracks.size(), 4u);
    EXPECT_EQ(tracks[0].start, 0u);
    EXPECT_EQ(tracks[0].length, 750u); // to track 2's start, its INDEX 00 part included
    EXPECT_EQ(tracks[1].start, 750u);
    EXPECT_EQ(tracks[1].pregap, 150u);
    EXPECT_EQ(tracks[1].length, 400u);
    EXPECT_EQ(tracks[2].start, 1150u); // 1000 sectors of one.bin + 150 of PREGAP silence
    EXPECT_EQ(tracks[2].length, 600u);
    EXPECT_EQ(tracks[3].session, 2);
    EXPECT_EQ(tracks[3].start, 1750u + 11400u);
    EXPECT_EQ(loaded.disc->sessionLeadOuts(), (std::vector<uint32_t>{1750, 1750 + 11400 + 300}));

    CdDevice device;
    auto drive = std::make_shared<EmulatedDrive>(loaded.disc);
    attachTransport(device, drive->connect());
    std::vector<uint8_t> chunk(16 * kCdDaSectorBytes);
    auto all = [&](uint8_t value, size_t from, size_t to) {
        return std::all_of(chunk.begin() + long(from * kCdDaSectorBytes), chunk.begin() + long(to * kCdDaSectorBytes),
            [value](uint8_t b) { return b == value; });
    };
    ASSERT_TRUE(readCd(device, 992, 16, chunk.data())); // one.bin's end, PREGAP silence
    EXPECT_TRUE(all(0x11, 0, 8));
    EXPECT_TRUE(all(0x00, 8, 16));
    ASSERT_TRUE(readCd(device, 1144, 16, chunk.data())); // silence into the WAV's samples
    EXPECT_TRUE(all(0x00, 0, 6));
    EXPECT_TRUE(all(0x22, 6, 16));
    EXPECT_FALSE(readCd(device, 1740, 16, chunk.data())); // into the session gap
    EXPECT_FALSE(readCd(device, 1750 + 11400, 1, chunk.data())); // the data track
    EXPECT_EQ(device.result.asc, 0x64);
}

TEST(CueSheet, ImageDrivePathOpensTheSheet)
{
    test::TempDir dir;
    writeSectors(dir.file("x.bin"), 300, 0x5A);
    test::writeFile(dir.file("x.cue"), "FILE x.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    CdDevice device;
    ASSERT_TRUE(openDevice(device, imageDrivePath(dir.file("x.cue"))));
    std::vector<uint8_t> chunk(kCdDaSectorBytes);
    ASSERT_TRUE(readCd(device, 299, 1, chunk.data()));
    EXPECT_EQ(chunk[0], 0x5A);

    // REM TONVANE SPEED: the drive is never faster than the sheet says (750 sectors/s = 10x).
    test::writeFile(dir.file("slow.cue"), "REM TONVANE SPEED 750\nFILE x.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    CdDevice slow;
    ASSERT_TRUE(openDevice(slow, imageDrivePath(dir.file("slow.cue"))));
    std::vector<uint8_t> chunks(15 * kCdDaSectorBytes);
    uint64_t before = monotonicNs();
    for (uint32_t lba = 0; lba < 75; lba += 15)
        ASSERT_TRUE(readCd(slow, lba, 15, chunks.data()));
    EXPECT_GE(monotonicNs() - before, 99'000'000u) << "75 sectors at 750 a second take 100 ms";
    EXPECT_EQ(chunks[0], 0x5A);
}

} // namespace
} // namespace tonvane

#include "cdrom/emulated/DemoDisc.h"

namespace tonvane {
namespace {
TEST(CueSheet, ReadOffsetAndSpeedOfTheEmulatedDrive)
{
    const std::string head = "FILE \"a.bin\" BINARY\n";
    const std::string track = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    CueSheet sheet;
    CueError error;
    ASSERT_TRUE(parseCueSheet("REM TONVANE OFFSET -667\n" + head + track, sheet, error)) << error.message;
    EXPECT_EQ(sheet.driveOffset, -667);
    ASSERT_TRUE(parseCueSheet("REM TONVANE OFFSET +2939\n" + head + track, sheet, error)) << error.message;
    EXPECT_EQ(sheet.driveOffset, 2939);
    for (const char* bad : {"2940", "-2940", "six", "", "6x"}) {
        CueError rejected = parseError(head + "REM TONVANE OFFSET " + bad + " \n" + track);
        EXPECT_EQ(rejected.line, 2u) << bad;
    }
    ASSERT_TRUE(parseCueSheet("REM TONVANE SPEED 600\n" + head + track, sheet, error)) << error.message;
    EXPECT_EQ(sheet.driveSpeed, 600u);
    for (const char* bad : {"0", "75001", "-600", "8x", "", "99999999999"}) {
        CueError rejected = parseError(head + "REM TONVANE SPEED " + bad + "\n" + track);
        EXPECT_EQ(rejected.line, 2u) << bad;
    }

    // The demo disc in drives with offsets: one drive per path; other forms are not drives.
    EXPECT_EQ(demoDrive("demo:"), demoDrive());
    EXPECT_NE(demoDrive("demo:offset=667"), nullptr);
    EXPECT_EQ(demoDrive("demo:offset=667"), demoDrive("demo:offset=667"));
    for (const char* bad : {"demo:offset=", "demo:offset=3000", "demo:speed=8", "demo:offset=1x"})
        EXPECT_EQ(demoDrive(bad), nullptr) << bad;
}
} // namespace
} // namespace tonvane
