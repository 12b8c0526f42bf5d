// Ejecting: the MMC bytes sent, the emulated drive's answers, and an image drive's sheet renamed.
#include "CdromTestSupport.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/drives/DiscEject.h"
#include "cdrom/drives/DiscCheck.h"
#include "cdrom/emulated/CueSheet.h"
#include "cdrom/mmc/MmcCommands.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tonvane;
using namespace tonvane::test;

namespace {

// A BIN of two short tracks and its sheet, with extra sheet lines.
std::string writeImage(const TempDir& dir, const std::string& extraLines = "")
{
    writeFile(dir.file("disc.bin"), std::string(300 * 2352, '\x11'));
    writeFile(dir.file("disc.cue"), extraLines + "FILE \"disc.bin\" BINARY\n"
                                                 "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                                 "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n");
    return dir.file("disc.cue");
}

} // namespace

TEST(DiscEject, AllowsRemovalThenStartStopUnitWithLoadEjectOnly)
{
    ScopedDrive scoped("image:/virtual/eject.cue", makeDrive(audioDisc({1000})));
    CdDevice device;
    ASSERT_TRUE(openDevice(device, scoped.path()));
    ASSERT_TRUE(preventMediumRemoval(device, true)); // as a rip leaves it
    scoped.drive().clearRecordedCommands();
    EXPECT_TRUE(ejectMedium(device));
    closeDevice(device);

    std::vector<RecordedCommand> sent = scoped.drive().recordedCommands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(cdbOf(sent[0]), (std::vector<uint8_t>{0x1E, 0, 0, 0, 0x00, 0}));
    EXPECT_EQ(cdbOf(sent[1]), (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x02, 0}));
    EXPECT_FALSE(scoped.drive().hasMedium());
    EXPECT_FALSE(scoped.drive().mediumRemovalPrevented());
}

TEST(DiscEject, EmulatedDriveRefusesAnEjectWhileRemovalIsPreventedAndLoadsBack)
{
    ScopedDrive scoped("image:/virtual/locked.cue", makeDrive(audioDisc({1000})));
    CdDevice device;
    ASSERT_TRUE(openDevice(device, scoped.path()));
    ASSERT_TRUE(preventMediumRemoval(device, true));
    EXPECT_FALSE(startStopUnitEject(device));
    EXPECT_EQ(device.result.senseKey, kSenseKeyIllegalRequest);
    EXPECT_EQ(device.result.asc, 0x53);
    EXPECT_EQ(device.result.ascq, 0x02); // medium removal prevented
    EXPECT_TRUE(scoped.drive().hasMedium());

    // Start with LoEj loads the last disc back; the spindle bits alone change nothing.
    ASSERT_TRUE(preventMediumRemoval(device, false));
    ASSERT_TRUE(startStopUnitEject(device));
    EXPECT_FALSE(scoped.drive().hasMedium());
    uint8_t load[6] = {kOpStartStopUnit, 0, 0, 0, 0x03, 0};
    EXPECT_TRUE(sendCommand(device, load, sizeof load, nullptr, 0, DataDirection::In));
    EXPECT_TRUE(scoped.drive().hasMedium());
    uint8_t stopOnly[6] = {kOpStartStopUnit, 0, 0, 0, 0x00, 0};
    EXPECT_TRUE(sendCommand(device, stopOnly, sizeof stopOnly, nullptr, 0, DataDirection::In));
    EXPECT_TRUE(scoped.drive().hasMedium());
}

TEST(DiscEject, ImageDriveEjectRenamesItsSheetAndTheDiscIsGone)
{
    TempDir dir;
    std::string sheet = writeImage(dir);
    std::string drive = imageDrivePath(sheet);
    ASSERT_TRUE(hasAudioDisc(drive, false));

    EjectOutcome outcome = ejectDisc(drive);
    EXPECT_TRUE(outcome.ejected) << outcome.problem;
    EXPECT_FALSE(fileExists(sheet));
    EXPECT_TRUE(fileExists(sheet + ".done"));
    EXPECT_TRUE(fileExists(dir.file("disc.bin"))); // the audio stays where it was
    EXPECT_FALSE(hasAudioDisc(drive, false, DiscCheckTiming{1, 0, 0, 1, [](uint32_t) {}}));

    // Nothing left to eject: said so, nothing renamed.
    EjectOutcome again = ejectDisc(drive);
    EXPECT_FALSE(again.ejected);
    EXPECT_NE(again.problem.find(drive), std::string::npos);
}

TEST(DiscEject, UnreadableSectorLinesOfASheetBecomeReadFaultsOfItsDrive)
{
    TempDir dir;
    std::string sheet = writeImage(dir, "REM TONVANE UNREADABLE 170\nREM TONVANE UNREADABLE 20\n");
    CueLoadResult loaded = loadCueSheet(sheet);
    ASSERT_TRUE(loaded.ok()) << loaded.error.message;
    EXPECT_EQ(loaded.unreadableSectors, (std::vector<uint32_t>{170, 20}));

    CdDevice device;
    ASSERT_TRUE(openDevice(device, imageDrivePath(sheet)));
    std::vector<uint8_t> sector(kCdDaSectorBytes);
    EXPECT_TRUE(readCd(device, 169, 1, sector.data()));
    EXPECT_EQ(sector[0], 0x11);
    EXPECT_FALSE(readCd(device, 170, 1, sector.data()));
    EXPECT_EQ(device.result.senseKey, kSenseKeyMediumError);
    EXPECT_FALSE(readCd(device, 20, 1, sector.data()));
    EXPECT_TRUE(readCd(device, 21, 1, sector.data()));

    struct BadLine {
        const char* line;
    } bad[] = {{"REM TONVANE UNREADABLE\n"}, {"REM TONVANE UNREADABLE -1\n"}, {"REM TONVANE UNREADABLE 12x\n"},
               {"REM TONVANE UNREADABLE 450000\n"}};
    for (const BadLine& entry : bad) {
        CueSheet parsed;
        CueError error;
        std::string text = std::string(entry.line) + "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
        EXPECT_FALSE(parseCueSheet(text, parsed, error)) << entry.line;
        EXPECT_EQ(error.line, 1u) << entry.line;
    }
}
