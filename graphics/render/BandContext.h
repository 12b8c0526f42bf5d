#pragma once
#include "graphics/raster/Compositor.h"
#include "graphics/raster/OutlineRasteriser.h"
#include "graphics/raster/RasterWindow.h"

namespace tonvane {

// What a band hands to the commands it replays: its pixels with its clip columns and current
// rows, and its own coverage scratch rows.
struct BandContext {
    PixelTarget target;
    CoverageScratch scratch;

    RasterWindow window() const { return {target.clipX0, target.clipX1, target.rowLow, target.rowHigh}; }
};

} // namespace tonvane
