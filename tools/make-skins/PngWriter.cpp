#include "tools/make-skins/PngWriter.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>

namespace tonvane::skins {

namespace {

constexpr int kCompressionLevel = 9;

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void noFlush(png_structp) {}

// Packs the picture's rows top-down into rows of RGB or RGBA bytes.
std::vector<uint8_t> packRows(int32_t width, int32_t height, const std::vector<uint32_t>& pixels, size_t bytesPerPixel)
{
    std::vector<uint8_t> rows(static_cast<size_t>(width) * height * bytesPerPixel);
    uint8_t* out = rows.data();
    for (int32_t row = height - 1; row >= 0; --row) {
        const uint32_t* in = pixels.data() + static_cast<size_t>(row) * width;
        for (int32_t x = 0; x < width; ++x) {
            *out++ = static_cast<uint8_t>(in[x] >> 16);
            *out++ = static_cast<uint8_t>(in[x] >> 8);
            *out++ = static_cast<uint8_t>(in[x]);
            if (bytesPerPixel == 4)
                *out++ = static_cast<uint8_t>(in[x] >> 24);
        }
    }
    return rows;
}

// libpng reports errors by longjmp: this function keeps no object with a destructor of its
// own; the buffers belong to the caller.
bool encode(int32_t width, int32_t height, int colourType, std::vector<uint8_t>& packed,
            std::vector<png_bytep>& rowPointers, std::vector<uint8_t>& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, appendBytes, noFlush);
    png_set_compression_level(png, kCompressionLevel);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    size_t rowBytes = packed.size() / static_cast<size_t>(height);
    for (int32_t row = 0; row < height; ++row)
        rowPointers[static_cast<size_t>(row)] = packed.data() + static_cast<size_t>(row) * rowBytes;
    png_set_rows(png, info, rowPointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng(const std::string& path, int32_t width, int32_t height, const std::vector<uint32_t>& pixels,
              PngChannels channels)
{
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height)
        return false;
    bool alpha = channels == PngChannels::Rgba;
    std::vector<uint8_t> packed = packRows(width, height, pixels, alpha ? 4 : 3);
    std::vector<png_bytep> rowPointers(static_cast<size_t>(height));
    std::vector<uint8_t> bytes;
    if (!encode(width, height, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, packed, rowPointers, bytes))
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace tonvane::skins
