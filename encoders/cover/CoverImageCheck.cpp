#include "encoders/cover/CoverImageCheck.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE declared first
#include <cstring>
#include <jpeglib.h>
#include <png.h>

namespace tonvane {

namespace {

constexpr uint8_t kJpegStart[] = {0xFF, 0xD8, 0xFF}; // SOI and the next marker's 0xFF
constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr long kMaxDecoderMemory = 256L * 1024 * 1024; // [bytes] libjpeg's own allocations
constexpr png_alloc_size_t kMaxPngChunk = 8 * 1024 * 1024; // [bytes] an ancillary chunk
constexpr int kWholeImage = 0; // the decoders' answer for an image read to its end

enum class Verdict : uint8_t { Whole, TooLarge, Damaged };

// The state of one decode. Plain data only: a longjmp may leave the decoding frame at any time,
// so nothing in it may need a destructor.
struct DecodeRun {
    const uint8_t* data;
    size_t size;
    size_t at; // [bytes] read so far (PNG)
    uint32_t width, height;
    Verdict verdict;
    std::jmp_buf escape;
};

// --- JPEG -------------------------------------------------------------------------------------

struct JpegErrors {
    jpeg_error_mgr manager; // first: libjpeg sees a jpeg_error_mgr*
    DecodeRun* run;
};

[[noreturn]] void jpegFailed(j_common_ptr info)
{
    DecodeRun* run = reinterpret_cast<JpegErrors*>(info->err)->run;
    std::longjmp(run->escape, 1);
}

// A warning is libjpeg going on over corrupt data (a premature end filled with grey, a bad
// Huffman code): the image did not decode completely.
void jpegMessage(j_common_ptr info, int level)
{
    if (level < 0)
        jpegFailed(info);
}

void jpegSilent(j_common_ptr) {}

// The whole decode between setjmp and its longjmp target. Called only from decodeJpeg.
void decodeJpegRows(j_decompress_ptr info, DecodeRun* run)
{
    jpeg_create_decompress(info);
    info->mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(info, run->data, static_cast<unsigned long>(run->size));
    jpeg_read_header(info, TRUE);
    run->width = info->image_width;
    run->height = info->image_height;
    if (run->width > kMaxCoverSide || run->height > kMaxCoverSide) {
        run->verdict = Verdict::TooLarge;
        return; // before any allocation for the pixels
    }
    jpeg_start_decompress(info);
    JSAMPARRAY row = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                info->output_width * static_cast<JDIMENSION>(info->output_components), 1);
    while (info->output_scanline < info->output_height)
        jpeg_read_scanlines(info, row, 1);
    jpeg_finish_decompress(info);
    run->verdict = Verdict::Whole;
}

Verdict decodeJpeg(DecodeRun* run)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFailed;
    errors.manager.emit_message = jpegMessage;
    errors.manager.output_message = jpegSilent;
    errors.run = run;
    run->verdict = Verdict::Damaged;
    if (setjmp(run->escape) == kWholeImage)
        decodeJpegRows(&info, run);
    // Reached after the decode or from a longjmp: the verdict in run is in memory, not a register.
    jpeg_destroy_decompress(&info);
    return run->verdict;
}

// --- PNG --------------------------------------------------------------------------------------

[[noreturn]] void pngFailed(png_structp png, png_const_charp)
{
    std::longjmp(static_cast<DecodeRun*>(png_get_error_ptr(png))->escape, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngRead(png_structp png, png_bytep into, size_t count)
{
    DecodeRun* run = static_cast<DecodeRun*>(png_get_io_ptr(png));
    if (count > run->size - run->at)
        png_error(png, "read past the end");
    std::memcpy(into, run->data + run->at, count);
    run->at += count;
}

struct PngState {
    png_structp png;
    png_infop info;
    png_bytep row;
};

void decodePngRows(PngState* state, DecodeRun* run)
{
    png_structp png = state->png;
    png_set_read_fn(png, run, pngRead);
    png_set_chunk_malloc_max(png, kMaxPngChunk);
    png_read_info(png, state->info);
    run->width = png_get_image_width(png, state->info);
    run->height = png_get_image_height(png, state->info);
    if (run->width > kMaxCoverSide || run->height > kMaxCoverSide) {
        run->verdict = Verdict::TooLarge;
        return;
    }
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, state->info);
    state->row = static_cast<png_bytep>(png_malloc(png, png_get_rowbytes(png, state->info)));
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < run->height; ++y)
            png_read_row(png, state->row, nullptr);
    png_read_end(png, nullptr); // the chunks after the image data, up to IEND, with their CRCs
    run->verdict = Verdict::Whole;
}

uint32_t be32(const uint8_t* at)
{
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

// The sides from the IHDR chunk, which must come first: an image too large is refused before
// libpng reads (and allocates for) anything behind it.
bool pngHeaderTooLarge(DecodeRun* run)
{
    constexpr size_t kIhdrTypeAt = 12, kIhdrWidthAt = 16, kIhdrEnd = 24; // [bytes]
    if (run->size < kIhdrEnd || std::memcmp(run->data + kIhdrTypeAt, "IHDR", 4) != 0)
        return false;
    run->width = be32(run->data + kIhdrWidthAt);
    run->height = be32(run->data + kIhdrWidthAt + 4);
    return run->width > kMaxCoverSide || run->height > kMaxCoverSide;
}

Verdict decodePng(DecodeRun* run)
{
    if (pngHeaderTooLarge(run))
        return Verdict::TooLarge;
    PngState state{};
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, run, pngFailed, pngWarning);
    if (!state.png)
        return Verdict::Damaged;
    state.info = png_create_info_struct(state.png);
    run->verdict = Verdict::Damaged;
    if (state.info && setjmp(run->escape) == kWholeImage)
        decodePngRows(&state, run);
    // state lives in this frame's memory (its address was taken), so the row pointer is current.
    if (state.row)
        png_free(state.png, state.row);
    png_destroy_read_struct(&state.png, state.info ? &state.info : nullptr, nullptr);
    return run->verdict;
}

bool startsWith(const uint8_t* data, size_t size, const uint8_t* prefix, size_t prefixSize)
{
    return size >= prefixSize && std::memcmp(data, prefix, prefixSize) == 0;
}

} // namespace

bool acceptCoverImage(const uint8_t* data, size_t size, std::string& reason)
{
    bool jpeg = data && startsWith(data, size, kJpegStart, sizeof kJpegStart);
    bool png = data && startsWith(data, size, kPngSignature, sizeof kPngSignature);
    if (!jpeg && !png) {
        reason = "not a JPEG or PNG image";
        return false;
    }
    DecodeRun run{data, size, 0, 0, 0, Verdict::Damaged, {}};
    Verdict verdict = jpeg ? decodeJpeg(&run) : decodePng(&run);
    switch (verdict) {
    case Verdict::Whole:
        reason.clear();
        return true;
    case Verdict::TooLarge:
        reason = std::to_string(run.width) + " x " + std::to_string(run.height) + " pixels is over " +
                 std::to_string(kMaxCoverSide);
        return false;
    case Verdict::Damaged:
        break;
    }
    reason = jpeg ? "damaged JPEG data" : "damaged PNG data";
    return false;
}

bool acceptCoverImage(const std::vector<uint8_t>& bytes, std::string& reason)
{
    return acceptCoverImage(bytes.data(), bytes.size(), reason);
}

} // namespace tonvane
