// PNG decoding against files written by our own test writer: every colour type and depth,
// transparency, interlacing, rows bottom-up; damaged files give no image.
#include "PngFixture.h"

#include "graphics/image/Image.h"
#include "graphics/image/ImageStrip.h"
#include "graphics/surface/Surface.h"

#include <gtest/gtest.h>

#include <string>

namespace tonvane {
namespace {

using namespace testpng;

struct Case {
    ColourType type;
    uint8_t depth;
    bool transparency; // tRNS chunk (for palettes: alpha for the first entries)
};

// Samples spread over the whole range, with the value 1 (the transparent key below) frequent.
uint16_t sampleAt(uint32_t x, uint32_t y, int c, uint32_t range)
{
    uint32_t v = (x * 7 + y * 13 + uint32_t(c) * 5 + x * y) % (range + 3);
    return static_cast<uint16_t>(v >= range ? 1 : (v * 2654435761u >> 7) % range);
}

TestPicture makePicture(const Case& k, bool interlaced, uint32_t width = 13, uint32_t height = 11)
{
    TestPicture picture;
    picture.width = width;
    picture.height = height;
    picture.colourType = k.type;
    picture.bitDepth = k.depth;
    picture.interlaced = interlaced;
    uint32_t range = k.depth == 16 ? 65536 : 1u << k.depth;
    if (k.type == Palette) {
        range = std::min<uint32_t>(range, 200);
        for (uint32_t i = 0; i < range; ++i)
            picture.palette.push_back((i * 0x9E3779B9u) & 0xFFFFFF);
        if (k.transparency)
            for (uint32_t i = 0; i < range / 2 + 1; ++i)
                picture.paletteAlpha.push_back(static_cast<uint8_t>(i * 37));
    } else if (k.transparency) {
        picture.greyOrRgbTransparency = true;
        picture.transparent[0] = picture.transparent[1] = picture.transparent[2] = 1;
    }
    int channels = channelsOf(k.type);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                picture.samples.push_back(sampleAt(x, y, c, range));
    return picture;
}

// What the decoder must produce for pixel (x, y), y counted from the top of the picture.
uint32_t expectedPixel(const TestPicture& picture, uint32_t x, uint32_t y)
{
    int channels = channelsOf(picture.colourType);
    const uint16_t* s = &picture.samples[(size_t(y) * picture.width + x) * channels];
    auto to8 = [&](uint16_t v) -> uint32_t {
        if (picture.bitDepth == 16)
            return v >> 8;
        if (picture.bitDepth == 8)
            return v;
        return v * 255u / ((1u << picture.bitDepth) - 1); // 1, 2 and 4 bits: bit replication
    };
    auto keyed = [&](int count) {
        if (!picture.greyOrRgbTransparency)
            return false;
        for (int i = 0; i < count; ++i)
            if (s[i] != picture.transparent[i])
                return false;
        return true;
    };
    uint32_t a = 255, r = 0, g = 0, b = 0;
    switch (picture.colourType) {
    case Grey:
        r = g = b = to8(s[0]);
        a = keyed(1) ? 0 : 255;
        break;
    case GreyAlpha:
        r = g = b = to8(s[0]);
        a = to8(s[1]);
        break;
    case Rgb:
        r = to8(s[0]), g = to8(s[1]), b = to8(s[2]);
        a = keyed(3) ? 0 : 255;
        break;
    case Rgba:
        r = to8(s[0]), g = to8(s[1]), b = to8(s[2]), a = to8(s[3]);
        break;
    case Palette: {
        uint32_t entry = picture.palette[s[0]];
        r = entry >> 16 & 0xFF, g = entry >> 8 & 0xFF, b = entry & 0xFF;
        a = s[0] < picture.paletteAlpha.size() ? picture.paletteAlpha[s[0]] : 255;
        break;
    }
    }
    return a << 24 | r << 16 | g << 8 | b;
}

std::string caseName(const Case& k, bool interlaced)
{
    return "type " + std::to_string(k.type) + " depth " + std::to_string(k.depth)
        + (k.transparency ? " tRNS" : "") + (interlaced ? " interlaced" : "");
}

TEST(PngDecoder, EveryColourTypeAndDepthDecodesToTheKnownPixelsBottomUp)
{
    const Case cases[] = {
        {Grey, 1, false},    {Grey, 2, false},      {Grey, 4, false},    {Grey, 8, false},
        {Grey, 16, false},   {Grey, 2, true},       {Grey, 8, true},     {Grey, 16, true},
        {Rgb, 8, false},     {Rgb, 16, false},      {Rgb, 8, true},      {Rgb, 16, true},
        {Palette, 1, false}, {Palette, 2, true},    {Palette, 4, false}, {Palette, 8, false},
        {Palette, 8, true},  {GreyAlpha, 8, false}, {GreyAlpha, 16, false}, {Rgba, 8, false},
        {Rgba, 16, false},
    };
    for (const Case& k : cases) {
        for (bool interlaced : {false, true}) {
            TestPicture picture = makePicture(k, interlaced);
            std::vector<uint8_t> file = writePng(picture);
            ImagePtr image = loadImageFromMemory(file);
            ASSERT_NE(image, nullptr) << caseName(k, interlaced);
            ASSERT_EQ(image->width, 13);
            ASSERT_EQ(image->height, 11);
            int wrong = 0;
            for (uint32_t y = 0; y < picture.height; ++y)
                for (uint32_t x = 0; x < picture.width; ++x) {
                    uint32_t got = image->pixels[(picture.height - 1 - y) * picture.width + x];
                    if (got != expectedPixel(picture, x, y) && wrong++ < 3)
                        ADD_FAILURE() << caseName(k, interlaced) << " pixel " << x << "," << y << std::hex
                                      << " got " << got << " want " << expectedPixel(picture, x, y);
                }
            EXPECT_EQ(wrong, 0) << caseName(k, interlaced);
        }
    }
}

TEST(PngDecoder, TinyAndOddSizedInterlacedImagesFillEveryPixel)
{
    // Sizes where some Adam7 passes are empty.
    for (auto [w, h] : {std::pair{1u, 1u}, {2u, 1u}, {1u, 5u}, {9u, 3u}, {17u, 17u}}) {
        TestPicture picture = makePicture({Rgba, 8, false}, true, w, h);
        ImagePtr image = loadImageFromMemory(writePng(picture));
        ASSERT_NE(image, nullptr) << w << "x" << h;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                EXPECT_EQ(image->pixels[(h - 1 - y) * w + x], expectedPixel(picture, x, y)) << w << "x" << h;
    }
}

std::vector<uint8_t> validFile()
{
    return writePng(makePicture({Palette, 4, true}, false));
}

TEST(PngDecoder, DamagedFilesGiveNoImage)
{
    std::vector<uint8_t> good = validFile();
    ASSERT_NE(loadImageFromMemory(good), nullptr);

    // Cut anywhere: no image (the end chunk is part of the file).
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> cutFile(good.begin(), good.begin() + cut);
        EXPECT_EQ(loadImageFromMemory(cutFile), nullptr) << "cut at " << cut;
    }

    auto places = chunkPlaces(good);
    auto placeOf = [&](const std::string& type) {
        for (const ChunkPlace& p : places)
            if (p.type == type)
                return p;
        return ChunkPlace{0, "", 0};
    };
    // A flipped CRC of a critical chunk.
    for (const char* type : {"IHDR", "PLTE", "IDAT"}) {
        std::vector<uint8_t> bad = good;
        ChunkPlace p = placeOf(type);
        bad[p.offset + 8 + p.length] ^= 0x01;
        EXPECT_EQ(loadImageFromMemory(bad), nullptr) << type << " CRC";
    }
    // A flipped byte inside the compressed data.
    {
        std::vector<uint8_t> bad = good;
        ChunkPlace p = placeOf("IDAT");
        bad[p.offset + 8 + 2] ^= 0xFF;
        uint32_t crc = static_cast<uint32_t>(crc32(0, &bad[p.offset + 4], p.length + 4));
        for (int i = 0; i < 4; ++i)
            bad[p.offset + 8 + p.length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        EXPECT_EQ(loadImageFromMemory(bad), nullptr) << "deflate damage";
    }
}

TEST(PngDecoder, HeadersAndChunkOrdersWeRefuse)
{
    auto fileWith = [](std::vector<uint8_t> ihdr, bool idat, bool swapPaletteAfterData) {
        std::vector<uint8_t> out(kSignature, kSignature + 8);
        putChunk(out, "IHDR", ihdr);
        TestPicture picture = makePicture({Palette, 8, false}, false, 4, 4);
        std::vector<uint8_t> plte(picture.palette.size() * 3, 0x40);
        if (!swapPaletteAfterData)
            putChunk(out, "PLTE", plte);
        if (idat)
            putChunk(out, "IDAT", deflate(rawImageData(picture)));
        if (swapPaletteAfterData)
            putChunk(out, "PLTE", plte);
        putChunk(out, "IEND", {});
        return out;
    };
    EXPECT_NE(loadImageFromMemory(fileWith(ihdrData(4, 4, 8, Palette, false), true, false)), nullptr);
    EXPECT_EQ(loadImageFromMemory(fileWith(ihdrData(0, 0, 8, Palette, false), true, false)), nullptr);
    EXPECT_EQ(loadImageFromMemory(fileWith(ihdrData(0x7FFFFFFF, 4, 8, Palette, false), true, false)), nullptr);
    EXPECT_EQ(loadImageFromMemory(fileWith(ihdrData(16385, 1, 8, Palette, false), true, false)), nullptr);
    EXPECT_EQ(loadImageFromMemory(fileWith(ihdrData(4, 4, 8, Palette, false), false, false)), nullptr)
        << "no IDAT";
    EXPECT_EQ(loadImageFromMemory(fileWith(ihdrData(4, 4, 8, Palette, false), true, true)), nullptr)
        << "palette after the data";
    EXPECT_EQ(loadImageFromMemory(fileWith(ihdrData(4, 4, 3, Rgb, false), true, false)), nullptr)
        << "depth 3";

    // The largest side we take, and one pixel more.
    TestPicture wide = makePicture({Grey, 1, false}, false, 16384, 1);
    EXPECT_NE(loadImageFromMemory(writePng(wide)), nullptr);
    EXPECT_FALSE(imageSizeAcceptable(16385, 1));
    EXPECT_FALSE(imageSizeAcceptable(1, 0));
    EXPECT_EQ(allocateImage(0, 10), nullptr);

    EXPECT_EQ(loadImageFromMemory({}), nullptr);
    EXPECT_EQ(loadImageFromFile("/nonexistent/picture.png"), nullptr);
}

TEST(ImageStrip, FrameCountsViewsAndDrawing)
{
    // 752 x 16: 47 frames of 16 x 16; each frame's pixels carry their frame number.
    TestPicture picture;
    picture.width = 752;
    picture.height = 16;
    picture.colourType = Rgba;
    picture.bitDepth = 8;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 752; ++x) {
            uint16_t frame = static_cast<uint16_t>(x / 16);
            picture.samples.insert(picture.samples.end(), {frame, static_cast<uint16_t>(y), 0, 255});
        }
    ImageStrip spinner;
    ASSERT_TRUE(spinner.loadFromMemory(writePng(picture)));
    EXPECT_EQ(spinner.frameWidth(), 16);
    EXPECT_EQ(spinner.frameCount(), 47);
    ImageView last = spinner.frame(46);
    ASSERT_NE(last.pixels, nullptr);
    EXPECT_EQ(last.row_length, 752);
    EXPECT_EQ(last.pixels[0], 0xFF2E0F00u) << "frame 46, bottom row (the PNG's last row, y 15)";
    EXPECT_EQ(spinner.frame(47).pixels, nullptr);
    EXPECT_EQ(spinner.frame(-1).pixels, nullptr);

    // Drawing a frame: the PNG's first row is the top of the drawn picture.
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(40, 20));
    surface.begin();
    drawFrame(surface, spinner, 5, 10, 2, 1.0);
    drawFrame(surface, spinner, 47, 0, 0, 1.0); // draws nothing
    surface.render();
    EXPECT_EQ(surface.pixel(10, 17), 0xFF050000u) << "top row";
    EXPECT_EQ(surface.pixel(25, 2), 0xFF050F00u) << "bottom right";
    EXPECT_EQ(surface.pixel(0, 0), 0u);
    EXPECT_EQ(surface.pixel(9, 2), 0u);

    // 384 x 32 loads as 32 x 32 frames, 8 once the frame width is 48.
    TestPicture flags = makePicture({Rgb, 8, false}, false, 384, 32);
    ImageStrip strip;
    ASSERT_TRUE(strip.loadFromMemory(writePng(flags)));
    EXPECT_EQ(strip.frameCount(), 12);
    strip.setFrameSize(48, 32);
    EXPECT_EQ(strip.frameCount(), 8);
    EXPECT_EQ(strip.frame(7).pixels, strip.image()->pixels + 7 * 48);
    strip.setFrameSize(48, 64); // taller than the picture: cut to it
    EXPECT_EQ(strip.frame(0).height, 32);
    strip.setFrameSize(0, 32);
    EXPECT_EQ(strip.frameCount(), 0);

    // A failed load leaves no image and no frames.
    EXPECT_FALSE(strip.loadFromMemory(std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(strip.image(), nullptr);
    EXPECT_EQ(strip.frameCount(), 0);
}

} // namespace
} // namespace tonvane
