#include "graphics/image/PngDecoder.h"

#include "core/foundation/Heap.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

// libpng reports errors with longjmp back into decodePng. Everything that lives across the
// setjmp is plain data (no destructors to skip) and is freed on both ways out.

namespace tonvane {

namespace {

constexpr png_uint_32 kMaxSide = Image::kMaxDimension; // [pixels]
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{8} << 20; // [bytes] ancillary chunk limit
constexpr png_uint_32 kMaxCachedChunks = 128; // ancillary chunks kept before libpng gives up

// Bytes served to libpng by the read callback.
struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

void readFromMemory(png_structp png, png_bytep out, size_t length)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader == nullptr || length > reader->size - reader->position) {
        png_error(png, "read past the end of the data");
        return; // not reached: png_error does not return
    }
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
}

void ignoreWarning(png_structp, png_const_charp) {}

void stopOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Requests 8-bit RGB or RGBA rows whatever the stored format.
void requestRgb8(png_structp png, png_infop info)
{
    png_byte colourType = png_get_color_type(png, info);
    png_byte bitDepth = png_get_bit_depth(png, info);
    bool transparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE || (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        || transparencyChunk)
        png_set_expand(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// Rewrites one row of RGB or RGBA bytes, in place, as ARGB words. Three-byte pixels are taken
// from the right so that no pixel is overwritten before it is read.
void convertRow(uint8_t* row, uint32_t width, unsigned channels)
{
    auto* words = reinterpret_cast<uint32_t*>(row);
    if (channels == 4) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + x * 4;
            uint32_t word = uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
            std::memcpy(&words[x], &word, 4);
        }
        return;
    }
    for (uint32_t x = width; x-- > 0;) {
        const uint8_t* p = row + x * 3;
        uint32_t word = 0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
        std::memcpy(&words[x], &word, 4);
    }
}

} // namespace

Image* decodePng(const uint8_t* data, size_t size)
{
    if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return nullptr;
    MemoryReader reader{data, size, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, stopOnError, ignoreWarning);
    if (png == nullptr)
        return nullptr;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    // Written after setjmp and read after a longjmp: volatile keeps them out of registers.
    Image* volatile image = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png)) != 0) {
        release(rows);
        freeImage(image);
        png_destroy_read_struct(&png, &info, nullptr);
        return nullptr;
    }
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, kMaxCachedChunks);
    png_set_read_fn(png, &reader, readFromMemory);
    png_read_info(png, info);

    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    if (!imageSizeAcceptable(width, height))
        png_error(png, "image size refused");
    requestRgb8(png, info);
    unsigned channels = png_get_channels(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    if (png_get_bit_depth(png, info) != 8 || (channels != 3 && channels != 4) || rowBytes != width * channels)
        png_error(png, "unexpected row format");

    // The rows are decoded straight into the image's own memory, the first PNG row into the
    // last image row, and widened to words in place afterwards.
    image = allocateImage(width, height);
    rows = static_cast<png_bytep*>(tryAllocate(sizeof(png_bytep) * height));
    if (image == nullptr || rows == nullptr)
        png_error(png, "out of memory");
    for (png_uint_32 r = 0; r < height; ++r)
        rows[r] = reinterpret_cast<png_bytep>(image->pixels + size_t{height - 1 - r} * width);
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    for (png_uint_32 r = 0; r < height; ++r)
        convertRow(rows[r], width, channels);

    Image* decoded = image;
    release(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return decoded;
}

} // namespace tonvane
