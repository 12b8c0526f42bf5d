#include "net/cddb/DiscToc.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

using namespace tonvane;

namespace {

DiscToc tocFromLbas(uint8_t first, const std::vector<uint32_t>& starts, uint32_t leadOut)
{
    DiscToc toc;
    toc.firstTrack = first;
    toc.lastTrack = static_cast<uint8_t>(first + starts.size() - 1);
    for (size_t i = 0; i < starts.size(); ++i)
        toc.tracks.push_back({static_cast<uint8_t>(first + i), 0x10, starts[i]});
    toc.leadOutLba = leadOut;
    return toc;
}

// READ TOC format 0 answer in LBA form, as a drive sends it.
std::vector<uint8_t> rawToc(uint8_t first, const std::vector<uint32_t>& starts, uint32_t leadOut)
{
    std::vector<uint8_t> bytes(4);
    auto descriptor = [&](uint8_t number, uint32_t lba) {
        uint8_t d[8] = {0, 0x10, number, 0, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba)};
        bytes.insert(bytes.end(), d, d + 8);
    };
    for (size_t i = 0; i < starts.size(); ++i)
        descriptor(static_cast<uint8_t>(first + i), starts[i]);
    descriptor(0xAA, leadOut);
    size_t length = bytes.size() - 2;
    bytes[0] = uint8_t(length >> 8);
    bytes[1] = uint8_t(length);
    bytes[2] = first;
    bytes[3] = static_cast<uint8_t>(first + starts.size() - 1);
    return bytes;
}

// The freedb ID as python3-libdiscid computes it, or empty when the module is missing.
std::string libdiscidFreedbId(const DiscToc& toc)
{
    std::string offsets;
    for (const auto& track : toc.tracks)
        offsets += (offsets.empty() ? "" : ",") + std::to_string(track.startLba + 150);
    std::string command = "/usr/bin/python3 -c 'import libdiscid; print(libdiscid.put(" + std::to_string(toc.firstTrack)
                          + ", " + std::to_string(toc.lastTrack) + ", " + std::to_string(toc.leadOutLba + 150) + ", ["
                          + offsets + "]).freedb_id)' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {};
    char line[64] = {};
    std::string answer = std::fgets(line, sizeof(line), pipe) ? line : "";
    int status = ::pclose(pipe);
    if (status != 0)
        return {};
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
        answer.pop_back();
    return answer;
}

bool libdiscidAvailable()
{
    return std::system("/usr/bin/python3 -c 'import libdiscid' >/dev/null 2>&1") == 0;
}

} // namespace

TEST(DiscToc, ExampleDiscGivesTheKnownIdAndQueryLine)
{
    // Tracks at 00:02.00 and 03:10.20 (MSF, lead-in included), lead-out at 05:00.00.
    DiscToc toc = tocFromLbas(1, {0, 190 * 75 + 20 - 150}, 300 * 75 - 150);
    EXPECT_EQ(cddbDiscId(toc), 0x0C012A02u);
    EXPECT_EQ(cddbQueryCommand(toc), "cddb query 0c012a02 2 150 14270 300\r\n");

    std::vector<uint8_t> raw = rawToc(1, {0, 14120}, 22350);
    std::optional<DiscToc> parsed = parseReadTocFormat0(raw);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(cddbDiscId(*parsed), 0x0C012A02u);
    EXPECT_EQ(parsed->tracks[1].controlAdr, 0x10);
}

TEST(DiscToc, IdsMatchLibdiscid)
{
    if (!libdiscidAvailable())
        GTEST_SKIP() << "python3-libdiscid is not installed";
    std::vector<DiscToc> tocs = {
        tocFromLbas(1, {0, 14120}, 22350),
        tocFromLbas(1, {0}, 150000),
        tocFromLbas(1, {32, 18640, 35112, 52300, 70111, 88888, 101010, 125000, 150001, 170000, 199999, 230000},
                    260123),
        tocFromLbas(1, [] {
            std::vector<uint32_t> starts;
            for (uint32_t i = 0; i < 99; ++i)
                starts.push_back(i * 3000 + 7 * i);
            return starts;
        }(), 99 * 3000 + 700 + 1234),
    };
    for (const DiscToc& toc : tocs) {
        char ours[9];
        std::snprintf(ours, sizeof(ours), "%08x", cddbDiscId(toc));
        EXPECT_EQ(ours, libdiscidFreedbId(toc)) << "tracks " << toc.tracks.size();
    }
}

TEST(DiscToc, RejectsShortOrInconsistentAnswers)
{
    std::vector<uint8_t> good = rawToc(1, {0, 14120, 20000}, 22350);
    ASSERT_TRUE(parseReadTocFormat0(good));

    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> shorter(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut));
        EXPECT_FALSE(parseReadTocFormat0(shorter)) << "cut at " << cut;
    }
    std::vector<uint8_t> bad = good;
    bad[3] = 0; // last track before the first
    EXPECT_FALSE(parseReadTocFormat0(bad));
    bad = good;
    bad[2 + 4 + 8] = 7; // second descriptor numbered out of order
    EXPECT_FALSE(parseReadTocFormat0(bad));
    bad = good;
    bad[4 + 4] = 0xFF; // a negative start address
    EXPECT_FALSE(parseReadTocFormat0(bad));
    EXPECT_FALSE(parseReadTocFormat0(rawToc(1, {0, 14120}, 100))) << "lead-out before the last track";
    EXPECT_FALSE(parseReadTocFormat0(rawToc(1, {500, 400}, 22350))) << "starts not ascending";
    bad = good;
    bad[0] = 0xFF; // a data length beyond the answer only uses what is there
    EXPECT_TRUE(parseReadTocFormat0(bad));
}
