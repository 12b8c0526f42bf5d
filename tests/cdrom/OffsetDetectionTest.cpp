// What a track's window tells about the read offset, and the verdict over the tracks.
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/OffsetDetection.h"
#include "cdrom/accuraterip/OffsetSearch.h"

#include <gtest/gtest.h>

#include <random>

namespace tonvane {
namespace {

constexpr size_t kWindowBytes = size_t{kOffsetWindowSectors} * 2352;
constexpr size_t kSector450 = size_t{kOffsetWindowBefore} * 2352; // [bytes] in the window

enum class Audio { Music, Silence, Steady, Repeating };

// A window whose sector 450 (without offset) holds audio of the kind.
std::vector<uint8_t> window(Audio audio)
{
    std::vector<uint8_t> bytes(kWindowBytes, 0);
    std::mt19937 random(450);
    constexpr size_t kPeriod = 1000 * 4; // [bytes] 1000 samples, repeated
    for (size_t b = 0; b < bytes.size(); ++b) {
        switch (audio) {
        case Audio::Music: bytes[b] = static_cast<uint8_t>(random()); break;
        case Audio::Silence: break;
        case Audio::Steady: bytes[b] = b % 2 == 0 ? 0x00 : 0x10; break;
        case Audio::Repeating: bytes[b] = b < kPeriod ? static_cast<uint8_t>(random()) : bytes[b - kPeriod]; break;
        }
    }
    return bytes;
}

uint32_t crcAt(const std::vector<uint8_t>& bytes, int32_t offset)
{
    return sectorChecksum(bytes.data() + kSector450 + offset * 4);
}

TEST(OffsetDetection, OnlyUniqueMatchesOfAudioAreEvidence)
{
    const std::vector<uint8_t> music = window(Audio::Music), silence = window(Audio::Silence),
                               steady = window(Audio::Steady), repeating = window(Audio::Repeating);
    // Half silence, half music: offsets that put sector 450 in the silent half match a zero CRC.
    std::vector<uint8_t> halfSilent = music;
    std::fill(halfSilent.begin(), halfSilent.begin() + kSector450, uint8_t{0});
    struct Case {
        const char* name;
        const std::vector<uint8_t>* window;
        std::vector<uint32_t> crcs;
        OffsetEvidence kind;
        std::vector<int32_t> candidates; // when short enough to list
        size_t candidateCount;
    } cases[] = {
        {"music", &music, {crcAt(music, 667)}, OffsetEvidence::Unique, {667}, 1},
        {"music, second pressing in the record", &music, {0xDEADBEEF, crcAt(music, -48)}, OffsetEvidence::Unique, {-48}, 1},
        {"two pressings at two offsets", &music, {crcAt(music, 0), crcAt(music, 30)}, OffsetEvidence::Ambiguous, {0, 30}, 2},
        {"silence", &silence, {0}, OffsetEvidence::Silence, {}, 0},
        {"the zero CRC against half silence", &halfSilent, {0}, OffsetEvidence::Silence, {}, 0},
        {"steady level", &steady, {crcAt(steady, 0)}, OffsetEvidence::Ambiguous, {}, 2 * 2939 + 1},
        {"repeating every 1000 samples", &repeating, {crcAt(repeating, 100)}, OffsetEvidence::Ambiguous,
         {-2900, -1900, -900, 100, 1100, 2100}, 6},
        {"no match", &music, {crcAt(music, 0) ^ 1}, OffsetEvidence::NoMatch, {}, 0},
        {"no checksum in the record", &music, {}, OffsetEvidence::NotRead, {}, 0},
        {"not read", nullptr, {crcAt(music, 0)}, OffsetEvidence::NotRead, {}, 0},
    };
    for (const Case& c : cases) {
        TrackOffsetEvidence evidence = weighOffsetWindow(7, c.window ? c.window->data() : nullptr, c.crcs);
        EXPECT_EQ(evidence.trackNumber, 7);
        EXPECT_EQ(evidence.kind, c.kind) << c.name;
        EXPECT_EQ(evidence.candidates.size(), c.candidateCount) << c.name;
        if (!c.candidates.empty()) {
            EXPECT_EQ(evidence.candidates, c.candidates) << c.name;
        }
    }
    EXPECT_EQ(describeOffsetEvidence(weighOffsetWindow(3, music.data(), {crcAt(music, 667)})),
              "Track  3: matches at +667");
    EXPECT_EQ(describeOffsetEvidence(weighOffsetWindow(12, silence.data(), {0})),
              "Track 12: only silence matches: no evidence");
}

TEST(OffsetDetection, TheOffsetMostTracksShowWithoutATie)
{
    auto unique = [](int32_t offset) { return TrackOffsetEvidence{1, OffsetEvidence::Unique, {offset}}; };
    const TrackOffsetEvidence silent{2, OffsetEvidence::Silence, {}};
    const TrackOffsetEvidence ambiguous{3, OffsetEvidence::Ambiguous, {6, 12}};
    struct Case {
        const char* name;
        std::vector<TrackOffsetEvidence> tracks;
        std::optional<int32_t> offset;
        int32_t agreeing, disagreeing;
    } cases[] = {
        {"no tracks", {}, std::nullopt, 0, 0},
        {"only silence and repetition", {silent, ambiguous, silent}, std::nullopt, 0, 0},
        {"one track", {silent, unique(667), ambiguous}, 667, 1, 0},
        {"majority", {unique(6), unique(6), unique(-30), silent}, 6, 2, 1},
        {"tie", {unique(6), unique(-30)}, std::nullopt, 0, 0},
    };
    for (const Case& c : cases) {
        OffsetAnswer answer = decideReadOffset(c.tracks);
        EXPECT_EQ(answer.offset, c.offset) << c.name;
        EXPECT_EQ(answer.agreeing, c.agreeing) << c.name;
        EXPECT_EQ(answer.disagreeing, c.disagreeing) << c.name;
    }
}

} // namespace
} // namespace tonvane
