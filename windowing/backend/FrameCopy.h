#pragma once
#include "windowing/backend/WindowBackend.h"

#include <cstddef>
#include <cstdint>

namespace tonvane {

// Writes the frame's picture top-down into out (frame.height rows, outRowWords words apart),
// scaled by the frame's alpha and flattened over its backdrop colour when it has one. Pixels stay
// premultiplied BGRA words. A frame with a changed rectangle writes only that part of out.
// False when the frame (or its changed rectangle) does not fit its surface.
bool copyFrame(const Frame& frame, uint32_t* out, size_t outRowWords);
// The part of the picture a push writes: its changed rectangle, or all of it.
ScreenRect pushedPart(const Frame& frame);

// Every channel of a premultiplied pixel times factor / 255.
uint32_t scalePixel(uint32_t pixel, uint32_t factor);
// A premultiplied pixel over an opaque colour: opaque.
uint32_t flattenPixel(uint32_t pixel, uint32_t backdrop);

} // namespace tonvane
