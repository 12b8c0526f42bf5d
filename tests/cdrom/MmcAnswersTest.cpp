#include "cdrom/mmc/BigEndian.h"
#include "cdrom/mmc/MmcAnswers.h"

#include <gtest/gtest.h>
#include <vector>

namespace tonvane {
namespace {

std::vector<uint8_t> configurationWith(uint16_t profile, std::vector<std::vector<uint8_t>> descriptors,
    size_t size = kConfigurationLength)
{
    std::vector<uint8_t> answer(size, 0);
    writeBe16(&answer[6], profile);
    size_t offset = 8;
    for (const auto& d : descriptors) {
        std::copy(d.begin(), d.end(), answer.begin() + static_cast<long>(offset));
        offset += d.size();
    }
    return answer;
}

TEST(MmcAnswers, ConfigurationProfileAndStreamingFeature)
{
    // 0x0107 with its current bit clear still counts.
    auto answer = configurationWith(0x0009, {{0x00, 0x00, 0x03, 0x04, 0x00, 0x09, 0x01, 0x00},
                                                {0x01, 0x07, 0x00, 0x04, 0, 0, 0, 0}});
    DriveFeatures features = parseConfiguration(answer);
    EXPECT_EQ(features.currentProfile, 0x0009);
    EXPECT_TRUE(features.cdMedium);
    EXPECT_TRUE(features.realTimeStreaming);

    features = parseConfiguration(configurationWith(0x0010, {{0x00, 0x1E, 0x01, 0x00}}));
    EXPECT_EQ(features.currentProfile, 0x0010);
    EXPECT_FALSE(features.cdMedium);
    EXPECT_FALSE(features.realTimeStreaming);

    for (uint16_t profile : {0x0008, 0x000A})
        EXPECT_TRUE(parseConfiguration(configurationWith(profile, {})).cdMedium);
    EXPECT_FALSE(parseConfiguration(configurationWith(0x0000, {})).cdMedium);
}

TEST(MmcAnswers, FeatureWalkStaysInsideTheBuffer)
{
    // A descriptor whose additional length jumps past the end ends the walk.
    auto answer = configurationWith(0x0008, {{0x00, 0x01, 0x03, 0xFF}});
    EXPECT_FALSE(parseConfiguration(answer).realTimeStreaming);

    // A descriptor header that starts 2 bytes before the end is not read.
    std::vector<uint8_t> tight(14, 0);
    writeBe16(&tight[6], 0x0008);
    tight[8] = 0x00, tight[9] = 0x01, tight[10] = 0, tight[11] = 0; // empty descriptor at 8
    tight[12] = 0x01, tight[13] = 0x07; // would be 0x0107, but its flags and length lie outside
    EXPECT_FALSE(parseConfiguration(tight).realTimeStreaming);
    tight.push_back(0);
    tight.push_back(0);
    EXPECT_TRUE(parseConfiguration(tight).realTimeStreaming);

    EXPECT_EQ(parseConfiguration(std::vector<uint8_t>(5, 0xFF)).currentProfile, 0);
}

TEST(MmcAnswers, DiscAndTrackInformation)
{
    std::vector<uint8_t> disc(kDiscInformationLength, 0);
    disc[6] = 12;
    EXPECT_EQ(lastTrackInLastSession(disc), 12u);
    disc[11] = 1;
    EXPECT_EQ(lastTrackInLastSession(disc), 268u);
    EXPECT_EQ(lastTrackInLastSession(std::vector<uint8_t>(11, 0xFF)), 0u);

    std::vector<uint8_t> track(kTrackInformationLength, 0);
    track[2] = 7;
    track[5] = 0x04;
    writeBe32(&track[8], 123456);
    writeBe32(&track[24], 2250);
    auto info = parseTrackInformation(track);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->trackNumber, 7u);
    EXPECT_TRUE(info->data);
    EXPECT_FALSE(info->isAudio());
    EXPECT_TRUE(info->isPresent());
    EXPECT_EQ(info->start, 123456u);
    EXPECT_EQ(info->size, 2250u);

    track[5] = 0x00;
    track[6] = 0x40;
    track[32] = 1; // high byte of the track number
    info = parseTrackInformation(track);
    EXPECT_TRUE(info->isAudio());
    EXPECT_FALSE(info->isPresent());
    EXPECT_EQ(info->trackNumber, 263u);
    EXPECT_FALSE(parseTrackInformation(std::vector<uint8_t>(27, 0)));
}

std::vector<uint8_t> tocOf(std::vector<std::array<uint8_t, 4>> entries) // track, m, s, f
{
    std::vector<uint8_t> toc(4 + entries.size() * 8, 0);
    writeBe16(&toc[0], static_cast<uint32_t>(toc.size() - 2));
    toc[2] = entries.front()[0];
    toc[3] = entries[entries.size() - 2][0];
    for (size_t i = 0; i < entries.size(); ++i) {
        uint8_t* d = &toc[4 + i * 8];
        d[1] = 0x10;
        d[2] = entries[i][0];
        d[5] = entries[i][1];
        d[6] = entries[i][2];
        d[7] = entries[i][3];
    }
    return toc;
}

TEST(MmcAnswers, TocParsesTracksAndLeadOut)
{
    auto bytes = tocOf({{1, 0, 2, 0}, {2, 3, 10, 74}, {0xAA, 7, 0, 1}});
    EXPECT_EQ(readBe16(bytes.data()), 26); // two tracks plus the lead-out
    EXPECT_EQ(tocAllocationLength(26), 32u);
    bytes.resize(32, 0); // the allocation of the second READ TOC
    auto toc = parseToc(bytes);
    ASSERT_TRUE(toc);
    EXPECT_EQ(toc->firstTrack, 1);
    EXPECT_EQ(toc->lastTrack, 2);
    ASSERT_EQ(toc->entries.size(), 3u);
    EXPECT_EQ(toc->entries[1].msfFrames(), (3u * 60 + 10) * 75 + 74);
    EXPECT_EQ(toc->entries[2].trackNumber, kLeadOutTrack);
    EXPECT_EQ(toc->entries[0].adr, 1);
}

TEST(MmcAnswers, TocThatLiesAboutItselfIsRejected)
{
    auto good = tocOf({{1, 0, 2, 0}, {2, 3, 10, 74}, {0xAA, 7, 0, 1}});
    // Claims one descriptor more than the buffer carries.
    auto claimsMore = good;
    writeBe16(claimsMore.data(), 34);
    EXPECT_FALSE(parseToc(claimsMore));
    // A track number above 99.
    auto bigTrack = tocOf({{1, 0, 2, 0}, {100, 3, 10, 74}, {0xAA, 7, 0, 1}});
    EXPECT_FALSE(parseToc(bigTrack));
    // Tracks out of order, no lead-out, lead-out in the middle, impossible seconds.
    EXPECT_FALSE(parseToc(tocOf({{2, 0, 2, 0}, {1, 3, 10, 74}, {0xAA, 7, 0, 1}})));
    EXPECT_FALSE(parseToc(tocOf({{1, 0, 2, 0}, {2, 3, 10, 74}})));
    EXPECT_FALSE(parseToc(tocOf({{1, 0, 2, 0}, {0xAA, 3, 10, 74}, {2, 7, 0, 1}})));
    EXPECT_FALSE(parseToc(tocOf({{1, 0, 60, 0}, {0xAA, 7, 0, 1}})));
    // A length that is not whole descriptors, and scraps.
    auto ragged = good;
    writeBe16(ragged.data(), 25);
    EXPECT_FALSE(parseToc(ragged));
    EXPECT_FALSE(parseToc(std::vector<uint8_t>{0x00, 0x0A}));
    EXPECT_FALSE(parseToc(std::vector<uint8_t>{}));
}

TEST(MmcAnswers, TocAllocationRule)
{
    EXPECT_EQ(tocAllocationLength(26), 32u);
    EXPECT_EQ(tocAllocationLength(18), 24u); // one track: 2 + 2 x 8
    EXPECT_EQ(tocAllocationLength(802), 808u); // 99 tracks
    EXPECT_EQ(tocAllocationLength(0xFFFF), 65544u); // beyond a 16-bit allocation: callers refuse it
}

TEST(MmcAnswers, PerformanceDescriptorAndStreamingParameters)
{
    std::vector<uint8_t> answer(kPerformanceLength, 0);
    writeBe32(&answer[0], 4); // header only
    EXPECT_FALSE(firstPerformanceDescriptor(answer));
    writeBe32(&answer[0], 19);
    EXPECT_FALSE(firstPerformanceDescriptor(answer));
    writeBe32(&answer[0], 0); // not a huge unsigned value
    EXPECT_FALSE(firstPerformanceDescriptor(answer));

    writeBe32(&answer[0], 20);
    writeBe32(&answer[8], 0);
    writeBe32(&answer[12], 2822);
    writeBe32(&answer[16], 359999);
    writeBe32(&answer[20], 7056);
    auto performance = firstPerformanceDescriptor(answer);
    ASSERT_TRUE(performance);
    EXPECT_EQ(performance->endLba, 359999u);
    EXPECT_EQ(performance->endPerformance, 7056u);
    EXPECT_FALSE(firstPerformanceDescriptor(std::vector<uint8_t>(answer.begin(), answer.begin() + 23)));

    auto streaming = streamingDescriptorFor(*performance);
    std::array<uint8_t, 28> expected = {0, 0, 0, 0, /*start*/ 0, 0, 0, 0, /*end*/ 0x00, 0x05, 0x7E, 0x3F,
        /*read size*/ 0, 0, 0x1B, 0x90, /*read time*/ 0, 0, 0x03, 0xE8, /*write size*/ 0, 0, 0x1B, 0x90,
        /*write time*/ 0, 0, 0x03, 0xE8};
    EXPECT_EQ(streaming, expected);
}

} // namespace
} // namespace tonvane
