#pragma once
#include "graphics/image/ImageView.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tonvane {

// A decoded picture: width x height straight-alpha ARGB words (alpha in bits 24-31), rows
// bottom-up like the surfaces. Header and pixels are one heap block.
struct Image {
    static constexpr int32_t kMaxDimension = 16384; // [pixels] per side

    int32_t width = 0;
    int32_t height = 0;
    uint32_t* pixels = nullptr; // inside the same block, right after the header

    ImageView view() const { return {width, height, width, pixels}; }
};

struct ImageDeleter {
    void operator()(Image* image) const;
};
using ImagePtr = std::unique_ptr<Image, ImageDeleter>;

// True when width x height is a size we decode: both sides 1..16384, so the pixel bytes fit
// 32 bits. Checked before anything is allocated.
bool imageSizeAcceptable(uint32_t width, uint32_t height);
// One block for header and pixels (not initialised); null when the size is refused or memory
// is short. Freed with `freeImage` (or an ImagePtr).
Image* allocateImage(uint32_t width, uint32_t height);
void freeImage(Image* image);

// The three ways to load a picture. Each answers null for a missing resource, an unreadable
// file, a damaged PNG or memory refused.
ImagePtr loadImageFromResource(uint32_t id);
ImagePtr loadImageFromMemory(std::span<const uint8_t> png);
ImagePtr loadImageFromFile(const std::string& path);

} // namespace tonvane
