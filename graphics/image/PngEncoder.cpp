#include "graphics/image/PngEncoder.h"

#include "core/foundation/Heap.h"
#include "graphics/surface/Surface.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

// libpng reports errors with longjmp back into writePremultipliedPng: only plain data lives
// across its setjmp.

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

void straightRow(const uint32_t* pixels, int32_t width, uint8_t* out)
{
    for (int32_t x = 0; x < width; ++x) {
        uint32_t p = pixels[x];
        uint32_t a = p >> 24;
        out[x * 4 + 0] = unpremultiply((p >> 16) & 0xFF, a);
        out[x * 4 + 1] = unpremultiply((p >> 8) & 0xFF, a);
        out[x * 4 + 2] = unpremultiply(p & 0xFF, a);
        out[x * 4 + 3] = static_cast<uint8_t>(a);
    }
}

// Frees what the writer holds and removes the partial file.
bool abandon(png_structp png, png_infop info, uint8_t* row, FILE* file, const std::string& path)
{
    png_destroy_write_struct(&png, &info);
    release(row);
    std::fclose(file);
    std::remove(path.c_str());
    return false;
}

} // namespace

bool writePremultipliedPng(const uint32_t* pixels, int32_t width, int32_t height, int32_t rowLength,
                           const std::string& path)
{
    if (pixels == nullptr || width <= 0 || height <= 0 || rowLength < width)
        return false;
    FILE* file = std::fopen(path.c_str(), "wbe");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stopOnError, ignoreWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    uint8_t* row = static_cast<uint8_t*>(tryAllocate(static_cast<size_t>(width) * 4));
    if (png == nullptr || info == nullptr || row == nullptr)
        return abandon(png, info, row, file, path);
    if (setjmp(png_jmpbuf(png)) != 0)
        return abandon(png, info, row, file, path);
    png_init_io(png, file);
    png_set_compression_level(png, kCompressionLevel);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = height - 1; y >= 0; --y) {
        straightRow(pixels + static_cast<size_t>(y) * rowLength, width, row);
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

bool writeSurfacePng(const Surface& surface, int32_t width, int32_t height, const std::string& path)
{
    if (width > surface.width() || height > surface.height())
        return false;
    return writePremultipliedPng(surface.pixels(), width, height, surface.width(), path);
}

} // namespace tonvane
