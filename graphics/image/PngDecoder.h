#pragma once
#include "graphics/image/Image.h"

#include <cstddef>
#include <cstdint>

namespace tonvane {

// Decodes a PNG held in memory into an ARGB image, rows bottom-up: palette, grey below 8 bits
// and transparency chunks expanded, 16-bit channels cut to 8, grey turned into RGB. Any damage
// (truncation, a bad critical CRC, chunks out of order, a size we refuse) gives null; never a
// partly decoded image. The caller owns the result (freeImage / ImagePtr).
Image* decodePng(const uint8_t* data, size_t size);

} // namespace tonvane
