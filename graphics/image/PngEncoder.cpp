#include "graphics/image/PngEncoder.h"

#include "core/foundation/Heap.h"
#include "graphics/surface/Surface.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

// libpng reports errors with longjmp back into writeRows: only plain data lives across its
// setjmp.

namespace tonvane {

namespace {

constexpr int kCompressionLevel = 9;

void ignoreWarning(png_structp, png_const_charp) {}

void stopOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

uint8_t unpremultiply(uint32_t channel, uint32_t alpha)
{
    if (alpha == 0)
        return 0;
    return static_cast<uint8_t>(std::min(255u, (channel * 255 + alpha / 2) / alpha));
}

// One source row (bottom-up words) as RGB or RGBA bytes.
struct RowSource {
    const uint32_t* pixels;
    int32_t width;
    int32_t rowLength;
    unsigned bytesPerPixel;
    bool premultiplied;

    void fill(int32_t y, uint8_t* out) const
    {
        const uint32_t* in = pixels + static_cast<size_t>(y) * rowLength;
        for (int32_t x = 0; x < width; ++x) {
            uint32_t p = in[x];
            uint32_t a = p >> 24;
            uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (premultiplied) {
                r = unpremultiply(r, a), g = unpremultiply(g, a), b = unpremultiply(b, a);
            }
            *out++ = static_cast<uint8_t>(r);
            *out++ = static_cast<uint8_t>(g);
            *out++ = static_cast<uint8_t>(b);
            if (bytesPerPixel == 4)
                *out++ = static_cast<uint8_t>(a);
        }
    }
};

// Frees what the writer holds and removes the partial file.
bool abandon(png_structp png, png_infop info, uint8_t* row, FILE* file, const std::string& path)
{
    png_destroy_write_struct(&png, &info);
    release(row);
    std::fclose(file);
    std::remove(path.c_str());
    return false;
}

bool writeRows(const RowSource& source, int32_t height, const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wbe");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stopOnError, ignoreWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    uint8_t* row = static_cast<uint8_t*>(tryAllocate(static_cast<size_t>(source.width) * source.bytesPerPixel));
    if (png == nullptr || info == nullptr || row == nullptr)
        return abandon(png, info, row, file, path);
    if (setjmp(png_jmpbuf(png)) != 0)
        return abandon(png, info, row, file, path);
    png_init_io(png, file);
    png_set_compression_level(png, kCompressionLevel);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    int colourType = source.bytesPerPixel == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, static_cast<png_uint_32>(source.width), static_cast<png_uint_32>(height), 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = height - 1; y >= 0; --y) {
        source.fill(y, row);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    release(row);
    bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
    bool closed = std::fclose(file) == 0;
    if (!flushed || !closed) {
        std::remove(path.c_str());
        return false;
    }
    return true;
}

bool validSize(const uint32_t* pixels, int32_t width, int32_t height, int32_t rowLength)
{
    return pixels != nullptr && width > 0 && height > 0 && rowLength >= width;
}

} // namespace

bool writeArgbPng(const uint32_t* pixels, int32_t width, int32_t height, int32_t rowLength, PngChannels channels,
                  const std::string& path)
{
    if (!validSize(pixels, width, height, rowLength))
        return false;
    unsigned bytes = channels == PngChannels::Rgba ? 4 : 3;
    return writeRows({pixels, width, rowLength, bytes, false}, height, path);
}

bool writePremultipliedPng(const uint32_t* pixels, int32_t width, int32_t height, int32_t rowLength,
                           const std::string& path)
{
    if (!validSize(pixels, width, height, rowLength))
        return false;
    return writeRows({pixels, width, rowLength, 4, true}, height, path);
}

bool writeSurfacePng(const Surface& surface, int32_t width, int32_t height, const std::string& path)
{
    if (width > surface.width() || height > surface.height())
        return false;
    return writePremultipliedPng(surface.pixels(), width, height, surface.width(), path);
}

} // namespace tonvane
