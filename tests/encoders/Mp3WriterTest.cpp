#include "ExternalTool.h"
#include "WriterDriver.h"
#include "encoders/mp3/Id3Tag.h"
#include "support/MusicSignal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace tonvane::test {
namespace {

constexpr uint32_t kFrames = 145'555; // 3.3 s: neither whole chunks nor whole MP3 frames
constexpr double kSeconds = kFrames / 44100.0;

// Prints what mutagen, an independent MPEG and ID3 reader, finds in the file.
constexpr char kMutagenScript[] = R"(
import sys
sys.stdout.reconfigure(encoding='utf-8')
from mutagen.mp3 import MP3
f = MP3(sys.argv[1])
i = f.info
print('version=%s' % i.version)
print('layer=%d' % i.layer)
print('mode=%d' % i.mode)
print('bitrate=%d' % i.bitrate)
print('bitrate_mode=%d' % int(i.bitrate_mode))
print('length=%.6f' % i.length)
print('sketchy=%d' % int(i.sketchy))
print('id3=%d.%d' % (f.tags.version[0], f.tags.version[1]))
for frame in f.tags.values():
    print('%s=%s' % (frame.FrameID, str(frame.text[0])))
)";
constexpr int kMutagenJointStereo = 1;
constexpr int kMutagenCbr = 1;

std::map<std::string, std::string> mutagenReport(const std::string& path)
{
    const ToolResult result = runTool({kPython, "-c", kMutagenScript, path});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, std::string> report;
    for (const std::string& line : linesOf(result.out)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
}

struct FrameWalk {
    size_t frames = 0;
    size_t end = 0; // where the walk stopped
    bool allLayer3Mpeg1 = true;
};

// Walks MPEG-1 Layer III frame headers from the first audio byte to the end of the file.
FrameWalk walkFrames(const std::string& file, size_t start)
{
    static const int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    FrameWalk walk;
    size_t at = start;
    while (at + 4 <= file.size()) {
        const auto* h = reinterpret_cast<const uint8_t*>(file.data() + at);
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
            break;
        walk.allLayer3Mpeg1 = walk.allLayer3Mpeg1 && (h[1] & 0x1E) == 0x1A; // MPEG-1, Layer III
        const int kbps = kKbps[h[2] >> 4];
        const int padding = (h[2] >> 1) & 1;
        if (kbps == 0 || (h[2] & 0x0C) != 0) // free format, or not 44.1 kHz
            break;
        at += size_t(144 * 1000 * kbps / 44100 + padding);
        ++walk.frames;
    }
    walk.end = at;
    return walk;
}

class Mp3WriterTest : public ::testing::Test {
protected:
    void SetUp() override { m_pcm = musicSignal(kFrames, 5); }

    std::string encode(uint32_t quality, const TrackTags& tags, const std::string& name, size_t chunk = kEncoderChunk)
    {
        EncodeRequest request;
        request.path = widePath(m_dir.file(name));
        request.quality = quality;
        request.tags = tags;
        request.pcm = &m_pcm;
        request.chunkBytes = chunk;
        EXPECT_TRUE(encodeThroughEncoderThread(OutputKind::Mp3, request).ok());
        return m_dir.file(name);
    }

    TempDir m_dir;
    std::vector<uint8_t> m_pcm;
};

TEST_F(Mp3WriterTest, IndependentReaderSeesJointStereoCbrOfTheRightLength)
{
    if (!mutagenAvailable())
        GTEST_SKIP() << "python3-mutagen is not installed";
    // 0xFFFFFFFF is a stored -1: below the table, so the lowest rate, not the highest.
    const std::pair<uint32_t, double> cases[] = {{8u, 128}, {13u, 320}, {0u, 32}, {0xFFFFFFFFu, 32}};
    for (auto [index, kbps] : cases) {
        SCOPED_TRACE(index);
        const std::string path = encode(index, sampleTags(), "cbr" + std::to_string(index) + ".mp3");
        std::map<std::string, std::string> report = mutagenReport(path);
        EXPECT_EQ(report["version"], "1");
        EXPECT_EQ(report["layer"], "3");
        EXPECT_EQ(report["mode"], std::to_string(kMutagenJointStereo));
        // mutagen derives the rate from the Info frame's byte and frame counts: within 0.1 %.
        EXPECT_NEAR(std::stod(report["bitrate"]), kbps * 1000.0, kbps * 1.0);
        // A 104-byte frame at 32 kbit/s cannot hold the Info header: the encoder leaves it out there.
        if (kbps != 32) {
            EXPECT_EQ(report["bitrate_mode"], std::to_string(kMutagenCbr));
        }
        EXPECT_EQ(report["sketchy"], "0");
        EXPECT_NEAR(std::stod(report["length"]), kSeconds, 0.05);
    }
}

TEST_F(Mp3WriterTest, Id3v24FramesReadBackWithYearAndNonLatinText)
{
    if (!mutagenAvailable())
        GTEST_SKIP() << "python3-mutagen is not installed";
    std::map<std::string, std::string> report = mutagenReport(encode(8, sampleTags(), "tags.mp3"));
    EXPECT_EQ(report["id3"], "2.4");
    EXPECT_EQ(report["TENC"], "Tonvane 0.2");
    EXPECT_EQ(report["TALB"], "Группа крови");
    EXPECT_EQ(report["TIT2"], "夜に駆ける");
    EXPECT_EQ(report["TPE1"], "Кино");
    EXPECT_EQ(report["TCOM"], "Кино");
    EXPECT_EQ(report["TDRC"], "1988");
    EXPECT_EQ(report["TRCK"], "7");
    EXPECT_EQ(report.count("TCON"), 0u); // genre is not written to MP3

    // A title far beyond the 2048-byte area arrives whole, and the audio still follows the tag.
    TrackTags longTags = sampleTags();
    std::string longTitle;
    for (int i = 0; i < 1200; ++i)
        longTitle += "ж";
    longTags.title = wide(longTitle.c_str());
    std::map<std::string, std::string> longReport = mutagenReport(encode(8, longTags, "long.mp3"));
    EXPECT_EQ(longReport["TIT2"], longTitle);
    EXPECT_NEAR(std::stod(longReport["length"]), kSeconds, 0.05);
}

TEST_F(Mp3WriterTest, AudioFollowsTheTagAndStartsWithTheCompletedInfoFrame)
{
    const std::string file = readFile(encode(8, sampleTags(), "layout.mp3"));
    ASSERT_GT(file.size(), 10u);
    ASSERT_EQ(file.compare(0, 5, std::string("ID3\x04\x00", 5)), 0);
    const size_t audioStart = 10 + readSyncsafe(reinterpret_cast<const uint8_t*>(file.data() + 6));

    const FrameWalk walk = walkFrames(file, audioStart);
    EXPECT_EQ(walk.end, file.size()); // frames right up to the end: no ID3v1, nothing stray
    EXPECT_TRUE(walk.allLayer3Mpeg1);
    // Enough frames for the audio plus the encoder's delay, and the Info frame in front.
    EXPECT_GE(walk.frames, kFrames / 1152 + 2);

    // MPEG-1 stereo: 4-byte header + 32 bytes of side information, then the Info header.
    const size_t info = audioStart + 36;
    ASSERT_EQ(file.compare(info, 4, "Info"), 0);
    const auto* flags = reinterpret_cast<const uint8_t*>(file.data() + info + 4);
    ASSERT_TRUE(flags[3] & 0x01); // frame count present
    const auto* count = flags + 4;
    const uint32_t frameCount = uint32_t(count[0]) << 24 | count[1] << 16 | count[2] << 8 | count[3];
    EXPECT_EQ(frameCount, walk.frames - 1); // the Info frame does not count itself
    EXPECT_EQ(file.compare(info + 120, 4, "LAME"), 0);
    // Encoder delay and padding (12 bits each) give back the exact sample count.
    const auto* gapless = reinterpret_cast<const uint8_t*>(file.data() + info + 120 + 21);
    const uint32_t delay = uint32_t(gapless[0]) << 4 | gapless[1] >> 4;
    const uint32_t padding = uint32_t(gapless[1] & 0x0F) << 8 | gapless[2];
    EXPECT_EQ(frameCount * 1152 - delay - padding, kFrames);
}

TEST_F(Mp3WriterTest, ChunkSizeDoesNotChangeTheStream)
{
    // Blocks are cut from whatever arrives, the remainder carried: odd chunk sizes give the same bytes.
    const std::string whole = readFile(encode(8, sampleTags(), "a.mp3"));
    EXPECT_EQ(readFile(encode(8, sampleTags(), "b.mp3", 1000)), whole);
    EXPECT_EQ(readFile(encode(8, sampleTags(), "c.mp3", 9218)), whole);
}

TEST_F(Mp3WriterTest, StreamEqualsTheLameToolsWithTheSameSettings)
{
    SKIP_WITHOUT_TOOL(kLame);
    // The block's settings mean: -q 0 -b 128 -m j --cbr --nores, Info frame on, no ReplayGain.
    // Behind our tag (10 bytes when empty, plus the zeros kept for the loudness frames) the whole
    // stream, Info frame included, is the tool's.
    const std::string ours = readFile(encode(8, TrackTags{}, "ours.mp3"));
    writeFile(m_dir.file("source.raw"), std::string(m_pcm.begin(), m_pcm.end()));
    const ToolResult result =
        runTool({kLame, "--quiet", "-r", "-s", "44.1", "--bitwidth", "16", "--signed", "--little-endian", "-q", "0",
                 "-b", "128", "-m", "j", "--cbr", "--nores", "--noreplaygain", m_dir.file("source.raw"),
                 m_dir.file("tool.mp3")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string tool = readFile(m_dir.file("tool.mp3"));
    const size_t tagBytes = 10 + id3::kLoudnessRoom;
    ASSERT_EQ(ours.size(), tool.size() + tagBytes);
    EXPECT_EQ(ours.find_first_not_of('\0', 10), tagBytes);
    EXPECT_TRUE(ours.compare(tagBytes, std::string::npos, tool) == 0);
}

TEST_F(Mp3WriterTest, LameDecodesItToTheSourceLength)
{
    SKIP_WITHOUT_TOOL(kLame);
    const std::string path = encode(8, sampleTags(), "decode.mp3");
    const ToolResult result = runTool({kLame, "--quiet", "--decode", "-t", path, path + ".raw"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const size_t decodedFrames = readFile(path + ".raw").size() / 4;
    EXPECT_NEAR(double(decodedFrames), double(kFrames), 1152.0);
}

} // namespace
} // namespace tonvane::test
