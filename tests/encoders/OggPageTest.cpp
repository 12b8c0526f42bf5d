#include "encoders/tags/OggPage.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tonvane {
namespace {

std::vector<uint8_t> packetOf(size_t bytes, uint8_t seed)
{
    std::vector<uint8_t> packet(bytes);
    for (size_t i = 0; i < bytes; ++i)
        packet[i] = static_cast<uint8_t>(seed + i * 7);
    return packet;
}

struct Walk {
    std::vector<OggPage> pages;
    std::vector<std::vector<uint8_t>> packets;
    bool clean = true;
};

Walk walk(const std::vector<uint8_t>& bytes)
{
    Walk result;
    OggPacketAssembler assembler;
    size_t at = 0;
    while (at < bytes.size()) {
        OggPage page;
        size_t needed = 0;
        if (parseOggPage(bytes.data() + at, bytes.size() - at, page, needed) != OggParse::Page ||
            !assembler.add(page)) {
            result.clean = false;
            break;
        }
        result.pages.push_back(page);
        at += page.pageBytes;
    }
    result.packets = assembler.packets();
    return result;
}

TEST(OggPage, ChecksumOfTheCheckValue)
{
    // The Ogg CRC is CRC-32/MPEG-2 without its final inversion and initial ones: for "123456789"
    // it is 0x89A1897F.
    const char* text = "123456789";
    EXPECT_EQ(oggCrc(reinterpret_cast<const uint8_t*>(text), 9), 0x89A1897Fu);
}

TEST(OggPage, PacketsOfEveryLacingShapeComeBackWhole)
{
    // Sizes at and around the 255-byte segment and the 255-segment page limits.
    const std::vector<size_t> sizes = {0, 1, 254, 255, 256, 510, 65024, 65025, 65026, 140000, 7};
    std::vector<std::vector<uint8_t>> packets;
    for (size_t i = 0; i < sizes.size(); ++i)
        packets.push_back(packetOf(sizes[i], static_cast<uint8_t>(i)));
    uint32_t sequence = 5;
    std::vector<uint8_t> bytes = oggPagesOf(packets, 0xCAFE, sequence, 0);
    Walk result = walk(bytes);
    ASSERT_TRUE(result.clean);
    EXPECT_EQ(result.packets, packets);
    EXPECT_EQ(sequence, 5 + result.pages.size());
    for (size_t i = 0; i < result.pages.size(); ++i) {
        const OggPage& page = result.pages[i];
        EXPECT_EQ(page.sequence, 5 + i);
        EXPECT_EQ(page.serial, 0xCAFEu);
        EXPECT_LE(page.segmentCount, 255u);
        EXPECT_EQ((page.flags & ogg::kFirstPage), 0);
        // A page on which no packet ends carries no granule position.
        bool anyEnd = false;
        for (size_t s = 0; s < page.segmentCount; ++s)
            anyEnd = anyEnd || page.segments[s] < 255;
        EXPECT_EQ(page.granule, anyEnd ? 0u : ogg::kNoGranule) << i;
    }
}

TEST(OggPage, DamageAndShortInputAreToldApart)
{
    uint32_t sequence = 0;
    std::vector<uint8_t> bytes = oggPagesOf({packetOf(600, 3)}, 1, sequence, 0);
    OggPage page;
    size_t needed = 0;
    ASSERT_EQ(parseOggPage(bytes.data(), bytes.size(), page, needed), OggParse::Page);
    EXPECT_EQ(needed, bytes.size());

    EXPECT_EQ(parseOggPage(bytes.data(), 20, page, needed), OggParse::NeedMore);
    EXPECT_EQ(parseOggPage(bytes.data(), 28, page, needed), OggParse::NeedMore);
    EXPECT_EQ(needed, 27u + bytes[26]);
    EXPECT_EQ(parseOggPage(bytes.data(), bytes.size() - 1, page, needed), OggParse::NeedMore);
    EXPECT_EQ(needed, bytes.size());

    for (size_t at : {size_t(0), size_t(4), size_t(40), bytes.size() - 1}) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] ^= 0x01;
        EXPECT_EQ(parseOggPage(damaged.data(), damaged.size(), page, needed), OggParse::Damaged) << at;
    }
    // Renumbering gives the page a checksum that matches again.
    renumberOggPage(bytes.data(), bytes.size(), 42);
    ASSERT_EQ(parseOggPage(bytes.data(), bytes.size(), page, needed), OggParse::Page);
    EXPECT_EQ(page.sequence, 42u);
}

TEST(OggPage, AssemblerRefusesAContinuationOfNothingAndAnUnfinishedPacketLeftOpen)
{
    uint32_t sequence = 0;
    std::vector<uint8_t> bytes = oggPagesOf({packetOf(70000, 1)}, 1, sequence, 0);
    Walk whole = walk(bytes);
    ASSERT_GE(whole.pages.size(), 2u);
    OggPacketAssembler late;
    EXPECT_FALSE(late.add(whole.pages[1])); // continues a packet it never saw
    OggPacketAssembler twice;
    ASSERT_TRUE(twice.add(whole.pages[0]));
    EXPECT_TRUE(twice.open());
    EXPECT_FALSE(twice.add(whole.pages[0])); // a fresh packet while one is open
}

} // namespace
} // namespace tonvane
