#include "CdromTestSupport.h"
#include "cdrom/mmc/MmcCommands.h"

#include <gtest/gtest.h>

namespace tonvane {
namespace {

using test::cdbOf;
using Bytes = std::vector<uint8_t>;

struct Fixture {
    std::shared_ptr<EmulatedDrive> drive;
    CdDevice device;
    explicit Fixture(const DiscDescription& description, EmulatedDriveConfig config = {}) : drive(test::makeDrive(description, config))
    {
        attachTransport(device, drive->connect());
    }
};

TEST(MmcCommands, CommandBytesAndLengths)
{
    Fixture f(test::audioDisc({1000, 2000}));
    DiscInformationBuffer disc;
    TrackInformationBuffer track;
    ASSERT_TRUE(testUnitReady(f.device));
    ASSERT_TRUE(preventMediumRemoval(f.device, true));
    ASSERT_TRUE(refreshCapabilities(f.device));
    ASSERT_TRUE(readDiscInformation(f.device, disc));
    ASSERT_TRUE(readTrackInformation(f.device, 2, track));
    std::vector<uint8_t> audio(5 * kCdDaSectorBytes);
    ASSERT_TRUE(readCd(f.device, 300, 5, audio.data()));

    auto commands = f.drive->recordedCommands();
    ASSERT_EQ(commands.size(), 6u);
    EXPECT_EQ(cdbOf(commands[0]), (Bytes{0x00, 0, 0, 0, 0, 0}));
    EXPECT_EQ(cdbOf(commands[1]), (Bytes{0x1E, 0, 0, 0, 1, 0}));
    EXPECT_EQ(cdbOf(commands[2]), (Bytes{0x46, 0, 0, 0, 0, 0, 0, 0x08, 0x08, 0}));
    EXPECT_EQ(commands[2].dataLength, 2056u);
    EXPECT_EQ(cdbOf(commands[3]), (Bytes{0x51, 0, 0, 0, 0, 0, 0, 0x00, 0x2A, 0}));
    EXPECT_EQ(commands[3].dataLength, 42u);
    EXPECT_EQ(cdbOf(commands[4]), (Bytes{0x52, 0x01, 0, 0, 0, 2, 0, 0x00, 0x28, 0}));
    EXPECT_EQ(commands[4].dataLength, 40u);
    EXPECT_EQ(cdbOf(commands[5]), (Bytes{0xBE, 0x04, 0, 0, 0x01, 0x2C, 0, 0, 5, 0x10, 0, 0}));
    EXPECT_EQ(commands[5].dataLength, 11760u);
    for (const auto& command : commands)
        EXPECT_EQ(command.direction, DataDirection::In);

    EXPECT_EQ(lastTrackInLastSession(disc), 2u);
    auto info = parseTrackInformation(track);
    EXPECT_EQ(info->start, 1000u);
    EXPECT_EQ(info->size, 2000u);
    EXPECT_EQ(f.device.capabilities.currentProfile, kProfileCdRom);
    EXPECT_TRUE(f.device.capabilities.realTimeStreaming);
}

TEST(MmcCommands, ReadCdRefusesCountsOutsideOneToSixteen)
{
    Fixture f(test::audioDisc({100}));
    std::vector<uint8_t> buffer(17 * kCdDaSectorBytes);
    EXPECT_FALSE(readCd(f.device, 0, 0, buffer.data()));
    EXPECT_FALSE(readCd(f.device, 0, 17, buffer.data()));
    EXPECT_TRUE(f.drive->recordedCommands().empty());
    EXPECT_TRUE(readCd(f.device, 0, 16, buffer.data()));
}

TEST(MmcCommands, TwoStepTocUsesTheAllocationRule)
{
    Fixture f(test::audioDisc({1000, 2000}));
    std::vector<uint8_t> toc;
    ASSERT_TRUE(readFullToc(f.device, toc));
    auto commands = f.drive->recordedCommands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(cdbOf(commands[0]), (Bytes{0x43, 0x02, 0, 0, 0, 0, 0, 0x00, 0x04, 0}));
    EXPECT_EQ(cdbOf(commands[1]), (Bytes{0x43, 0x02, 0, 0, 0, 0, 0, 0x00, 0x20, 0})); // 26 -> 32
    EXPECT_EQ(toc.size(), 32u);
    auto parsed = parseToc(toc);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->entries.size(), 3u);
    EXPECT_EQ(parsed->entries[0].msfFrames(), 150u); // 00:02:00
    EXPECT_EQ(parsed->entries[1].msfFrames(), 1150u);
    EXPECT_EQ(parsed->entries[2].msfFrames(), 3150u);
}

TEST(MmcCommands, TrackListReportsKindsAndFailures)
{
    DiscDescription description = test::audioDisc({500, 600});
    description.tracks.push_back({TrackKind::Data, 700, 0, 0});
    Fixture f(description);
    std::vector<DiscTrack> tracks;
    ASSERT_TRUE(readTrackList(f.device, tracks));
    ASSERT_EQ(tracks.size(), 3u);
    EXPECT_TRUE(tracks[0].answered && tracks[0].info.isAudio());
    EXPECT_TRUE(tracks[2].info.data);
    EXPECT_EQ(tracks[2].info.start, 1100u);

    // A drive that claims 300 tracks is asked about 99 at most.
    CdDevice device;
    auto scripted = std::make_unique<test::ScriptedTransport>([](const ScsiRequest& request, ScsiReply&) {
        if (request.cdb[0] == kOpReadDiscInformation) {
            request.data[6] = 44;
            request.data[11] = 1;
        }
    });
    auto* seen = scripted.get();
    attachTransport(device, std::move(scripted));
    ASSERT_TRUE(readTrackList(device, tracks));
    EXPECT_EQ(tracks.size(), 99u);
    EXPECT_EQ(seen->cdbs.size(), 100u);
}

TEST(MmcCommands, PrepareWithStreamingSendsTheFirstPerformanceDescriptor)
{
    Fixture f(test::audioDisc({1000}));
    ASSERT_TRUE(refreshCapabilities(f.device));
    f.drive->clearRecordedCommands();
    prepareForRipping(f.device);
    EXPECT_TRUE(f.device.volumeLocked);
    EXPECT_TRUE(f.drive->volumeLocked());
    EXPECT_TRUE(f.drive->mediumRemovalPrevented());

    auto commands = f.drive->recordedCommands();
    ASSERT_EQ(test::opcodes(commands), (Bytes{kOpPreventAllowMediumRemoval, kOpGetPerformance, kOpSetStreaming}));
    EXPECT_EQ(cdbOf(commands[1]), (Bytes{0xAC, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0}));
    EXPECT_EQ(commands[1].dataLength, 272u);
    EXPECT_EQ(cdbOf(commands[2]), (Bytes{0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}));
    EXPECT_EQ(commands[2].direction, DataDirection::Out);
    // The emulated drive reports LBA 0..999 at 2822..7056 kB/s.
    Bytes expected = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x03, 0xE7, 0, 0, 0x1B, 0x90, 0, 0, 0x03, 0xE8, 0, 0, 0x1B, 0x90,
        0, 0, 0x03, 0xE8};
    EXPECT_EQ(commands[2].dataOut, expected);
    EXPECT_EQ(f.drive->lastSetSpeed(), 7056);

    finishRipping(f.device);
    EXPECT_FALSE(f.device.isOpen());
    EXPECT_FALSE(f.device.volumeLocked);
    EXPECT_FALSE(f.drive->volumeLocked());
    EXPECT_FALSE(f.drive->mediumRemovalPrevented());
    EXPECT_EQ(test::opcodes(f.drive->recordedCommands()).back(), kOpPreventAllowMediumRemoval);
}

TEST(MmcCommands, PrepareWithoutStreamingSetsCdSpeed)
{
    EmulatedDriveConfig config;
    config.realTimeStreaming = false;
    Fixture f(test::audioDisc({1000}), config);
    ASSERT_TRUE(refreshCapabilities(f.device));
    EXPECT_FALSE(f.device.capabilities.realTimeStreaming);
    f.drive->clearRecordedCommands();
    prepareForRipping(f.device);
    auto commands = f.drive->recordedCommands();
    ASSERT_EQ(test::opcodes(commands), (Bytes{kOpPreventAllowMediumRemoval, kOpSetCdSpeed}));
    EXPECT_EQ(cdbOf(commands[1]), (Bytes{0xBB, 0x01, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(f.drive->lastSetSpeed(), 0xFFFF);
}

TEST(MmcCommands, PerformanceWithoutDescriptorOrFailingFallsBackToCdSpeed)
{
    for (bool fails : {false, true}) {
        CdDevice device;
        auto scripted = std::make_unique<test::ScriptedTransport>([fails](const ScsiRequest& request, ScsiReply& reply) {
            if (request.cdb[0] == kOpGetPerformance) {
                if (fails) {
                    reply.status = kScsiStatusCheckCondition;
                    return;
                }
                std::fill(request.data, request.data + request.dataLength, 0);
                request.data[3] = 4; // data length 4: no descriptor
            }
        });
        auto* seen = scripted.get();
        attachTransport(device, std::move(scripted));
        device.capabilities.realTimeStreaming = true;
        prepareForRipping(device);
        ASSERT_EQ(seen->cdbs.size(), 3u);
        EXPECT_EQ(seen->cdbs[1][0], kOpGetPerformance);
        EXPECT_EQ(seen->cdbs[2][0], kOpSetCdSpeed) << "fails=" << fails;
    }
}

TEST(MmcCommands, CapabilityRefreshFailureLeavesFeaturesCleared)
{
    EmulatedDriveConfig config;
    config.faults.getConfigurationFails = true;
    Fixture f(test::audioDisc({1000}), config);
    f.device.capabilities.currentProfile = 0x0008;
    f.device.capabilities.cdMedium = true;
    EXPECT_FALSE(refreshCapabilities(f.device));
    EXPECT_EQ(f.device.capabilities.currentProfile, 0);
    EXPECT_FALSE(f.device.capabilities.cdMedium);
    EXPECT_TRUE(testUnitReady(f.device)); // the drive still works for other commands
}

TEST(MmcCommands, VolumeLockSurvivesACapabilityRefresh)
{
    Fixture f(test::audioDisc({1000}));
    lockVolume(f.device);
    ASSERT_TRUE(refreshCapabilities(f.device));
    EXPECT_TRUE(f.device.volumeLocked);
    EXPECT_EQ(unlockVolume(f.device), kSuccess);
    EXPECT_FALSE(f.drive->volumeLocked()); // the unlock reached the drive
}

TEST(MmcCommands, TwoDevicesCannotLockOneDrive)
{
    Fixture f(test::audioDisc({1000}));
    CdDevice other;
    attachTransport(other, f.drive->connect());
    EXPECT_EQ(lockVolume(f.device), kSuccess);
    EXPECT_NE(lockVolume(other), kSuccess);
    EXPECT_FALSE(other.volumeLocked);
    closeDevice(f.device);
    EXPECT_EQ(lockVolume(other), kSuccess);
}

} // namespace
} // namespace tonvane
