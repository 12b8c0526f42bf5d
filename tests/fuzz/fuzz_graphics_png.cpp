// The PNG loader on arbitrary bytes: no image or a whole one, every pixel of it readable.
#include "graphics/image/Image.h"
#include "graphics/image/ImageStrip.h"

#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tonvane;
    ImagePtr image = loadImageFromMemory(std::span<const uint8_t>(data, size));
    if (image) {
        if (image->width <= 0 || image->height <= 0 || image->width > Image::kMaxDimension
            || image->height > Image::kMaxDimension)
            std::abort();
        // Touch every pixel, so a short decode shows up as a read of uninitialised or freed memory.
        uint32_t mix = 0;
        size_t count = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
        for (size_t i = 0; i < count; ++i)
            mix ^= image->pixels[i];
        if (mix == 0x12345678u)
            std::abort(); // keeps the loop
    }
    ImageStrip strip;
    if (strip.loadFromMemory(std::span<const uint8_t>(data, size))) {
        for (int32_t i = -1; i <= strip.frameCount(); ++i) {
            ImageView view = strip.frame(i);
            if (view.pixels != nullptr && (view.width <= 0 || view.row_length < view.width))
                std::abort();
        }
    }
    return 0;
}
