#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "cdrom/accuraterip/AccurateRipResponse.h"

#include <gtest/gtest.h>

#include <random>

namespace tonvane {
namespace {

TEST(AccurateRipDiscId, IdsAndRecordPathsFromTheTableOfContents)
{
    // Each expectation worked out by hand from the formulas (see the comments).
    struct Case {
        const char* name;
        std::vector<DiscIdTrack> tracks;
        uint32_t leadOut;
        AccurateRipDiscId expected;
        const char* path;
    } cases[] = {
        // id1 = 0 + 15000 + 30000 + 45000; id2 = 1x1 + 15000x2 + 30000x3 + 45000x4;
        // CDDB: start seconds 2, 202, 402 -> digit sums 2 + 4 + 6 = 12, 602 - 2 = 600 s, 3 tracks.
        {"audio CD", {{0, true}, {15000, true}, {30000, true}}, 45000,
         {3, 90000, 300001, 0x0C025803, false}, "/accuraterip/0/9/f/dBAR-003-00015f90-000493e1-0c025803.bin"},
        // Audio tracks 20000 and 40000 only: id1 = 20000 + 40000 + 60000, id2 = 20000 + 40000x2
        // + 60000x3; CDDB over all three: seconds 2, 268, 535 -> 2 + 16 + 13 = 31, 800 s.
        {"data track first", {{0, false}, {20000, true}, {40000, true}}, 60000,
         {2, 120000, 280000, 0x1F032003, true}, "/accuraterip/0/c/4/dBAR-002-0001d4c0-000445c0-1f032003.bin"},
        // The real lead-out 50000, not the audio session's end: id1 = 0 + 10000 + 50000,
        // id2 = 1 + 10000x2 + 50000x3; CDDB: seconds 2, 135, 535 -> 2 + 9 + 13 = 24, 666 s.
        {"data session last", {{0, true}, {10000, true}, {40000, false}}, 50000,
         {2, 60000, 170001, 0x18029A03, false}, "/accuraterip/0/6/a/dBAR-002-0000ea60-00029811-18029a03.bin"},
    };
    for (const Case& c : cases) {
        std::optional<AccurateRipDiscId> id = accurateRipDiscId(c.tracks, c.leadOut);
        ASSERT_TRUE(id) << c.name;
        EXPECT_EQ(*id, c.expected) << c.name << std::hex << " " << id->id1 << " " << id->id2 << " " << id->id3;
        EXPECT_EQ(accurateRipPath(*id), c.path) << c.name;
    }
    // Ids sum modulo 2^32.
    std::optional<AccurateRipDiscId> big = accurateRipDiscId(std::vector<DiscIdTrack>{{0, true}, {300000, true}}, 0xF0000000u);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->id2, static_cast<uint32_t>(1 + 300000ull * 2 + 0xF0000000ull * 3));

    EXPECT_FALSE(accurateRipDiscId(std::vector<DiscIdTrack>{{0, false}}, 1000)); // no audio
    EXPECT_FALSE(accurateRipDiscId(std::vector<DiscIdTrack>{{0, true}, {0, true}}, 1000)); // not rising
    EXPECT_FALSE(accurateRipDiscId(std::vector<DiscIdTrack>{{0, true}, {2000, true}}, 1000)); // past lead-out
}

// The checksums the plain way: every word, its position, the first/last-track rules.
void referenceCrc(const std::vector<uint8_t>& pcm, bool first, bool last, uint32_t& v1, uint32_t& v2)
{
    int64_t words = static_cast<int64_t>(pcm.size() / 4);
    uint32_t low = 0, high = 0;
    for (int64_t k = 1; k <= words; ++k) {
        if (first && k < 2940)
            continue;
        if (last && k > words - 2940)
            continue;
        const uint8_t* w = &pcm[static_cast<size_t>(k - 1) * 4];
        uint64_t word = w[0] | w[1] << 8 | w[2] << 16 | uint64_t{w[3]} << 24;
        uint64_t product = word * static_cast<uint64_t>(k);
        low += static_cast<uint32_t>(product);
        high += static_cast<uint32_t>(product >> 32);
    }
    v1 = low;
    v2 = low + high;
}

TEST(AccurateRipChecksum, MatchesAPlainLoopForAnyTrackAndFeedingPattern)
{
    std::mt19937 random(17);
    for (uint32_t sectors : {1u, 4u, 5u, 6u, 11u, 300u}) {
        std::vector<uint8_t> pcm(size_t{sectors} * 2352);
        for (uint8_t& byte : pcm)
            byte = static_cast<uint8_t>(random());
        for (int role = 0; role < 4; ++role) {
            bool first = (role & 1) != 0, last = (role & 2) != 0;
            uint32_t v1 = 0, v2 = 0;
            referenceCrc(pcm, first, last, v1, v2);
            AccurateRipChecksum checksum(pcm.size() / 4, first, last);
            // Pieces of random whole-word sizes, as sectors and chunks arrive.
            for (size_t at = 0; at < pcm.size();) {
                size_t piece = std::min(pcm.size() - at, size_t{random() % 9000} * 4 + 4);
                checksum.feed(pcm.data() + at, piece);
                at += piece;
            }
            EXPECT_EQ(checksum.v1(), v1) << sectors << " sectors, role " << role;
            EXPECT_EQ(checksum.v2(), v2) << sectors << " sectors, role " << role;
            EXPECT_EQ(checksum.wordsSeen(), pcm.size() / 4);
        }
    }
    // A short track alone on the disc counts nothing; v2 differs from v1 once products pass 2^32.
    std::vector<uint8_t> loud(5 * 2352, 0xFF);
    AccurateRipChecksum only(loud.size() / 4, true, true);
    only.feed(loud.data(), loud.size());
    EXPECT_EQ(only.v1(), 0u);
    AccurateRipChecksum middle(loud.size() / 4, false, false);
    middle.feed(loud.data(), loud.size());
    EXPECT_NE(middle.v1(), middle.v2());
}

std::vector<uint8_t> record(const AccurateRipDiscId& id, const std::vector<std::vector<AccurateRipEntry>>& blocks,
                            uint8_t countOverride = 0)
{
    std::vector<uint8_t> bytes;
    auto le32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    for (const auto& block : blocks) {
        bytes.push_back(countOverride ? countOverride : static_cast<uint8_t>(id.audioTracks));
        le32(id.id1);
        le32(id.id2);
        le32(id.id3);
        for (const AccurateRipEntry& entry : block) {
            bytes.push_back(entry.confidence);
            le32(entry.crc);
            le32(entry.frame450Crc);
        }
    }
    return bytes;
}

TEST(AccurateRipResponse, BlocksAreBelievedOnlyWhenWholeAndForThisDisc)
{
    AccurateRipDiscId id{2, 0x1111, 0x2222, 0x03003302, false};
    std::vector<AccurateRipEntry> pressingA = {{7, 0xAAAA0001, 0}, {7, 0xAAAA0002, 0}};
    std::vector<AccurateRipEntry> pressingB = {{3, 0xBBBB0001, 0}, {0, 0xBBBB0002, 0}};
    std::vector<uint8_t> two = record(id, {pressingA, pressingB});
    auto blocks = parseAccurateRipResponse(two, id);
    ASSERT_TRUE(blocks);
    ASSERT_EQ(blocks->size(), 2u);
    EXPECT_EQ((*blocks)[1][0].crc, 0xBBBB0001u);

    // Track 1 matches pressing B through v2, track 2 matches nothing, and B's zero-confidence
    // entry for track 2 is no submission.
    EXPECT_EQ(accurateRipVerdict(*blocks, id, 0, 0x1, 0xBBBB0001).text(), "accurate (confidence 3)");
    EXPECT_EQ(accurateRipVerdict(*blocks, id, 0, 0xAAAA0001, 0x5).text(), "accurate (confidence 7)");
    EXPECT_EQ(accurateRipVerdict(*blocks, id, 1, 0xBBBB0002, 0xBBBB0002).text(), "not accurate");
    std::vector<uint8_t> zeroOnly = record(id, {pressingB});
    EXPECT_EQ(accurateRipVerdict(*parseAccurateRipResponse(zeroOnly, id), id, 1, 0xBBBB0002, 0).text(),
              "not in the database");

    AccurateRipDiscId other = id;
    other.id3 ^= 1;
    std::vector<uint8_t> mixed = record(id, {pressingA});
    std::vector<uint8_t> foreign = record(other, {pressingB});
    mixed.insert(mixed.end(), foreign.begin(), foreign.end());
    std::vector<uint8_t> truncated(two.begin(), two.end() - 1);
    std::vector<uint8_t> headerOnlyTail = two;
    headerOnlyTail.resize(two.size() + 5, 0);
    struct Bad {
        const char* why;
        std::vector<uint8_t> bytes;
    } bad[] = {
        {"second block for another disc", mixed},
        {"cut inside a block", truncated},
        {"a partial header after the blocks", headerOnlyTail},
        {"wrong track count", record(id, {pressingA}, 3)},
        {"empty", {}},
    };
    for (const Bad& b : bad)
        EXPECT_FALSE(parseAccurateRipResponse(b.bytes, id)) << b.why;
}

TEST(AccurateRipResponse, DataTrackFirstShiftsEntriesAndLacksTheLastAudioTrack)
{
    AccurateRipDiscId id{3, 1, 2, 3, true};
    // Entry 0 is the data track; audio tracks 1 and 2 follow; audio track 3 is not there.
    std::vector<uint8_t> bytes = record(id, {{{0, 0, 0}, {4, 0x100, 0}, {5, 0x200, 0}}});
    auto blocks = parseAccurateRipResponse(bytes, id);
    ASSERT_TRUE(blocks);
    EXPECT_EQ(accurateRipVerdict(*blocks, id, 0, 0x100, 0).text(), "accurate (confidence 4)");
    EXPECT_EQ(accurateRipVerdict(*blocks, id, 1, 0x200, 0).text(), "accurate (confidence 5)");
    EXPECT_EQ(accurateRipVerdict(*blocks, id, 2, 0x300, 0).text(), "not in the database");
}

} // namespace
} // namespace tonvane

#include "cdrom/accuraterip/Crc32.h"

namespace tonvane {
namespace {
TEST(Crc32, KnownValuesAndPieces)
{
    const char* text = "123456789";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    EXPECT_EQ(crc32Update(0, bytes, 9), 0xCBF43926u); // the standard check value
    EXPECT_EQ(crc32Update(crc32Update(0, bytes, 4), bytes + 4, 5), 0xCBF43926u);
    EXPECT_EQ(crc32Update(0, bytes, 0), 0u);
}

// Bit by bit, straight from the polynomial: the oracle for the folded and the table paths.
uint32_t bitwiseCrc32(uint32_t crc, const uint8_t* bytes, size_t count)
{
    crc = ~crc;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Lengths around the 16- and 64-byte blocks of the folded path, at every alignment, whole and
// in two pieces split anywhere, and a whole CD sector chunk as the rip feeds it.
TEST(Crc32, AnyLengthAlignmentAndSplitMatchesTheBitwiseDefinition)
{
    std::mt19937 random(32);
    std::vector<uint8_t> data(16 * 2352 + 64);
    for (uint8_t& byte : data)
        byte = static_cast<uint8_t>(random());
    std::vector<size_t> lengths = {1, 15, 16, 17, 63, 64, 65, 79, 80, 127, 128, 129, 191, 255, 256, 1000, 4095, 16 * 2352};
    for (size_t length : lengths) {
        for (size_t offset : {0u, 1u, 3u, 8u, 15u}) {
            const uint8_t* at = data.data() + offset;
            const uint32_t expected = bitwiseCrc32(0, at, length);
            EXPECT_EQ(crc32Update(0, at, length), expected) << length << " bytes at +" << offset;
            const size_t split = random() % (length + 1);
            EXPECT_EQ(crc32Update(crc32Update(0, at, split), at + split, length - split), expected)
                << length << " bytes at +" << offset << " split at " << split;
        }
    }
    // A running CRC that is not zero going in (the rip's, chunk after chunk).
    EXPECT_EQ(crc32Update(0x12345678u, data.data(), 1024), bitwiseCrc32(0x12345678u, data.data(), 1024));
}
} // namespace
} // namespace tonvane

#include "cdrom/accuraterip/OffsetSearch.h"

namespace tonvane {
namespace {
TEST(OffsetSearch, FindsTheShiftThatGivesBackSector450)
{
    // A track's sectors 445-455 as the disc holds them, with room for shifts either way.
    std::mt19937 random(450);
    std::vector<uint8_t> disc((kOffsetWindowSectors + 12) * 2352);
    for (uint8_t& byte : disc)
        byte = static_cast<uint8_t>(random());
    const size_t windowStart = 6 * 2352; // disc byte of the track's sector 445
    uint32_t crc = sectorChecksum(disc.data() + windowStart + 5 * 2352);
    // The plain definition: words of sector 450 times 1..588, low 32 bits.
    uint32_t plain = 0;
    for (uint32_t k = 1; k <= 588; ++k) {
        const uint8_t* w = disc.data() + windowStart + 5 * 2352 + (k - 1) * 4;
        plain += static_cast<uint32_t>((w[0] | w[1] << 8 | w[2] << 16 | uint64_t{w[3]} << 24) * k);
    }
    EXPECT_EQ(crc, plain);
    for (int32_t offset : {0, 667, -667, 2939, -2939, 1}) {
        // A drive with offset n delivers at position d the disc's sample d - n.
        std::vector<uint8_t> window(kOffsetWindowSectors * 2352);
        for (size_t b = 0; b < window.size(); ++b)
            window[b] = disc[windowStart + b - static_cast<ptrdiff_t>(offset) * 4];
        EXPECT_EQ(offsetsMatching(window.data(), crc), std::vector<int32_t>{offset}) << offset;
    }
}
} // namespace
} // namespace tonvane
