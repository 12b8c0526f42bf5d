// Cover pictures: JPEGs made here with libjpeg decode to their pixels (within the codec's
// error), damaged ones give nothing; the scaler against a plain reference (area average down,
// bilinear up) and on a checkerboard, with premultiplied alpha.
#include "graphics/image/ImageScaler.h"
#include "graphics/image/JpegDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace tonvane {
namespace {

// RGB or grey samples top-down, compressed at the given quality without chroma subsampling.
std::vector<uint8_t> encodeJpeg(const std::vector<uint8_t>& samples, int width, int height, int components,
                                int quality, bool progressive = false)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    for (int c = 0; c < info.num_components; ++c)
        info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(&samples[size_t(info.next_scanline) * size_t(width * components)]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

// Smooth colour ramps (JPEG keeps them within a few levels at quality 95).
std::vector<uint8_t> ramps(int width, int height)
{
    std::vector<uint8_t> samples;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            samples.push_back(uint8_t(x * 255 / (width - 1)));
            samples.push_back(uint8_t(y * 255 / (height - 1)));
            samples.push_back(uint8_t(128));
        }
    return samples;
}

int channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

TEST(CoverImage, JpegDecodesToItsPixelsRowsBottomUpInEveryLayout)
{
    struct Case {
        int components;
        bool progressive;
    };
    for (Case k : {Case{3, false}, Case{3, true}, Case{1, false}}) {
        SCOPED_TRACE(testing::Message() << k.components << " components, progressive " << k.progressive);
        constexpr int kWidth = 40, kHeight = 24;
        std::vector<uint8_t> rgb = ramps(kWidth, kHeight);
        std::vector<uint8_t> samples;
        for (size_t i = 0; i < rgb.size(); i += 3)
            if (k.components == 1)
                samples.push_back(rgb[i]);
            else
                samples.insert(samples.end(), {rgb[i], rgb[i + 1], rgb[i + 2]});
        std::vector<uint8_t> jpeg = encodeJpeg(samples, kWidth, kHeight, k.components, 95, k.progressive);
        ImagePtr image = decodeCoverImage(jpeg);
        ASSERT_TRUE(image);
        ASSERT_EQ(image->width, kWidth);
        ASSERT_EQ(image->height, kHeight);
        int worst = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                uint32_t p = image->pixels[size_t(kHeight - 1 - y) * kWidth + size_t(x)]; // bottom-up
                ASSERT_EQ(p >> 24, 0xFFu);
                const uint8_t* want = &samples[size_t(y * kWidth + x) * size_t(k.components)];
                int r = want[0], g = k.components == 1 ? want[0] : want[1], b = k.components == 1 ? want[0] : want[2];
                worst = std::max({worst, std::abs(channel(p, 16) - r), std::abs(channel(p, 8) - g),
                                  std::abs(channel(p, 0) - b)});
            }
        EXPECT_LE(worst, 6) << "a pixel is off by more than the codec's error";
    }
}

TEST(CoverImage, DamagedOrForeignBytesGiveNoPicture)
{
    std::vector<uint8_t> jpeg = encodeJpeg(ramps(64, 64), 64, 64, 3, 90);
    ASSERT_TRUE(decodeCoverImage(jpeg));
    std::vector<std::vector<uint8_t>> damaged;
    for (size_t keep : {size_t(2), size_t(3), size_t(20), jpeg.size() / 2, jpeg.size() - 2})
        damaged.emplace_back(jpeg.begin(), jpeg.begin() + ptrdiff_t(keep));
    std::vector<uint8_t> scrambled = jpeg;
    for (size_t i = scrambled.size() / 3; i < scrambled.size() - 2; i += 7)
        scrambled[i] ^= 0x5A;
    damaged.push_back(scrambled);
    damaged.push_back({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0});
    damaged.push_back({});
    for (size_t i = 0; i < damaged.size(); ++i)
        EXPECT_FALSE(decodeCoverImage(damaged[i])) << "case " << i;
    // Whole but larger than the caller takes: refused from the header.
    EXPECT_FALSE(decodeCoverImage(jpeg, 63));
    EXPECT_TRUE(decodeCoverImage(jpeg, 64));
}

TEST(CoverImage, FitInsideKeepsTheAspect)
{
    struct Case {
        int32_t w, h, boxW, boxH, wantW, wantH;
    };
    for (Case k : {Case{500, 500, 96, 96, 96, 96}, Case{600, 300, 96, 96, 96, 48}, Case{300, 600, 96, 96, 48, 96},
                   Case{2, 3, 96, 96, 64, 96}, Case{1000, 1, 96, 96, 96, 1}, Case{0, 5, 96, 96, 0, 0}}) {
        ScaledSize s = fitInside(k.w, k.h, k.boxW, k.boxH);
        EXPECT_EQ(s.width, k.wantW) << k.w << "x" << k.h;
        EXPECT_EQ(s.height, k.wantH) << k.w << "x" << k.h;
    }
}

ImagePtr imageOf(int32_t width, int32_t height, uint32_t (*pixel)(int32_t, int32_t))
{
    ImagePtr image(allocateImage(uint32_t(width), uint32_t(height)));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            image->pixels[size_t(y) * size_t(width) + size_t(x)] = pixel(x, y);
    return image;
}

// The plain definition of an area average: each target pixel's square mapped onto the source,
// every source pixel weighed by the area of it inside that square (opaque pictures).
double areaReference(const Image& source, int32_t width, int32_t height, int32_t tx, int32_t ty, int shift)
{
    double sx = double(source.width) / width, sy = double(source.height) / height;
    double sum = 0;
    for (int32_t y = 0; y < source.height; ++y)
        for (int32_t x = 0; x < source.width; ++x) {
            double ox = std::max(0.0, std::min((tx + 1) * sx, x + 1.0) - std::max(tx * sx, double(x)));
            double oy = std::max(0.0, std::min((ty + 1) * sy, y + 1.0) - std::max(ty * sy, double(y)));
            sum += ox * oy * channel(source.pixels[size_t(y) * size_t(source.width) + size_t(x)], shift);
        }
    return sum / (sx * sy);
}

TEST(CoverImage, ShrinkingAveragesTheAreaEachPixelCovers)
{
    // A picture with detail in every pixel, scaled to sizes that cut source pixels in parts.
    ImagePtr source = imageOf(37, 23, [](int32_t x, int32_t y) {
        return 0xFF000000u | uint32_t((x * 53 + y * 7) % 256) << 16 | uint32_t((x * y * 11) % 256) << 8
            | uint32_t((y * 29 + 3) % 256);
    });
    for (auto [w, h] : {std::pair{10, 7}, std::pair{37, 5}, std::pair{1, 1}, std::pair{12, 23}}) {
        ImagePtr scaled = scaleImage(*source, w, h);
        ASSERT_TRUE(scaled);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                for (int shift : {16, 8, 0}) {
                    double want = areaReference(*source, w, h, x, y, shift);
                    int got = channel(scaled->pixels[size_t(y) * size_t(w) + size_t(x)], shift);
                    ASSERT_NEAR(got, want, 0.51) << w << "x" << h << " at " << x << "," << y << " shift " << shift;
                }
    }
}

TEST(CoverImage, ACheckerboardShrinksToItsAverageAndTransparencyDoesNotBleed)
{
    ImagePtr board = imageOf(64, 64, [](int32_t x, int32_t y) { return ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u; });
    ImagePtr half = scaleImage(*board, 32, 32);
    ASSERT_TRUE(half);
    for (int32_t i = 0; i < 32 * 32; ++i)
        ASSERT_EQ(half->pixels[i], 0xFF808080u) << i; // 127.5 rounds up
    ImagePtr odd = scaleImage(*board, 5, 3);
    for (int32_t i = 0; i < 15; ++i)
        EXPECT_NEAR(channel(odd->pixels[i], 8), 127.5, 1.0) << i;

    // Red beside transparent "green" (a colour no one sees): the average stays pure red, half covered.
    ImagePtr edge = imageOf(2, 1, [](int32_t x, int32_t) { return x == 0 ? 0xFFFF0000u : 0x0000FF00u; });
    ImagePtr one = scaleImage(*edge, 1, 1);
    EXPECT_EQ(one->pixels[0], 0x80FF0000u);
}

TEST(CoverImage, GrowingIsBilinearBetweenPixelCentres)
{
    // 2 x 1 black and white doubled: centres at 0.5 and 2.5 of the target, edges held.
    ImagePtr pair = imageOf(2, 1, [](int32_t x, int32_t) { return x == 0 ? 0xFF000000u : 0xFFFFFFFFu; });
    ImagePtr wide = scaleImage(*pair, 4, 1);
    ASSERT_TRUE(wide);
    int want[] = {0, 64, 191, 255}; // x' = (i + 0.5) / 2 - 0.5: -0.25 (held), 0.25, 0.75, 1.25 (held)
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(channel(wide->pixels[i], 0), want[i], 1) << i;
    // Up on one axis, down on the other.
    ImagePtr tall = imageOf(4, 2, [](int32_t x, int32_t y) { return 0xFF000000u | uint32_t(y * 200 + x * 10); });
    ImagePtr mixed = scaleImage(*tall, 2, 4);
    ASSERT_TRUE(mixed);
    EXPECT_NEAR(channel(mixed->pixels[0], 0), 5, 1); // bottom row: the average of 0 and 10
    EXPECT_NEAR(channel(mixed->pixels[3 * 2 + 1], 0), 225, 1); // top row: 200 + (20 + 30) / 2
    EXPECT_NEAR(channel(mixed->pixels[1 * 2 + 0], 0), 55, 1); // y' = 0.25: 5 + 0.25 x 200
}

} // namespace
} // namespace tonvane
