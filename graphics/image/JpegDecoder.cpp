#include "graphics/image/JpegDecoder.h"

#include "graphics/image/PngDecoder.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE declared first
#include <cstring>
#include <jpeglib.h>

// libjpeg reports errors with longjmp back into decodeJpeg. Everything that lives across the
// setjmp is plain data (no destructors to skip); the image and the decoder are freed on both
// ways out.

namespace tonvane {

namespace {

constexpr uint8_t kJpegStart[] = {0xFF, 0xD8, 0xFF}; // SOI and the next marker's 0xFF
constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr long kMaxDecoderMemory = 256L * 1024 * 1024; // [bytes] libjpeg's own allocations
constexpr int kFirstPass = 0; // setjmp's answer when called, not jumped to

struct JpegRun {
    jpeg_error_mgr errors; // first: libjpeg sees a jpeg_error_mgr*
    std::jmp_buf escape;
    const uint8_t* data;
    size_t size;
    uint32_t maxSide;
    Image* image; // complete only when whole is set
    bool whole;
};

[[noreturn]] void jpegFailed(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegRun*>(info->err)->escape, 1);
}

// A warning is libjpeg going on over corrupt data (a premature end filled with grey, a bad
// Huffman code): the picture is not whole.
void jpegMessage(j_common_ptr info, int level)
{
    if (level < 0)
        jpegFailed(info);
}

void jpegSilent(j_common_ptr) {}

// One decoded row of output_components samples into ARGB at image row y (bottom-up).
void storeRow(const JSAMPLE* samples, int components, bool adobeInverted, uint32_t* out, uint32_t width)
{
    for (uint32_t x = 0; x < width; ++x) {
        uint32_t r, g, b;
        if (components == 1) {
            r = g = b = samples[x];
        } else if (components == 4) {
            // CMYK as Adobe writes it (inverted): each ink times the black's remainder.
            uint32_t c = samples[4 * x], m = samples[4 * x + 1], y = samples[4 * x + 2], k = samples[4 * x + 3];
            if (!adobeInverted) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            r = (c * k + 127) / 255;
            g = (m * k + 127) / 255;
            b = (y * k + 127) / 255;
        } else {
            r = samples[3 * x];
            g = samples[3 * x + 1];
            b = samples[3 * x + 2];
        }
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

// The whole decode between setjmp and its longjmp target.
void decodeJpegRows(j_decompress_ptr info, JpegRun* run)
{
    jpeg_create_decompress(info);
    info->mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(info, run->data, static_cast<unsigned long>(run->size));
    jpeg_read_header(info, TRUE);
    if (info->image_width > run->maxSide || info->image_height > run->maxSide
        || !imageSizeAcceptable(info->image_width, info->image_height))
        return; // before any allocation for the pixels
    if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK)
        info->out_color_space = JCS_CMYK;
    else if (info->jpeg_color_space == JCS_GRAYSCALE)
        info->out_color_space = JCS_GRAYSCALE;
    else
        info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    int components = info->output_components;
    if ((components != 1 && components != 3 && components != 4) || info->output_width != info->image_width
        || info->output_height != info->image_height)
        return;
    run->image = allocateImage(info->output_width, info->output_height);
    if (run->image == nullptr)
        return;
    bool adobeInverted = info->saw_Adobe_marker != 0;
    JSAMPARRAY row = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                info->output_width * static_cast<JDIMENSION>(components), 1);
    uint32_t height = info->output_height;
    while (info->output_scanline < height) {
        uint32_t y = info->output_scanline;
        if (jpeg_read_scanlines(info, row, 1) != 1)
            return; // suspended: the data ended
        uint32_t* out = run->image->pixels + size_t(height - 1 - y) * info->output_width;
        storeRow(row[0], components, adobeInverted, out, info->output_width);
    }
    jpeg_finish_decompress(info);
    run->whole = true;
}

} // namespace

Image* decodeJpeg(const uint8_t* data, size_t size, uint32_t maxSide)
{
    if (data == nullptr || size < sizeof kJpegStart || std::memcmp(data, kJpegStart, sizeof kJpegStart) != 0)
        return nullptr;
    jpeg_decompress_struct info;
    JpegRun run;
    info.err = jpeg_std_error(&run.errors);
    run.errors.error_exit = jpegFailed;
    run.errors.emit_message = jpegMessage;
    run.errors.output_message = jpegSilent;
    run.data = data;
    run.size = size;
    run.maxSide = maxSide;
    run.image = nullptr;
    run.whole = false;
    if (setjmp(run.escape) == kFirstPass)
        decodeJpegRows(&info, &run);
    // Reached after the decode or from a longjmp: run lives in memory, not in registers.
    jpeg_destroy_decompress(&info);
    if (!run.whole && run.image != nullptr) {
        freeImage(run.image);
        run.image = nullptr;
    }
    return run.image;
}

ImagePtr decodeCoverImage(std::span<const uint8_t> bytes, uint32_t maxSide)
{
    if (bytes.size() >= sizeof kPngSignature && std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0) {
        ImagePtr image(decodePng(bytes.data(), bytes.size()));
        if (image && (uint32_t(image->width) > maxSide || uint32_t(image->height) > maxSide))
            image.reset();
        return image;
    }
    return ImagePtr(decodeJpeg(bytes.data(), bytes.size(), maxSide));
}

} // namespace tonvane
