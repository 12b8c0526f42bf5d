#pragma once
#include "graphics/raster/Compositor.h"
#include "graphics/raster/RasterWindow.h"
#include "graphics/raster/ShapeOutline.h"

namespace tonvane {

// Scratch the rasteriser works in: two rows of at least window.x1 + 1 doubles each, indexed
// by column (the band's coverage row and its companion).
struct CoverageScratch {
    double* area = nullptr; // per column: the exact area terms of the pieces crossing it
    double* steps = nullptr; // per column: coverage changes that hold from that column on
};

// Exact coverage of a closed outline inside the window, row by row. In each row every piece
// contributes, per column, its direction times the area of the pixel to its left within the
// row; summed over the pieces this is the area of the pixel inside the outline. Columns the
// pieces do not cross are emitted as constant runs.
void rasteriseOutline(const ShapeOutline& outline, const RasterWindow& window, const CoverageScratch& scratch,
                      SpanSink& sink);

} // namespace tonvane
