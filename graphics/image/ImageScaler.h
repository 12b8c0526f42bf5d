#pragma once
#include "graphics/image/Image.h"

#include <cstdint>

namespace tonvane {

struct ScaledSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The largest size with the picture's aspect that fits maxWidth x maxHeight (each side at
// least 1 pixel; both 0 for an empty picture or box).
ScaledSize fitInside(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight);

// The picture at width x height, each axis on its own: a side that shrinks is an area average
// (every source pixel weighs by the part of it the target pixel covers), a side that grows is
// bilinear between pixel centres (edges held). Colours are averaged premultiplied, so a
// transparent pixel's colour never bleeds into its neighbours. Null for an empty size or
// memory refused.
ImagePtr scaleImage(const Image& source, int32_t width, int32_t height);

} // namespace tonvane
