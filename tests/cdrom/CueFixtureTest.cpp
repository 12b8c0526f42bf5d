// The CUE fixtures read back through the emulated drive, compared with what libcdio's cd-info
// reports for the same sheet.
#include "CdromTestSupport.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/emulated/CueSheet.h"
#include "cdrom/mmc/MmcCommands.h"
#include "support/TempDir.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace tonvane {
namespace {

const std::string kFixtures = std::string(TONVANE_SOURCE_DIR) + "/tests/cdrom/fixtures/";

// Copies the fixture into dir and writes its BIN: the sector count comes from the sheet's
// "REM TONVANE-TEST BIN-SECTORS n" line; every sector is filled with a pattern of its number.
std::string prepareFixture(const test::TempDir& dir, const std::string& name)
{
    std::string sheet = test::readFile(kFixtures + name + ".cue");
    test::writeFile(dir.file(name + ".cue"), sheet);
    std::smatch match;
    EXPECT_TRUE(std::regex_search(sheet, match, std::regex("BIN-SECTORS ([0-9]+)")));
    uint32_t sectors = static_cast<uint32_t>(std::stoul(match[1]));
    std::ofstream bin(dir.file(name + ".bin"), std::ios::binary);
    std::vector<char> sector(kCdDaSectorBytes);
    for (uint32_t n = 0; n < sectors; ++n) {
        for (size_t i = 0; i < sector.size(); ++i)
            sector[i] = static_cast<char>((n * 7 + i) & 0xFF);
        bin.write(sector.data(), static_cast<std::streamsize>(sector.size()));
    }
    return dir.file(name + ".cue");
}

struct OracleTrack {
    uint32_t number;
    uint32_t lsn;
    std::string msf; // "mm:ss:ff"
    bool data;
};

// Track list of `cd-info --cue-file`; the lead-out comes last as number 170.
std::vector<OracleTrack> cdInfoTracks(const std::string& cue)
{
    std::string command = "cd-info --no-header --no-device-info --no-analyze --no-cddb --quiet --cue-file '" + cue +
        "' 2>/dev/null";
    std::vector<OracleTrack> tracks;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return tracks;
    std::string output;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    ::pclose(pipe);
    std::regex line(R"(^\s*([0-9]+): ([0-9]{2}:[0-9]{2}:[0-9]{2})\s+([0-9]+) (audio|data|leadout))");
    std::istringstream in(output);
    std::string text;
    while (std::getline(in, text)) {
        std::smatch m;
        if (std::regex_search(text, m, line))
            tracks.push_back({static_cast<uint32_t>(std::stoul(m[1])), static_cast<uint32_t>(std::stoul(m[3])),
                m[2], m[4] == "data"});
    }
    return tracks;
}

std::string msfText(const TocEntry& entry)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", entry.minutes, entry.seconds, entry.frames);
    return text;
}

std::string msfOfLsn(uint32_t lsn)
{
    uint32_t f = lsn + 150;
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", f / 4500, f / 75 % 60, f % 75);
    return text;
}

class CueFixture : public testing::TestWithParam<const char*> {};

TEST_P(CueFixture, TrackInformationAndTocMatchCdInfo)
{
    if (::access("/usr/bin/cd-info", X_OK) != 0)
        GTEST_SKIP() << "cd-info (libcdio-utils) is not installed";
    test::TempDir dir;
    std::string name = GetParam();
    std::string cue = prepareFixture(dir, name);
    std::vector<OracleTrack> oracle = cdInfoTracks(cue);
    ASSERT_GE(oracle.size(), 2u) << "cd-info gave no track list for " << name;
    ASSERT_EQ(oracle.back().number, 170u);

    CdDevice device;
    ASSERT_TRUE(openDevice(device, imageDrivePath(cue)));
    std::vector<DiscTrack> tracks;
    ASSERT_TRUE(readTrackList(device, tracks));
    std::vector<uint8_t> tocBytes;
    ASSERT_TRUE(readFullToc(device, tocBytes));
    std::optional<Toc> toc = parseToc(tocBytes);
    ASSERT_TRUE(toc);
    ASSERT_EQ(tracks.size() + 1, oracle.size());
    ASSERT_EQ(toc->entries.size(), oracle.size());

    // libcdio's CUE reader knows no sessions: it places a later session's tracks straight after
    // the earlier ones. A real multi-session disc (and this drive) puts 11400 sectors between
    // them (lead-out, lead-in, pregap).
    DiscInformationBuffer discInformation;
    ASSERT_TRUE(readDiscInformation(device, discInformation));
    uint32_t firstOfLastSession = discInformation[5];
    bool multiSession = discInformation[4] > 1;
    auto expectedLsn = [&](size_t i) {
        bool later = multiSession && (oracle[i].number == 170 || oracle[i].number >= firstOfLastSession);
        return oracle[i].lsn + (later ? 11400u : 0u);
    };

    for (size_t i = 0; i < tracks.size(); ++i) {
        SCOPED_TRACE("track " + std::to_string(i + 1));
        const TrackInformation& info = tracks[i].info;
        EXPECT_TRUE(tracks[i].answered);
        EXPECT_EQ(info.trackNumber, oracle[i].number);
        EXPECT_EQ(info.start, expectedLsn(i));
        EXPECT_EQ(info.data, oracle[i].data);
        bool lastOfSession = multiSession && oracle[i + 1].number == firstOfLastSession;
        uint32_t end = lastOfSession ? oracle[i + 1].lsn : expectedLsn(i + 1);
        EXPECT_EQ(info.size, end - expectedLsn(i));
        EXPECT_EQ(toc->entries[i].trackNumber, oracle[i].number);
        EXPECT_EQ(msfText(toc->entries[i]), multiSession ? msfOfLsn(expectedLsn(i)) : oracle[i].msf);
        EXPECT_EQ(toc->entries[i].isData(), oracle[i].data);
    }
    EXPECT_EQ(msfText(toc->entries.back()), msfOfLsn(expectedLsn(oracle.size() - 1)));
    if (!multiSession) {
        EXPECT_EQ(msfText(toc->entries.back()), oracle.back().msf);
    }
}

INSTANTIATE_TEST_SUITE_P(Sheets, CueFixture,
    testing::Values("audio-only", "data-first", "enhanced", "pregaps", "tracks99"),
    [](const testing::TestParamInfo<const char*>& info) {
        std::string name = info.param;
        name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
        return name;
    });

TEST(CueFixtureAudio, ReadCdDeliversTheBinBytes)
{
    test::TempDir dir;
    std::string cue = prepareFixture(dir, "pregaps");
    std::string bin = test::readFile(dir.file("pregaps.bin"));
    CdDevice device;
    ASSERT_TRUE(openDevice(device, imageDrivePath(cue)));
    std::vector<uint8_t> chunk(16 * kCdDaSectorBytes);
    for (uint32_t lba : {0u, 1500u, 1740u, 6984u}) {
        ASSERT_TRUE(readCd(device, lba, 16, chunk.data())) << lba;
        EXPECT_EQ(0, std::memcmp(chunk.data(), bin.data() + size_t{lba} * kCdDaSectorBytes, chunk.size())) << lba;
    }
    EXPECT_FALSE(readCd(device, 6990, 16, chunk.data())); // beyond the lead-out at 7000
    EXPECT_EQ(device.result.asc, 0x21);
}

} // namespace
} // namespace tonvane
