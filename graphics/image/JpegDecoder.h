#pragma once
#include "graphics/image/Image.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace tonvane {

// Decodes a baseline or progressive JPEG held in memory (grey, RGB, YCbCr or CMYK) into an
// opaque ARGB image, rows bottom-up. Damage of any kind (truncation, a bad Huffman code that
// libjpeg would paper over with grey, a side over maxSide) gives null, never a partly decoded
// picture. The caller owns the result.
Image* decodeJpeg(const uint8_t* data, size_t size, uint32_t maxSide = Image::kMaxDimension);

// A cover picture as the tags carry it: JPEG or PNG, told apart by their signatures; null for
// anything else and for damage.
ImagePtr decodeCoverImage(std::span<const uint8_t> bytes, uint32_t maxSide = Image::kMaxDimension);

} // namespace tonvane
