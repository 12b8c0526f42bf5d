#include "encoders/mp3/BeConfig.h"
#include "encoders/mp3/BladeEncoder.h"
#include "encoders/mp3/Id3Tag.h"
#include "WriterDriver.h"

#include <gtest/gtest.h>

namespace tonvane::test {
namespace {

TEST(Mp3Config, BlockCarriesTheLameFieldsAtTheirOffsets)
{
    const BeConfigBlock block = makeMp3Config(8);
    ASSERT_EQ(block.size(), 331u);
    // offset -> value of every 32-bit field that is not 0
    const std::vector<std::pair<size_t, uint32_t>> fields = {
        {0, 256}, {4, 1}, {8, 331}, {12, 44100}, {20, 1}, {24, 128}, {28, 192},
        {32, 5},  {36, 1}, {60, 1}, {64, 1},     {80, 4}, {84, 1},
    };
    BeConfigBlock expected{};
    for (const auto& [offset, value] : fields)
        writeLe32(expected.data() + offset, value);
    EXPECT_EQ(block, expected);
}

TEST(Mp3Config, IndexIsClampedAndTheMaximumRunsTwoStepsAhead)
{
    auto bitrates = [](int32_t index) {
        const BeConfigBlock block = makeMp3Config(index);
        return std::pair(readLe32(block.data() + beconfig::kBitrate), readLe32(block.data() + beconfig::kMaxBitrate));
    };
    EXPECT_EQ(bitrates(0), std::pair(32u, 48u));
    EXPECT_EQ(bitrates(-5), std::pair(32u, 48u));
    EXPECT_EQ(bitrates(11), std::pair(224u, 320u));
    EXPECT_EQ(bitrates(12), std::pair(256u, 320u));
    EXPECT_EQ(bitrates(13), std::pair(320u, 320u));
    EXPECT_EQ(bitrates(99), std::pair(320u, 320u));
    EXPECT_EQ(bitrates(-1), std::pair(32u, 48u)) << "a stored 0xFFFFFFFF is -1";
}

TEST(Mp3Config, AdapterAnswersBlockAndBufferSizesAndRefusesForeignBlocks)
{
    uint32_t samples = 0;
    uint32_t bufferSize = 0;
    BeStream stream = nullptr;
    ASSERT_EQ(beInitStream(makeMp3Config(8), &samples, &bufferSize, &stream), kBeErrSuccessful);
    EXPECT_EQ(samples, 2304u); // one MPEG-1 Layer III frame: 1152 samples per channel
    EXPECT_GE(bufferSize, 1152u * 5 / 4 + 7200);
    std::vector<int16_t> silence(samples, 0);
    std::vector<uint8_t> out(bufferSize);
    uint32_t produced = 0;
    EXPECT_EQ(beEncodeChunk(stream, samples + 2, silence.data(), out.data(), &produced), kBeErrBufferTooSmall);
    EXPECT_EQ(beEncodeChunk(stream, samples, silence.data(), out.data(), &produced), kBeErrSuccessful);
    EXPECT_EQ(beDeinitStream(stream, out.data(), &produced), kBeErrSuccessful);
    EXPECT_GT(produced, 0u);
    EXPECT_EQ(beCloseStream(stream), kBeErrSuccessful);
    EXPECT_EQ(beCloseStream(nullptr), kBeErrInvalidHandle);
    EXPECT_EQ(beEncodeChunk(nullptr, samples, silence.data(), out.data(), &produced), kBeErrInvalidHandle);

    BeConfigBlock foreign = makeMp3Config(8);
    writeLe32(foreign.data() + beconfig::kKind, 1); // the plain MP3 layout, not LAME's
    EXPECT_EQ(beInitStream(foreign, &samples, &bufferSize, &stream), kBeErrInvalidFormat);
    EXPECT_EQ(stream, nullptr);
    BeConfigBlock wrongSize = makeMp3Config(8);
    writeLe32(wrongSize.data() + beconfig::kStructSize, 330);
    EXPECT_EQ(beInitStream(wrongSize, &samples, &bufferSize, &stream), kBeErrInvalidFormat);
    BeConfigBlock badMode = makeMp3Config(8);
    writeLe32(badMode.data() + beconfig::kMode, 9);
    EXPECT_EQ(beInitStream(badMode, &samples, &bufferSize, &stream), kBeErrInvalidFormatParameters);
    BeConfigBlock mpeg2 = makeMp3Config(8);
    writeLe32(mpeg2.data() + beconfig::kMpegVersion, beconfig::kMpeg2); // 44.1 kHz is MPEG-1 only
    EXPECT_EQ(beInitStream(mpeg2, &samples, &bufferSize, &stream), kBeErrInvalidFormatParameters);
}

TEST(Id3Tag, FramesInOrderWithSyncsafeSizes)
{
    TrackTags tags;
    tags.title = wide("Ñu");
    tags.year = wide("1999");
    tags.genre = wide("never written to MP3");
    tags.discId = wide("never written either");
    const std::vector<uint8_t> tag = buildId3Tag(tags).value();
    const std::vector<uint8_t> expected = {
        'I', 'D', '3', 4, 0, 0, 0, 0, 0, 31, // header, size 31 = two frames of 10 + 6 and 10 + 5
        'T', 'I', 'T', '2', 0, 0, 0, 5, 0, 0, 3, 0xC3, 0x91, 'u', 0,
        'T', 'D', 'R', 'C', 0, 0, 0, 6, 0, 0, 3, '1', '9', '9', '9', 0,
    };
    EXPECT_EQ(tag, expected);

    const std::vector<uint8_t> empty = buildId3Tag(TrackTags{}).value();
    EXPECT_EQ(empty, (std::vector<uint8_t>{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0}));
}

TEST(Id3Tag, LongTextsGrowTheTagWithoutCutting)
{
    TrackTags tags = sampleTags();
    std::string longTitle;
    for (int i = 0; i < 1000; ++i)
        longTitle += "夜"; // 3 bytes each in UTF-8
    tags.title = wide(longTitle.c_str());
    const std::vector<uint8_t> tag = buildId3Tag(tags).value();
    EXPECT_GT(tag.size(), 3000u);
    EXPECT_EQ(readSyncsafe(tag.data() + 6), tag.size() - 10);
    const std::string bytes(tag.begin(), tag.end());
    const size_t frame = bytes.find("TIT2");
    ASSERT_NE(frame, std::string::npos);
    EXPECT_EQ(readSyncsafe(tag.data() + frame + 4), 3000u + 2);
    EXPECT_EQ(bytes.substr(frame + 11, 3000), longTitle);
}

TEST(Id3Tag, SyncsafeRoundTrip)
{
    uint8_t at[4];
    writeSyncsafe(at, 0x0FFFFFFF);
    EXPECT_EQ(at[0], 0x7F);
    EXPECT_EQ(at[3], 0x7F);
    EXPECT_EQ(readSyncsafe(at), 0x0FFFFFFFu);
    writeSyncsafe(at, 257);
    EXPECT_EQ(at[2], 2);
    EXPECT_EQ(at[3], 1);
}

} // namespace
} // namespace tonvane::test
