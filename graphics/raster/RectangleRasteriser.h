#pragma once
#include "graphics/raster/Compositor.h"
#include "graphics/raster/RasterWindow.h"

namespace tonvane {

// Exact coverage of the axis-aligned rectangle [x, x + width] x [y, y + height] inside the
// window: horizontal coverage times row weight, emitted as constant runs.
void rasteriseRectangle(double x, double y, double width, double height, const RasterWindow& window, SpanSink& sink);

} // namespace tonvane
