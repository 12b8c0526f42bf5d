// Cover bytes are accepted only when libjpeg or libpng decodes them completely, within 4096 pixels.
#include "encoders/cover/CoverImageCheck.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>
#include <png.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A gradient, so the compressed data has content to damage.
Bytes pixels(uint32_t width, uint32_t height, uint32_t channels)
{
    Bytes out(static_cast<size_t>(width) * height * channels);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<uint8_t>(i * 7 + i / 97);
    return out;
}

Bytes makeJpeg(uint32_t width, uint32_t height, bool progressive)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 80, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    Bytes rgb = pixels(width, height, 3);
    while (info.next_scanline < height) {
        JSAMPROW row = rgb.data() + static_cast<size_t>(info.next_scanline) * width * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

Bytes makePng(uint32_t width, uint32_t height, uint32_t format)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = format;
    Bytes source = pixels(width, height, PNG_IMAGE_PIXEL_CHANNELS(format));
    Bytes colormap;
    if (format & PNG_FORMAT_FLAG_COLORMAP) {
        image.colormap_entries = 256;
        colormap = pixels(256, 1, 3);
    }
    const void* map = colormap.empty() ? nullptr : colormap.data();
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, source.data(), 0, map))
        return {};
    Bytes out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, source.data(), 0, map);
    out.resize(size);
    return out;
}

Bytes cut(Bytes bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

// The first IDAT chunk's first data byte, flipped: its CRC no longer matches.
Bytes withDamagedImageData(Bytes png)
{
    for (size_t at = 8; at + 8 < png.size(); ++at)
        if (std::string(png.begin() + at, png.begin() + at + 4) == "IDAT") {
            png[at + 4] ^= 0x55;
            break;
        }
    return png;
}

// The CRC-32 of PNG chunks (ISO 3309), bit by bit.
uint32_t pngCrc(const uint8_t* bytes, size_t count)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

} // namespace

TEST(CoverImageCheck, AcceptsOnlyWholeImagesWithinTheLimit)
{
    const Bytes jpeg = makeJpeg(64, 48, false);
    const Bytes png = makePng(40, 30, PNG_FORMAT_RGBA);
    ASSERT_GT(jpeg.size(), 600u);
    ASSERT_GT(png.size(), 100u);
    struct Case {
        const char* name;
        Bytes bytes;
        bool accepted;
        const char* reason;
    } cases[] = {
        {"baseline JPEG", jpeg, true, ""},
        {"progressive JPEG", makeJpeg(33, 17, true), true, ""},
        {"JPEG at the limit", makeJpeg(4096, 8, false), true, ""},
        {"JPEG wider than the limit", makeJpeg(4800, 300, false), false, "4800 x 300 pixels is over 4096"},
        {"JPEG taller than the limit", makeJpeg(8, 4097, false), false, "8 x 4097 pixels is over 4096"},
        {"JPEG cut in its scan", cut(jpeg, jpeg.size() / 2), false, "damaged JPEG data"},
        {"JPEG without its end marker", cut(jpeg, jpeg.size() - 2), false, "damaged JPEG data"},
        {"JPEG cut in its headers", cut(jpeg, 40), false, "damaged JPEG data"},
        {"JPEG start only", Bytes{0xFF, 0xD8, 0xFF}, false, "damaged JPEG data"},
        {"RGBA PNG", png, true, ""},
        {"grey PNG", makePng(5, 7, PNG_FORMAT_GRAY), true, ""},
        {"colour-mapped PNG", makePng(9, 9, PNG_FORMAT_RGB_COLORMAP), true, ""},
        {"PNG at the limit", makePng(3, 4096, PNG_FORMAT_GRAY), true, ""},
        {"PNG taller than the limit", makePng(300, 4800, PNG_FORMAT_GRAY), false, "300 x 4800 pixels is over 4096"},
        {"PNG cut in its image data", cut(png, png.size() / 2), false, "damaged PNG data"},
        {"PNG without IEND", cut(png, png.size() - 12), false, "damaged PNG data"},
        {"PNG with damaged image data", withDamagedImageData(png), false, "damaged PNG data"},
        {"PNG signature only", cut(png, 8), false, "damaged PNG data"},
        {"GIF", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, false, "not a JPEG or PNG image"},
        {"empty", Bytes{}, false, "not a JPEG or PNG image"},
        {"HTML error page", Bytes{'<', 'h', 't', 'm', 'l', '>'}, false, "not a JPEG or PNG image"},
    };
    for (const Case& c : cases) {
        std::string reason = "stale";
        EXPECT_EQ(tonvane::acceptCoverImage(c.bytes, reason), c.accepted) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
    }
    std::string reason;
    EXPECT_FALSE(tonvane::acceptCoverImage(nullptr, 12, reason));
    EXPECT_EQ(reason, "not a JPEG or PNG image");
}

TEST(CoverImageCheck, APngHeaderClaimingHugeSidesIsRefusedBeforeAnyDecoding)
{
    // Signature and an IHDR of 5000 x 5000 RGBA with a correct CRC, and no image data at all.
    Bytes png = makePng(1, 1, PNG_FORMAT_RGBA);
    const uint8_t side[4] = {0x00, 0x00, 0x13, 0x88}; // 5000
    std::copy(side, side + 4, png.begin() + 16);
    std::copy(side, side + 4, png.begin() + 20);
    png.resize(33);
    uint32_t crc = pngCrc(png.data() + 12, 17);
    for (int i = 0; i < 4; ++i)
        png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    std::string reason;
    EXPECT_FALSE(tonvane::acceptCoverImage(png, reason));
    EXPECT_EQ(reason, "5000 x 5000 pixels is over 4096");
}
