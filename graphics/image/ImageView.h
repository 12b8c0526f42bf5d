#pragma once
#include <cstdint>

namespace tonvane {

// What the image command draws: width x height straight-alpha ARGB words, rows bottom-up,
// row_length pixels between the starts of consecutive rows. A view without pixels draws nothing.
struct ImageView {
    int32_t width = 0;
    int32_t height = 0;
    int32_t row_length = 0;
    const uint32_t* pixels = nullptr;

    // Pixels present and the rows addressable without reading outside the image.
    bool drawable() const { return pixels != nullptr && width > 0 && height > 0 && row_length >= width; }
};

} // namespace tonvane
