#include "CdromTestSupport.h"
#include "cdrom/mmc/MmcCommands.h"

#include <gtest/gtest.h>

namespace tonvane {
namespace {

TEST(CommandResult, ParsesFixedAndDescriptorSense)
{
    CommandResult result;
    uint8_t fixed[18] = {0xF0, 0, 0x23, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x01};
    parseSense(result, fixed, sizeof fixed);
    EXPECT_EQ(result.responseCode, 0x70); // the valid bit 0x80 is masked off
    EXPECT_EQ(result.senseKey, 0x3);
    EXPECT_EQ(result.asc, 0x3A);
    EXPECT_EQ(result.ascq, 0x01);

    uint8_t deferredFixed[18] = {0x71, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24, 0x00};
    parseSense(result, deferredFixed, sizeof deferredFixed);
    EXPECT_EQ(result.senseKey, 0x5);
    EXPECT_EQ(result.asc, 0x24);

    uint8_t descriptor[8] = {0x72, 0xF2, 0x04, 0x01};
    parseSense(result, descriptor, sizeof descriptor);
    EXPECT_EQ(result.responseCode, 0x72);
    EXPECT_EQ(result.senseKey, 0x2);
    EXPECT_EQ(result.asc, 0x04);
    EXPECT_EQ(result.ascq, 0x01);

    uint8_t deferredDescriptor[4] = {0x73, 0x06, 0x28, 0x00};
    parseSense(result, deferredDescriptor, sizeof deferredDescriptor);
    EXPECT_EQ(result.senseKey, 0x6);
    EXPECT_EQ(result.asc, 0x28);
}

TEST(CommandResult, ShortOrUnknownSenseReadsOnlyWhatIsThere)
{
    CommandResult result;
    uint8_t truncated[3] = {0x70, 0, 0x03}; // ASC/ASCQ missing
    parseSense(result, truncated, sizeof truncated);
    EXPECT_EQ(result.senseKey, 0x3);
    EXPECT_EQ(result.asc, 0);
    EXPECT_EQ(result.ascq, 0);

    uint8_t vendor[18] = {0x7F, 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20};
    parseSense(result, vendor, sizeof vendor);
    EXPECT_EQ(result.responseCode, 0x7F);
    EXPECT_EQ(result.senseKey, 0);
    EXPECT_EQ(result.asc, 0);
    parseSense(result, nullptr, 0);
    EXPECT_EQ(result.responseCode, 0);
}

TEST(CommandResult, IsClearedBeforeEachCommandAndKeepsTheCdb)
{
    CdDevice device;
    auto drive = test::makeDrive(test::audioDisc({300}));
    attachTransport(device, drive->connect());

    uint8_t unknown[12] = {0xEE, 1, 2, 3};
    EXPECT_FALSE(sendCommand(device, unknown, sizeof unknown, nullptr, 0, DataDirection::In));
    EXPECT_EQ(device.result.status, kScsiStatusCheckCondition);
    EXPECT_EQ(device.result.senseKey, 5);
    EXPECT_EQ(device.result.asc, 0x20);
    EXPECT_EQ(device.result.senseData[0], 0x70);
    EXPECT_EQ(device.result.command[0], 0xEE);
    EXPECT_EQ(device.result.command[3], 3);

    EXPECT_TRUE(testUnitReady(device));
    EXPECT_TRUE(device.result.isSuccess());
    EXPECT_EQ(device.result.senseKey, 0);
    EXPECT_EQ(device.result.asc, 0);
    EXPECT_EQ(device.result.senseData[0], 0); // no stale sense from the failed command
    EXPECT_EQ(device.result.command[0], kOpTestUnitReady);
    EXPECT_EQ(device.result.command[3], 0);
}

TEST(CommandResult, StatusIsMaskedAndTransportErrorsFail)
{
    CdDevice device;
    attachTransport(device, std::make_unique<test::ScriptedTransport>([](const ScsiRequest&, ScsiReply& reply) {
        reply.status = 0xC1; // vendor and reserved bits only: GOOD after masking
    }));
    EXPECT_TRUE(testUnitReady(device));

    attachTransport(device, std::make_unique<test::ScriptedTransport>([](const ScsiRequest&, ScsiReply& reply) {
        reply.error = errorFromSystem(5);
    }));
    EXPECT_FALSE(testUnitReady(device));
    EXPECT_EQ(device.result.error, 0x80070005u);
    EXPECT_EQ(device.result.status, 0);

    closeDevice(device);
    EXPECT_FALSE(testUnitReady(device)); // a closed device fails instead of crashing
    EXPECT_NE(device.result.error, 0u);
}

} // namespace
} // namespace tonvane
