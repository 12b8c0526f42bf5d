#pragma once
#include "graphics/image/ImageView.h"
#include "graphics/raster/Compositor.h"

namespace tonvane {

// An image placed on the surface: the destination rectangle [x0, x1] x [y0, y1] in pixels and
// the opacity it is drawn with.
struct ImagePlacement {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
    ImageView view;
    double opacity = 1;
};

// Source alpha of an image pixel drawn at an opacity: the pixel's own alpha at opacity 1 (or
// exactly 0), else floor(opacity x alpha).
inline uint32_t imageAlpha(uint32_t alpha, double opacity)
{
    if (opacity == 1.0 || opacity == 0.0)
        return alpha;
    return static_cast<uint32_t>(opacity * alpha);
}

// True when the image sits on whole pixels at its natural size and is copied pixel for pixel.
bool isWholePixelPlacement(const ImagePlacement& image);

// Composites the image into the target's clip columns and rows: pixel for pixel when placed on
// whole pixels at natural size, otherwise resampled by area.
void compositeImage(const ImagePlacement& image, const PixelTarget& target);

} // namespace tonvane
