#include "ExternalTool.h"
#include "WriterDriver.h"
#include "encoders/vorbis/VorbisWriter.h"
#include "support/MusicSignal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <atomic>
#include <latch>
#include <set>
#include <thread>

namespace tonvane::test {
namespace {

constexpr uint32_t kFrames = 145'555; // 3.3 s, not a whole number of chunks
constexpr size_t kLongBlock = 2048; // [sample frames] the largest Vorbis block at 44.1 kHz

class VorbisWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TOOL(kOggdec);
        SKIP_WITHOUT_TOOL(kOgginfo);
        m_pcm = musicSignal(kFrames, 3);
    }

    std::string encode(uint32_t quality, const TrackTags& tags, const std::string& name)
    {
        EncodeRequest request;
        request.path = widePath(m_dir.file(name));
        request.quality = quality;
        request.tags = tags;
        request.pcm = &m_pcm;
        EXPECT_TRUE(encodeThroughEncoderThread(OutputKind::Vorbis, request).ok());
        return m_dir.file(name);
    }

    std::vector<int16_t> decode(const std::string& path)
    {
        const ToolResult result = runTool({kOggdec, "-Q", "-R", "-o", path + ".raw", path});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        const std::string raw = readFile(path + ".raw");
        std::vector<int16_t> samples(raw.size() / 2);
        std::memcpy(samples.data(), raw.data(), samples.size() * 2);
        return samples;
    }

    // Signal-to-error ratio [dB] of one channel of the decoded audio against the source.
    double snr(const std::vector<int16_t>& decoded, int channel) const
    {
        double signal = 0;
        double error = 0;
        const size_t frames = std::min<size_t>(decoded.size() / 2, kFrames);
        for (size_t i = 0; i < frames; ++i) {
            const auto source = static_cast<int16_t>(m_pcm[i * 4 + channel * 2] | m_pcm[i * 4 + channel * 2 + 1] << 8);
            signal += double(source) * source;
            const double d = double(decoded[i * 2 + channel]) - source;
            error += d * d;
        }
        return 10 * std::log10(signal / std::max(error, 1.0));
    }

    TempDir m_dir;
    std::vector<uint8_t> m_pcm;
};

TEST_F(VorbisWriterTest, ValidStreamDecodesToTheSourceSound)
{
    const std::string path = encode(6, sampleTags(), "track.ogg");
    const ToolResult info = runTool({kOgginfo, path});
    EXPECT_EQ(info.exitCode, 0) << info.out << info.err;
    EXPECT_EQ(info.out.find("WARNING"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("ERROR"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Channels: 2"), std::string::npos);
    EXPECT_NE(info.out.find("Rate: 44100"), std::string::npos);

    const std::vector<int16_t> decoded = decode(path);
    const auto frames = static_cast<long>(decoded.size() / 2);
    EXPECT_LE(std::labs(frames - long(kFrames)), long(kLongBlock));
    // Lossy, but the same music in the same channels: swapped or mis-scaled channels fail this.
    EXPECT_GT(snr(decoded, 0), 15.0);
    EXPECT_GT(snr(decoded, 1), 15.0);
}

TEST_F(VorbisWriterTest, CommentsInOrderEncoderFirst)
{
    SKIP_WITHOUT_TOOL(kVorbiscomment);
    const std::string path = encode(6, sampleTags(), "tags.ogg");
    const ToolResult list = runTool({kVorbiscomment, "-l", "-R", path});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const std::vector<std::string> expected = {
        "ENCODER=Tonvane 0.2", "DISCID=7b0a2e09", "ALBUM=Группа крови", "TITLE=夜に駆ける", "ARTIST=Кино",
        "COMPOSER=Кино",       "DATE=1988",       "GENRE=Rock",          "TRACKNUMBER=7",
    };
    EXPECT_EQ(linesOf(list.out), expected);

    TrackTags sparse;
    sparse.album = wide("Альбом");
    sparse.composer = wide("Not written");
    const std::string sparsePath = encode(6, sparse, "sparse.ogg");
    const ToolResult sparseList = runTool({kVorbiscomment, "-l", "-R", sparsePath});
    EXPECT_EQ(linesOf(sparseList.out), (std::vector<std::string>{"ENCODER=", "ALBUM=Альбом"}));
}

TEST_F(VorbisWriterTest, QualityRangeEndsAtOne)
{
    EXPECT_FLOAT_EQ(VorbisWriter::baseQuality(0), 0.0f);
    EXPECT_FLOAT_EQ(VorbisWriter::baseQuality(6), 0.6f);
    EXPECT_FLOAT_EQ(VorbisWriter::baseQuality(10), 1.0f);
    EXPECT_FLOAT_EQ(VorbisWriter::baseQuality(11), 1.0f);
    EXPECT_FLOAT_EQ(VorbisWriter::baseQuality(0xFFFFFFFF), 1.0f);

    // The top index (shown as ~500 Kbps) makes a valid, much larger file than the lowest.
    const std::string top = encode(11, sampleTags(), "q11.ogg");
    const std::string low = encode(0, sampleTags(), "q0.ogg");
    EXPECT_EQ(runTool({kOgginfo, top}).exitCode, 0);
    EXPECT_EQ(runTool({kOgginfo, low}).exitCode, 0);
    const double seconds = kFrames / 44100.0;
    const double topKbps = readFile(top).size() * 8 / seconds / 1000;
    EXPECT_GT(topKbps, 300.0);
    EXPECT_GT(readFile(top).size(), 3 * readFile(low).size());
}

TEST_F(VorbisWriterTest, AudioStartsOnAFreshPageAfterTheHeaders)
{
    const std::string bytes = readFile(encode(6, sampleTags(), "pages.ogg"));
    // Walk the Ogg pages: page 0 holds the identification header alone, the comment and codebook
    // headers end on a page whose granule position is 0, and the first audio page follows.
    size_t at = 0;
    std::vector<int64_t> granules;
    bool lastHasEos = false;
    while (at + 27 <= bytes.size()) {
        ASSERT_EQ(bytes.compare(at, 4, "OggS"), 0) << "page at " << at;
        int64_t granule = 0;
        std::memcpy(&granule, bytes.data() + at + 6, 8);
        granules.push_back(granule);
        lastHasEos = (static_cast<uint8_t>(bytes[at + 5]) & 0x04) != 0;
        const size_t segments = static_cast<uint8_t>(bytes[at + 26]);
        size_t body = 0;
        for (size_t s = 0; s < segments; ++s)
            body += static_cast<uint8_t>(bytes[at + 27 + s]);
        at += 27 + segments + body;
    }
    EXPECT_EQ(at, bytes.size());
    ASSERT_GE(granules.size(), 4u);
    EXPECT_EQ(granules[0], 0);
    EXPECT_EQ(granules[1], 0); // comment + codebooks flushed to their own page
    EXPECT_GT(granules[2], 0);
    EXPECT_EQ(granules.back(), int64_t(kFrames));
    EXPECT_TRUE(lastHasEos);
}

TEST_F(VorbisWriterTest, StreamsOpenedTogetherHaveTheirOwnSerials)
{
    // Lanes open their writers at the same moment; each stream needs its own serial.
    constexpr int kLanes = 6;
    std::vector<std::unique_ptr<FormatWriter>> writers;
    for (int i = 0; i < kLanes; ++i)
        writers.push_back(makeWriter(OutputKind::Vorbis));
    std::latch start(kLanes);
    std::vector<std::thread> lanes;
    std::atomic<int> opened{0};
    for (int i = 0; i < kLanes; ++i) {
        lanes.emplace_back([&, i] {
            start.arrive_and_wait();
            opened += writers[i]->open(widePath(m_dir.file("lane" + std::to_string(i) + ".ogg")), 6, sampleTags(), 0);
        });
    }
    for (std::thread& lane : lanes)
        lane.join();
    ASSERT_EQ(opened.load(), kLanes);
    std::set<uint32_t> serials;
    for (int i = 0; i < kLanes; ++i) {
        ASSERT_TRUE(writers[i]->finish());
        const std::string bytes = readFile(m_dir.file("lane" + std::to_string(i) + ".ogg"));
        ASSERT_GE(bytes.size(), 27u);
        uint32_t serial = 0;
        std::memcpy(&serial, bytes.data() + 14, 4); // page header: bytes 14-17, little-endian
        serials.insert(serial);
    }
    EXPECT_EQ(serials.size(), size_t(kLanes));
}

} // namespace
} // namespace tonvane::test
