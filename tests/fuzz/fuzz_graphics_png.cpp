// The PNG loader on arbitrary bytes: no image or a whole one, every pixel of it readable.
#include "graphics/image/Image.h"
#include "graphics/image/ImageStrip.h"

#include <zlib.h>

#include <cstdlib>
#include <span>
#include <vector>

namespace {

// The input with every chunk's CRC made right, so that mutations reach the image data and the
// transformations instead of stopping at the first checksum.
std::vector<uint8_t> withCorrectCrcs(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> png(data, data + size);
    size_t at = 8;
    while (at + 12 <= png.size()) {
        uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
        if (length > png.size() - at - 12)
            break;
        uint32_t crc = static_cast<uint32_t>(crc32(0, &png[at + 4], length + 4));
        for (int i = 0; i < 4; ++i)
            png[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
    return png;
}

void decodeAndCheck(std::span<const uint8_t> data)
{
    using namespace tonvane;
    ImagePtr image = loadImageFromMemory(data);
    if (image) {
        if (image->width <= 0 || image->height <= 0 || image->width > Image::kMaxDimension
            || image->height > Image::kMaxDimension)
            std::abort();
        // Touch every pixel, so a short decode shows up as a read of uninitialised or freed memory.
        uint32_t mix = 0;
        size_t count = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
        for (size_t i = 0; i < count; ++i)
            mix ^= image->pixels[i];
        static volatile uint32_t sink;
        sink = mix; // keeps the loop
    }
    ImageStrip strip;
    if (strip.loadFromMemory(data)) {
        for (int32_t i = -1; i <= strip.frameCount(); ++i) {
            ImageView view = strip.frame(i);
            if (view.pixels != nullptr && (view.width <= 0 || view.row_length < view.width))
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    decodeAndCheck(std::span<const uint8_t>(data, size));
    std::vector<uint8_t> fixed = withCorrectCrcs(data, size);
    decodeAndCheck(fixed);
    return 0;
}
