#pragma once
#include "windowing/backend/WindowBackend.h"

#include <cstddef>
#include <cstdint>

namespace tonvane {

// Writes the frame's picture top-down into out (frame.height rows, outRowWords words apart),
// scaled by the frame's alpha and flattened over its backdrop colour when it has one. Pixels stay
// premultiplied BGRA words. False when the frame does not fit its surface.
bool copyFrame(const Frame& frame, uint32_t* out, size_t outRowWords);

// Every channel of a premultiplied pixel times factor / 255.
uint32_t scalePixel(uint32_t pixel, uint32_t factor);
// A premultiplied pixel over an opaque colour: opaque.
uint32_t flattenPixel(uint32_t pixel, uint32_t backdrop);

} // namespace tonvane
