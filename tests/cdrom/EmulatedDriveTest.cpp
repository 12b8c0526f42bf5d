#include "CdromTestSupport.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/mmc/MmcCommands.h"
#include "core/foundation/Clock.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

namespace tonvane {
namespace {

struct Fixture {
    std::shared_ptr<EmulatedDrive> drive;
    CdDevice device;
    explicit Fixture(const DiscDescription& description, EmulatedDriveConfig config = {}) : drive(test::makeDrive(description, config))
    {
        attachTransport(device, drive->connect());
    }
    bool send(std::vector<uint8_t> cdb, std::vector<uint8_t>& data)
    {
        return sendCommand(device, cdb.data(), cdb.size(), data.empty() ? nullptr : data.data(), data.size(),
            DataDirection::In);
    }
    void expectSense(uint8_t key, uint8_t asc, uint8_t ascq)
    {
        EXPECT_EQ(device.result.status, kScsiStatusCheckCondition);
        EXPECT_EQ(device.result.senseKey, key);
        EXPECT_EQ(device.result.asc, asc);
        EXPECT_EQ(device.result.ascq, ascq);
    }
};

TEST(EmulatedDrive, InquiryNamesVendorAndProduct)
{
    EmulatedDriveConfig config;
    config.vendor = "ACME";
    config.product = "SPINNER 52X";
    Fixture f(test::audioDisc({100}), config);
    std::vector<uint8_t> data(36, 0xEE);
    ASSERT_TRUE(f.send({kOpInquiry, 0, 0, 0, 36, 0}, data));
    EXPECT_EQ(data[0], 0x05); // CD/DVD device
    EXPECT_EQ(data[1] & 0x80, 0x80); // removable
    EXPECT_EQ(std::string(data.begin() + 8, data.begin() + 16), "ACME    ");
    EXPECT_EQ(std::string(data.begin() + 16, data.begin() + 32), "SPINNER 52X     ");

    std::vector<uint8_t> shorter(10, 0xEE);
    ASSERT_TRUE(f.send({kOpInquiry, 0, 0, 0, 5, 0}, shorter)); // allocation 5: nothing beyond
    EXPECT_EQ(shorter[5], 0xEE);
}

TEST(EmulatedDrive, TocInMsfAndLba)
{
    DiscDescription description = test::audioDisc({4500, 300});
    description.tracks.push_back({TrackKind::Data, 900, 0, 0});
    Fixture f(description);
    std::vector<uint8_t> toc(36, 0);
    ASSERT_TRUE(f.send({kOpReadTocPmaAtip, 0x02, 0, 0, 0, 0, 0, 0, 36, 0}, toc));
    EXPECT_EQ(readBe16(toc.data()), 34);
    EXPECT_EQ(toc[2], 1);
    EXPECT_EQ(toc[3], 3);
    const uint8_t* t2 = &toc[4 + 8];
    EXPECT_EQ(t2[1], 0x10); // ADR 1, audio
    EXPECT_EQ(t2[2], 2);
    EXPECT_EQ(t2[5], 1); // LBA 4500 + 150 = 01:02:00
    EXPECT_EQ(t2[6], 2);
    EXPECT_EQ(t2[7], 0);
    EXPECT_EQ(toc[4 + 16 + 1], 0x14); // data track control bit
    EXPECT_EQ(toc[4 + 24 + 2], 0xAA);

    ASSERT_TRUE(f.send({kOpReadTocPmaAtip, 0x00, 0, 0, 0, 0, 0, 0, 36, 0}, toc));
    EXPECT_EQ(readBe32(&toc[4 + 8 + 4]), 4500u);
    EXPECT_EQ(readBe32(&toc[4 + 24 + 4]), 5700u); // lead-out

    ASSERT_TRUE(f.send({kOpReadTocPmaAtip, 0x00, 0, 0, 0, 0, 3, 0, 36, 0}, toc)); // from track 3
    EXPECT_EQ(readBe16(toc.data()), 18);
    EXPECT_FALSE(f.send({kOpReadTocPmaAtip, 0x00, 2, 0, 0, 0, 0, 0, 36, 0}, toc)); // format 2 not offered
    f.expectSense(5, 0x24, 0);
}

TEST(EmulatedDrive, ConfigurationListsProfilesAndStreaming)
{
    EmulatedDriveConfig config;
    config.realTimeStreamingCurrent = false;
    Fixture f(test::audioDisc({100}), config);
    ASSERT_TRUE(refreshCapabilities(f.device));
    EXPECT_EQ(f.device.capabilities.currentProfile, kProfileCdRom);
    EXPECT_TRUE(f.device.capabilities.realTimeStreaming);

    std::vector<uint8_t> data(2056, 0);
    ASSERT_TRUE(f.send({kOpGetConfiguration, 0, 0, 0, 0, 0, 0, 0x08, 0x08, 0}, data));
    // Profile list first: CD-ROM current, CD-R and CD-RW listed.
    EXPECT_EQ(readBe16(&data[8]), 0x0000);
    EXPECT_EQ(data[11], 12);
    EXPECT_EQ(readBe16(&data[12]), 0x0008);
    EXPECT_EQ(data[14] & 1, 1);
    EXPECT_EQ(readBe16(&data[16]), 0x0009);
    EXPECT_EQ(data[18] & 1, 0);

    f.drive->setProfile(kProfileDvdRom);
    ASSERT_TRUE(refreshCapabilities(f.device));
    EXPECT_EQ(f.device.capabilities.currentProfile, kProfileDvdRom);
    EXPECT_FALSE(f.device.capabilities.cdMedium);
}

TEST(EmulatedDrive, DiscAndTrackInformationLayouts)
{
    DiscDescription description = test::audioDisc({1000, 2000});
    description.tracks.push_back({TrackKind::Data, 3000, 0, 0});
    description.dataSessionAfterAudio = true;
    Fixture f(description);
    DiscInformationBuffer disc;
    ASSERT_TRUE(readDiscInformation(f.device, disc));
    EXPECT_EQ(readBe16(disc.data()), 32);
    EXPECT_EQ(disc[3], 1); // first track
    EXPECT_EQ(disc[4], 2); // sessions
    EXPECT_EQ(disc[5], 3); // first track of the last session
    EXPECT_EQ(lastTrackInLastSession(disc), 3u);

    TrackInformationBuffer track;
    ASSERT_TRUE(readTrackInformation(f.device, 2, track));
    EXPECT_EQ(track[3], 1); // session
    EXPECT_EQ(readBe32(&track[8]), 1000u);
    EXPECT_EQ(readBe32(&track[24]), 2000u); // runs to the first session's lead-out
    ASSERT_TRUE(readTrackInformation(f.device, 3, track));
    EXPECT_EQ(track[3], 2);
    EXPECT_EQ(track[5] & 0x04, 0x04);
    EXPECT_EQ(readBe32(&track[8]), 3000u + 11400u);
    EXPECT_FALSE(readTrackInformation(f.device, 4, track));
    f.expectSense(5, 0x24, 0);
}

TEST(EmulatedDrive, IllegalRequestsAndRanges)
{
    DiscDescription description = test::audioDisc({100});
    description.tracks.push_back({TrackKind::Data, 100, 0, 0});
    Fixture f(description);
    std::vector<uint8_t> data(16 * 2352);
    EXPECT_FALSE(f.send({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, data)); // READ(10) is not offered
    f.expectSense(5, 0x20, 0);
    EXPECT_FALSE(readCd(f.device, 195, 10, data.data())); // past the lead-out at 200
    f.expectSense(5, 0x21, 0);
    EXPECT_FALSE(readCd(f.device, 95, 10, data.data())); // runs into the data track
    f.expectSense(5, 0x64, 0);
    EXPECT_TRUE(readCd(f.device, 90, 10, data.data()));
    EXPECT_FALSE(f.send({kOpReadCd, 0x04, 0, 0, 0, 0, 0, 0, 1, 0xF8, 0, 0}, data)); // raw sectors
    f.expectSense(5, 0x24, 0);
}

TEST(EmulatedDrive, MediumStatesAndNotReady)
{
    EmulatedDriveConfig config;
    config.faults.noMedium = true;
    Fixture f(test::audioDisc({100}), config);
    EXPECT_FALSE(testUnitReady(f.device));
    f.expectSense(2, 0x3A, 0);
    EXPECT_TRUE(refreshCapabilities(f.device)); // GET CONFIGURATION works without a disc
    EXPECT_EQ(f.device.capabilities.currentProfile, 0);

    EmulatedFaults faults;
    faults.notReadyMs = 150;
    f.drive->setFaults(faults);
    EXPECT_FALSE(testUnitReady(f.device));
    f.expectSense(2, 0x04, 0x01);
    sleepMs(200);
    EXPECT_TRUE(testUnitReady(f.device));

    f.drive->removeMedium();
    EXPECT_FALSE(testUnitReady(f.device));
    f.expectSense(2, 0x3A, 0);
    f.drive->insertMedium();
    EXPECT_FALSE(testUnitReady(f.device)); // spinning up again after insertion
}

TEST(EmulatedDrive, ReadFaultsTransientAndPermanent)
{
    EmulatedDriveConfig config;
    config.faults.readFaults = {{40, 2}, {80, kPermanentFault}};
    Fixture f(test::audioDisc({200}), config);
    std::vector<uint8_t> data(16 * 2352);
    EXPECT_FALSE(readCd(f.device, 32, 16, data.data()));
    f.expectSense(3, 0x11, 0);
    EXPECT_FALSE(readCd(f.device, 40, 1, data.data()));
    EXPECT_TRUE(readCd(f.device, 32, 16, data.data())); // third try reads
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(readCd(f.device, 80, 1, data.data()));
    EXPECT_TRUE(readCd(f.device, 81, 16, data.data()));
}

TEST(EmulatedDrive, MediumIsRemovedAfterSomeSectors)
{
    EmulatedDriveConfig config;
    config.faults.removeAfterSectors = 48;
    Fixture f(test::audioDisc({500}), config);
    std::vector<uint8_t> data(16 * 2352);
    for (uint32_t lba = 0; lba < 48; lba += 16)
        EXPECT_TRUE(readCd(f.device, lba, 16, data.data()));
    EXPECT_FALSE(f.drive->hasMedium());
    EXPECT_FALSE(readCd(f.device, 48, 16, data.data()));
    f.expectSense(2, 0x3A, 0);
}

TEST(EmulatedDrive, SpeedLimitSlowsReads)
{
    EmulatedDriveConfig config;
    config.faults.sectorsPerSecond = 600; // 8x
    Fixture f(test::audioDisc({500}), config);
    std::vector<uint8_t> data(16 * 2352);
    uint64_t start = monotonicNs();
    for (uint32_t lba = 0; lba < 96; lba += 16)
        ASSERT_TRUE(readCd(f.device, lba, 16, data.data()));
    // 96 sectors at 600 per second cannot arrive in less than 160 ms.
    EXPECT_GE(monotonicNs() - start, 150'000'000u);
}

TEST(EmulatedDrive, ReadsTheDiscAudioAndTheDemoDiscSoundsLikeMusic)
{
    auto drive = demoDrive();
    CdDevice device;
    attachTransport(device, drive->connect());
    std::vector<DiscTrack> tracks;
    ASSERT_TRUE(readTrackList(device, tracks));
    ASSERT_EQ(tracks.size(), 4u);
    for (const DiscTrack& track : tracks) {
        EXPECT_TRUE(track.info.isAudio());
        EXPECT_GE(track.info.size, 15u * 75);
        EXPECT_LE(track.info.size, 40u * 75 + 150);
    }
    // One second of track 2: loud enough, not constant, with both channels different.
    std::vector<uint8_t> second(75 * 2352);
    for (uint32_t i = 0; i < 75; i += 15)
        ASSERT_TRUE(readCd(device, tracks[1].info.start + 150 + i, 15, second.data() + i * 2352));
    const auto* samples = reinterpret_cast<const int16_t*>(second.data());
    size_t count = second.size() / 2;
    double energy = 0;
    size_t signChanges = 0;
    size_t channelsDiffer = 0;
    for (size_t i = 0; i < count; ++i) {
        energy += double(samples[i]) * samples[i];
        if (i >= 2 && (samples[i] < 0) != (samples[i - 2] < 0))
            ++signChanges;
        if (i % 2 == 1 && samples[i] != samples[i - 1])
            ++channelsDiffer;
    }
    double rms = std::sqrt(energy / double(count));
    EXPECT_GT(rms, 1000.0);
    EXPECT_LT(rms, 20000.0);
    EXPECT_GT(signChanges, 200u); // not silence or DC
    EXPECT_GT(channelsDiffer, count / 4);

    // Deterministic: the same seed gives the same bytes, another seed other bytes.
    std::vector<uint8_t> a(10 * 2352), b(10 * 2352), c(10 * 2352);
    generateMusic(5, 10, a.data());
    generateMusic(5, 10, b.data());
    generateMusic(6, 10, c.data());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(EmulatedDrive, RipThreadAndUiThreadShareTheDrive)
{
    auto drive = test::makeDrive(test::audioDisc({3000}, true), {});
    std::atomic<bool> done{false};
    std::thread ui([&] {
        CdDevice device;
        attachTransport(device, drive->connect());
        while (!done.load()) {
            testUnitReady(device);
            refreshCapabilities(device);
            std::vector<uint8_t> toc;
            readFullToc(device, toc);
        }
    });
    CdDevice rip;
    attachTransport(rip, drive->connect());
    std::vector<uint8_t> chunk(16 * 2352);
    std::vector<uint8_t> expected(16 * 2352);
    auto disc = drive->disc();
    for (uint32_t lba = 0; lba + 16 <= 3000; lba += 16) {
        ASSERT_TRUE(readCd(rip, lba, 16, chunk.data()));
        ASSERT_TRUE(disc->readSectors(lba, 16, expected.data()));
        ASSERT_EQ(chunk, expected);
    }
    done = true;
    ui.join();
}

} // namespace
} // namespace tonvane

#include "cdrom/rip/GapDetection.h"

namespace tonvane {
namespace {
TEST(GapDetection, FindsEachPregapFromTheQSubChannel)
{
    DiscDescription description;
    for (uint32_t pregap : {0u, 150u, 0u, 1u, 33u})
        description.tracks.push_back({TrackKind::Audio, 400, pregap, 7});
    std::shared_ptr<const EmulatedDisc> disc = buildDisc(description);
    ASSERT_TRUE(disc);
    installEmulatedDrive("image:/virtual/gaps.cue", std::make_shared<EmulatedDrive>(disc));
    std::vector<GapTrack> tracks;
    for (const EmulatedTrack& track : disc->tracks())
        tracks.push_back({track.number, track.start});
    std::optional<std::vector<uint32_t>> gaps = detectPregaps("image:/virtual/gaps.cue", tracks);
    ASSERT_TRUE(gaps);
    EXPECT_EQ(*gaps, (std::vector<uint32_t>{0, 150, 0, 1, 33}));

    // The Q data itself: inside the pregap of track 2 the index is 0 and the relative time counts
    // down to INDEX 01; the absolute time is the MSF address (LBA + 150) in BCD.
    CdDevice device;
    ASSERT_TRUE(openDevice(device, "image:/virtual/gaps.cue"));
    QPosition q;
    ASSERT_TRUE(readQPosition(device, tracks[1].start - 1, q));
    EXPECT_EQ(q.track, 2);
    EXPECT_EQ(q.index, 0);
    ASSERT_TRUE(readQPosition(device, tracks[1].start, q));
    EXPECT_EQ(q.index, 1);
    uint8_t cdb[12] = {0xBE, 0, 0, 0, 0x01, 0x90, 0, 0, 1, 0x00, 0x02, 0}; // LBA 400
    uint8_t raw[16] = {};
    ASSERT_TRUE(sendCommand(device, cdb, sizeof cdb, raw, sizeof raw, DataDirection::In));
    EXPECT_EQ(raw[0], 0x01); // audio, ADR 1
    EXPECT_EQ(raw[1], 0x02); // track 2 in BCD
    EXPECT_EQ(raw[3] << 16 | raw[4] << 8 | raw[5], 0x000200); // 150 sectors before INDEX 01: 00:02:00
    EXPECT_EQ(raw[7] << 16 | raw[8] << 8 | raw[9], 0x000725); // LBA 400 + 150 = 550 = 00:07:25
    uninstallEmulatedDrive("image:/virtual/gaps.cue");
}
} // namespace
} // namespace tonvane
