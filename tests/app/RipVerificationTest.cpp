// tonvane verify against crafted rips: CUE sheets that must be refused or read, and files that are
// missing, cut short or shorter than their sheet says.
#include "CliFixture.h"
#include "app/cli/RipVerification.h"

#include <filesystem>

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr uint32_t kSectorBytes = 2352;

std::string le32(uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    return bytes;
}

// A 44-byte header declaring `declared` bytes of data, then pcm.
std::string wavFile(const std::string& pcm, uint32_t declared)
{
    std::string header = "RIFF" + le32(36 + declared) + "WAVEfmt " + le32(16);
    header += std::string("\x01\x00\x02\x00", 4) + le32(44100) + le32(44100 * 4) + std::string("\x04\x00\x10\x00", 4);
    return header + "data" + le32(declared) + pcm;
}

std::string music(uint32_t sectors, uint32_t seed)
{
    std::string pcm;
    for (uint32_t word = 0; word < sectors * 588; ++word) {
        seed = seed * 1103515245u + 12345u;
        uint32_t sample = (seed >> 8) & 0x0FFF0FFF; // quiet enough for flac to compress
        pcm += le32(sample);
    }
    return pcm;
}

std::string cueOf(const std::vector<std::string>& files)
{
    std::string cue = "REM DISCID 01234567\n";
    for (size_t i = 0; i < files.size(); ++i) {
        char track[64];
        std::snprintf(track, sizeof track, "  TRACK %02zu AUDIO\n    INDEX 01 00:00:00\n", i + 1);
        cue += "FILE \"" + files[i] + "\" WAVE\n" + track;
    }
    return cue;
}

class RipVerification : public CliRun {};

} // namespace

TEST_F(RipVerification, SheetsNamingFilesOutsideTheFolderOrTooManyTracksAreRefused)
{
    std::string many;
    for (int t = 1; t <= 100; ++t) {
        char entry[96];
        std::snprintf(entry, sizeof entry, "FILE \"%d.wav\" WAVE\n  TRACK %02d AUDIO\n    INDEX 01 00:00:00\n", t, t);
        many += entry;
    }
    std::string ninetyNine = many.substr(0, many.find("FILE \"100.wav\""));
    struct Case {
        const char* name;
        std::string sheet;
        const char* error; // nullptr: read
    } cases[] = {
        {"parent folder", cueOf({"../secret.wav"}), "is not a file in the sheet's folder"},
        {"absolute path", cueOf({"/etc/passwd.wav"}), "is not a file in the sheet's folder"},
        {"sub-folder", cueOf({"a/b.wav"}), "is not a file in the sheet's folder"},
        {"backslash", cueOf({"..\\\\b.wav"}), "is not a file in the sheet's folder"},
        {"dot-dot alone", cueOf({".."}), "is not a file in the sheet's folder"},
        {"100 tracks", many, "line 299: bad track number"},
        {"99 tracks", ninetyNine, nullptr},
        {"numbers fall", "FILE \"a.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n"
                         "FILE \"b.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
         "line 5: bad track number"},
        {"file without its track", "FILE \"a.wav\" WAVE\nFILE \"b.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
         "not one FILE per TRACK"},
        {"bad time", "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:61:00\n", "line 3: bad INDEX"},
        {"plain sheet", cueOf({"Track 1.flac", "Track 2.Wav"}), nullptr},
    };
    for (const Case& c : cases) {
        std::string cue = path("sheet.cue");
        writeFile(cue, c.sheet);
        std::string error;
        auto files = cli::readRipCueSheet(cue, error);
        EXPECT_EQ(files.has_value(), c.error == nullptr) << c.name << ": " << error;
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
        }
    }
    // Through the command: exit 2 with the sheet's problem named.
    std::filesystem::create_directories(path("escape"));
    writeFile(path("escape/rip.cue"), cueOf({"../outside.wav"}));
    writeFile(path("outside.wav"), wavFile(music(10, 1), 10 * kSectorBytes));
    ProcessResult refused = tonvane({"verify", path("escape")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("FILE \"../outside.wav\" is not a file in the sheet's folder; the sheet is refused"),
              std::string::npos)
        << refused.err;
}

TEST_F(RipVerification, PositionsOfTheSheetAreRead)
{
    writeFile(path("gaps.cue"), "FILE \"1.wav\" WAVE\n  TRACK 01 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n"
                                "  TRACK 02 AUDIO\n    INDEX 00 00:59:00\nFILE \"2.wav\" WAVE\n    INDEX 01 00:00:00\n"
                                "FILE \"3.wav\" WAVE\n  TRACK 03 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:01:05\n");
    std::string error;
    auto files = cli::readRipCueSheet(path("gaps.cue"), error);
    ASSERT_TRUE(files) << error;
    ASSERT_EQ(files->size(), 3u);
    EXPECT_EQ((*files)[0].path, path("1.wav"));
    EXPECT_EQ((*files)[0].pregap, 150u);
    EXPECT_EQ((*files)[0].leastSectors, 59u * 75); // track 2's INDEX 00 is in this file
    EXPECT_EQ((*files)[1].number, 2);
    EXPECT_EQ((*files)[1].index1, 0u);
    EXPECT_EQ((*files)[2].index1, 80u);
    EXPECT_EQ((*files)[2].leastSectors, 80u);
}

// Each case: a rip of two tracks in which track 2's file is damaged in one way.
TEST_F(RipVerification, MissingAndCutFilesAreNamedNotWhole)
{
    constexpr uint32_t kSectors = 300;
    const std::string track1 = music(kSectors, 1), track2 = music(kSectors, 2);
    ASSERT_EQ(::access("/usr/bin/flac", X_OK), 0) << "the flac tool is needed";
    enum class Damage { None, Missing, WavCut, FlacCut, FlacCorrupt, ShorterThanSheet, NotWholeSectors };
    struct Case {
        const char* name;
        Damage damage;
        const char* verdict; // of track 2
        const char* error; // on standard error, or nullptr
    } cases[] = {
        {"whole", Damage::None, "not checked", nullptr},
        {"missing", Damage::Missing, "missing", "a missing file leaves the disc's layout unknown"},
        {"WAV cut short", Damage::WavCut, "not whole", "of the 705600 bytes its header declares"},
        {"FLAC cut short", Damage::FlacCut, "not whole", "is not whole"},
        {"FLAC with a damaged frame", Damage::FlacCorrupt, "not whole", "does not decode cleanly"},
        {"shorter than the sheet", Damage::ShorterThanSheet, "not whole", "the CUE sheet places an index at sector 299"},
        {"not whole sectors", Damage::NotWholeSectors, "not whole", "does not hold whole CD sectors"},
    };
    for (const Case& c : cases) {
        std::string folder = path(std::string("rip-") + std::to_string(&c - cases));
        std::filesystem::create_directories(folder);
        writeFile(folder + "/1.wav", wavFile(track1, static_cast<uint32_t>(track1.size())));
        std::string second = c.damage == Damage::FlacCut || c.damage == Damage::FlacCorrupt ? "2.flac" : "2.wav";
        std::string pcm2 = c.damage == Damage::ShorterThanSheet ? track2.substr(0, 299 * kSectorBytes)
                           : c.damage == Damage::NotWholeSectors ? track2.substr(0, track2.size() - 4)
                                                                  : track2;
        writeFile(folder + "/2.wav", wavFile(pcm2, static_cast<uint32_t>(pcm2.size())));
        if (c.damage == Damage::WavCut)
            writeFile(folder + "/2.wav", wavFile(track2, static_cast<uint32_t>(track2.size())).substr(0, 44 + 1000 * 4));
        if (second == "2.flac") {
            ProcessResult encoded = runProcess("/usr/bin/flac", {"--silent", "-f", "-o", folder + "/2.flac", folder + "/2.wav"});
            ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
            std::filesystem::remove(folder + "/2.wav");
            std::string flac = readFile(folder + "/2.flac");
            if (c.damage == Damage::FlacCut)
                flac.resize(flac.size() * 2 / 3);
            else
                flac[flac.size() / 2] ^= 0x55;
            writeFile(folder + "/2.flac", flac);
        }
        if (c.damage == Damage::Missing)
            std::filesystem::remove(folder + "/2.wav");
        std::string sheet = cueOf({"1.wav", second});
        if (c.damage == Damage::ShorterThanSheet) // track 3's gap would start in track 2's last sector
            sheet += "  TRACK 03 AUDIO\n    INDEX 00 00:03:74\nFILE \"3.wav\" WAVE\n    INDEX 01 00:00:00\n";
        if (c.damage == Damage::ShorterThanSheet)
            writeFile(folder + "/3.wav", wavFile(track1, static_cast<uint32_t>(track1.size())));
        writeFile(folder + "/rip.cue", sheet);

        ProcessResult result = tonvane({"verify", folder});
        EXPECT_EQ(result.exitCode, 1) << c.name << "\n" << result.err << result.out;
        EXPECT_NE(result.out.find("    2  " + std::string(c.verdict)), std::string::npos)
            << c.name << "\n" << result.out;
        EXPECT_EQ(result.out.find("    1  not whole"), std::string::npos) << c.name << "\n" << result.out;
        EXPECT_EQ(result.out.find("    1  missing"), std::string::npos) << c.name << "\n" << result.out;
        if (c.error) {
            EXPECT_NE(result.err.find(c.error), std::string::npos) << c.name << "\n" << result.err;
        }
    }
}
