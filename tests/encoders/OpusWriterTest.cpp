// Ogg Opus files of the writer, checked with opus-tools (opusdec, opusinfo) and mutagen: decoded
// length and sound, bitrate of each setting, header fields, tags, stream serials.
#include "ExternalTool.h"
#include "WriterDriver.h"
#include "core/disc/EncoderFormat.h"
#include "encoders/framework/QualityTable.h"
#include "encoders/opus/OpusWriter.h"
#include "support/MusicSignal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>

namespace tonvane::test {
namespace {

constexpr uint32_t kFrames = 145'555; // 3.3 s, not a whole number of chunks nor of Opus frames
constexpr double kSampleRate = 44100; // [Hz]

class OpusWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TOOL(kOpusdec);
        SKIP_WITHOUT_TOOL(kOpusinfo);
        m_pcm = musicSignal(kFrames, 5);
    }

    std::string encode(uint32_t quality, const TrackTags& tags, const std::string& name)
    {
        EncodeRequest request;
        request.path = widePath(m_dir.file(name));
        request.quality = quality;
        request.tags = tags;
        request.pcm = &m_pcm;
        EXPECT_TRUE(encodeThroughEncoderThread(OutputKind::Opus, request).ok());
        return m_dir.file(name);
    }

    // opusdec back at the input's rate: it drops the pre-skip at the start and trims the last
    // page to its granule position, so what comes out is the track itself.
    std::vector<int16_t> decode(const std::string& path)
    {
        const ToolResult result = runTool({kOpusdec, "--quiet", "--rate", "44100", path, path + ".raw"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        const std::string raw = readFile(path + ".raw");
        std::vector<int16_t> samples(raw.size() / 2);
        std::memcpy(samples.data(), raw.data(), samples.size() * 2);
        return samples;
    }

    int16_t source(size_t frame, int channel) const
    {
        const size_t at = frame * 4 + size_t(channel) * 2;
        return static_cast<int16_t>(m_pcm[at] | m_pcm[at + 1] << 8);
    }

    // Normalised correlation of one channel of the decoded audio with the source, frames aligned.
    double correlation(const std::vector<int16_t>& decoded, int channel) const
    {
        double both = 0, sourceEnergy = 0, decodedEnergy = 0;
        const size_t frames = std::min<size_t>(decoded.size() / 2, kFrames);
        for (size_t i = 0; i < frames; ++i) {
            const double a = source(i, channel);
            const double b = decoded[i * 2 + size_t(channel)];
            both += a * b;
            sourceEnergy += a * a;
            decodedEnergy += b * b;
        }
        return both / std::sqrt(std::max(sourceEnergy * decodedEnergy, 1.0));
    }

    TempDir m_dir;
    std::vector<uint8_t> m_pcm;
};

TEST_F(OpusWriterTest, DecodesToTheTrackLengthAndItsSound)
{
    const std::string path = encode(3, sampleTags(), "track.opus");
    const std::vector<int16_t> decoded = decode(path);
    // The stream runs at 48 kHz: its length is the track's, rounded to a whole 48 kHz sample,
    // and opusdec's resampling back to 44.1 kHz rounds once more. Two frames cover both roundings;
    // a lost or doubled Opus frame would be 882.
    const auto frames = static_cast<long>(decoded.size() / 2);
    EXPECT_LE(std::labs(frames - long(kFrames)), 2L) << frames;
    // Lossy, but the same music, in time and in the same channels: a pre-skip not accounted for
    // (312 samples at 48 kHz), swapped channels or noise fail this.
    EXPECT_GT(correlation(decoded, 0), 0.95);
    EXPECT_GT(correlation(decoded, 1), 0.95);
}

TEST_F(OpusWriterTest, HeaderNamesTheInputRateAndNoGain)
{
    const std::string path = encode(3, sampleTags(), "header.opus");
    const ToolResult info = runTool({kOpusinfo, path});
    EXPECT_EQ(info.exitCode, 0) << info.out << info.err;
    EXPECT_EQ(info.out.find("WARNING"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("ERROR"), std::string::npos) << info.out;
    for (const char* line : {"Channels: 2", "Original sample rate: 44100 Hz", "Playback gain: 0 dB",
                             "Packet duration:   20.0ms (max)", "Playback length: 0m:03.300s"})
        EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
}

// Each setting lands near its target: VBR moves with the music, so the band is wide, but
// neighbouring settings must not give the same rate and the order must hold.
TEST_F(OpusWriterTest, EverySettingEncodesNearItsBitrate)
{
    const double seconds = kFrames / kSampleRate;
    double previous = 0;
    for (uint32_t index = 0; index < std::size(kOpusBitrates); ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(OpusWriter::bitrate(index), int32_t(kOpusBitrates[index] * 1000));
        const std::string path = encode(index, TrackTags{}, "rate" + std::to_string(index) + ".opus");
        const double kbps = readFile(path).size() * 8 / seconds / 1000;
        EXPECT_GT(kbps, 0.75 * kOpusBitrates[index]);
        EXPECT_LT(kbps, 1.3 * kOpusBitrates[index]);
        EXPECT_GT(kbps, previous * 1.1);
        previous = kbps;
    }
    EXPECT_EQ(OpusWriter::bitrate(6), 256'000) << "an index past the list takes the top rate";
}

TEST_F(OpusWriterTest, OpusinfoListsTheCommentsInOrderEncoderFirst)
{
    const std::string path = encode(3, sampleTags(), "tags.opus");
    const ToolResult info = runTool({kOpusinfo, path});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    std::vector<std::string> comments;
    bool inComments = false;
    for (const std::string& line : linesOf(info.out)) {
        if (line.rfind("User comments section follows", 0) == 0) {
            inComments = true;
        } else if (inComments && !line.empty() && line[0] == '\t') {
            comments.push_back(line.substr(1));
        } else {
            inComments = false;
        }
    }
    const std::vector<std::string> expected = {
        "ENCODER=Tonvane 0.2", "DISCID=7b0a2e09", "ALBUM=Группа крови", "TITLE=夜に駆ける", "ARTIST=Кино",
        "COMPOSER=Кино",       "DATE=1988",       "GENRE=Rock",          "TRACKNUMBER=7",
    };
    EXPECT_EQ(comments, expected) << info.out;
}

TEST_F(OpusWriterTest, MutagenReadsTheTagsAndTheLength)
{
    if (!mutagenAvailable())
        GTEST_SKIP() << "python3-mutagen is not installed";
    const std::string path = encode(5, sampleTags(), "mutagen.opus");
    const ToolResult read = runTool({kPython, "-c",
                                     "import sys\nfrom mutagen.oggopus import OggOpus\n"
                                     "f = OggOpus(sys.argv[1])\n"
                                     "print(f.info.channels, '%.2f' % f.info.length)\n"
                                     "for key in ('title', 'artist', 'album', 'tracknumber', 'encoder'):\n"
                                     "    print(key, f[key][0])\n",
                                     path});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "2 3.30\ntitle 夜に駆ける\nartist Кино\nalbum Группа крови\ntracknumber 7\n"
                        "encoder Tonvane 0.2\n");
}

// libopusenc numbers streams with the C library's rand(): without a serial of our own, the first
// file of every run would carry the same one.
TEST_F(OpusWriterTest, StreamSerialsDoNotRepeatAcrossRuns)
{
    std::set<uint32_t> serials;
    for (int run = 0; run < 4; ++run) {
        std::srand(1); // as a fresh process starts
        const std::unique_ptr<FormatWriter> writer = makeWriter(OutputKind::Opus);
        const std::string path = m_dir.file("run" + std::to_string(run) + ".opus");
        ASSERT_TRUE(writer->open(widePath(path), 3, sampleTags(), 0));
        ASSERT_TRUE(writer->finish());
        const std::string bytes = readFile(path);
        ASSERT_GE(bytes.size(), 27u);
        ASSERT_EQ(bytes.compare(0, 4, "OggS"), 0);
        uint32_t serial = 0;
        std::memcpy(&serial, bytes.data() + 14, 4); // page header: bytes 14-17, little-endian
        serials.insert(serial);
    }
    EXPECT_EQ(serials.size(), 4u);
}

} // namespace
} // namespace tonvane::test
