// The window's cover decoding and scaling on arbitrary bytes: a picture of the size its header
// names, or none; never a crash, a leak or a read outside the input, whatever libjpeg and libpng
// meet. A picture that decodes is also scaled into the 96 x 96 box the disc page shows.
#include "graphics/image/ImageScaler.h"
#include "graphics/image/JpegDecoder.h"

#include <cstdlib>
#include <vector>

namespace {
constexpr int32_t kBox = 96; // [pixels] the disc page's cover box
constexpr uint32_t kMaxSide = 4096; // [pixels] as the page asks
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Copied, so that a read one byte past the input is seen by the sanitizer.
    std::vector<uint8_t> exact(data, data + size);
    tonvane::ImagePtr image = tonvane::decodeCoverImage(exact, kMaxSide);
    if (!image)
        return 0;
    if (image->width <= 0 || image->height <= 0 || uint32_t(image->width) > kMaxSide || uint32_t(image->height) > kMaxSide)
        std::abort();
    tonvane::ScaledSize fitted = tonvane::fitInside(image->width, image->height, kBox, kBox);
    if (fitted.width < 1 || fitted.height < 1 || fitted.width > kBox || fitted.height > kBox)
        std::abort();
    tonvane::ImagePtr scaled = tonvane::scaleImage(*image, fitted.width, fitted.height);
    if (!scaled || scaled->width != fitted.width || scaled->height != fitted.height)
        std::abort();
    return 0;
}
