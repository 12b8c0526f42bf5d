#include "windowing/backend/FrameCopy.h"

#include "graphics/surface/Surface.h"

namespace tonvane {

uint32_t scalePixel(uint32_t pixel, uint32_t factor)
{
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t channel = (pixel >> shift) & 0xFF;
        result |= ((channel * factor + 127) / 255) << shift;
    }
    return result;
}

uint32_t flattenPixel(uint32_t pixel, uint32_t backdrop)
{
    uint32_t inverse = 255 - (pixel >> 24);
    uint32_t result = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t channel = ((pixel >> shift) & 0xFF) + (((backdrop >> shift) & 0xFF) * inverse + 127) / 255;
        result |= (channel > 255 ? 255 : channel) << shift;
    }
    return result;
}

ScreenRect pushedPart(const Frame& frame)
{
    return frame.changed.empty() ? ScreenRect{0, 0, frame.width, frame.height} : frame.changed;
}

bool copyFrame(const Frame& frame, uint32_t* out, size_t outRowWords)
{
    ScreenRect part = pushedPart(frame);
    if (frame.surface == nullptr || out == nullptr || part.x < 0 || part.y < 0 || part.right() > frame.width
        || part.bottom() > frame.height)
        return false;
    uint32_t* first = out + static_cast<size_t>(part.y) * outRowWords + static_cast<size_t>(part.x);
    if (!frame.surface->copyRowsTopDown(frame.height, part.y, part.height, part.width, first, outRowWords, part.x))
        return false;
    if (frame.alpha == 255 && frame.flattenOver == 0)
        return true;
    for (int32_t row = 0; row < part.height; ++row) {
        uint32_t* pixel = first + static_cast<size_t>(row) * outRowWords;
        for (int32_t column = 0; column < part.width; ++column) {
            if (frame.alpha != 255)
                pixel[column] = scalePixel(pixel[column], frame.alpha);
            if (frame.flattenOver != 0)
                pixel[column] = flattenPixel(pixel[column], frame.flattenOver);
        }
    }
    return true;
}

} // namespace tonvane
