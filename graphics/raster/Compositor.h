#pragma once
#include "graphics/raster/Paint.h"

#include <cstdint>

namespace tonvane {

// The pixel compositing rule. Destination pixels are premultiplied BGRA words (alpha in the top
// byte); the source is a straight-alpha ARGB colour whose alpha has already been scaled by
// coverage and opacity. Alpha 255 copies the source word; otherwise each colour channel becomes
// (D x (255 - a) + s x a) >> 8 and the alpha A + ((255 - A) x a >> 8), an opaque destination
// staying opaque.
inline uint32_t compositePixel(uint32_t destination, uint32_t source, uint32_t alpha)
{
    if (alpha >= 255)
        return source | 0xFF000000u;
    uint32_t inverse = 255 - alpha;
    // Red and blue in one multiply: each 16-bit lane holds D x (255 - a) + s x a <= 255 x 255,
    // so no lane carries into the next and each lane shifted by 8 is the channel's result.
    uint32_t redBlue = (((destination & 0xFF00FF) * inverse + (source & 0xFF00FF) * alpha) >> 8) & 0xFF00FF;
    uint32_t green = (((destination >> 8) & 0xFF) * inverse + ((source >> 8) & 0xFF) * alpha) >> 8;
    uint32_t destinationAlpha = destination >> 24;
    uint32_t resultAlpha
        = destinationAlpha == 255 ? 255 : destinationAlpha + (((255 - destinationAlpha) * alpha) >> 8);
    return resultAlpha << 24 | redBlue | green << 8;
}

// Coverage values this close to 0 or 1 are rounding noise of the area sums.
constexpr double kCoverageEpsilon = 1e-9;

// Source alpha for a colour alpha at a coverage of 0..1: floor(alpha x coverage).
inline uint32_t coveredAlpha(uint32_t colourAlpha, double coverage)
{
    if (coverage >= 1.0 - kCoverageEpsilon)
        return colourAlpha;
    return static_cast<uint32_t>(colourAlpha * coverage);
}

// Fills [x0, x1) of one pixel row with one colour at one source alpha.
void compositeRun(uint32_t* row, int x0, int x1, uint32_t colour, uint32_t alpha);

// Where the band draws: the surface's pixels and the columns and rows it may touch.
struct PixelTarget {
    uint32_t* pixels = nullptr;
    int32_t width = 0; // pixels per row (the stride in words)
    int32_t clipX0 = 0;
    int32_t clipX1 = 0;
    int32_t rowLow = 0;
    int32_t rowHigh = 0;

    uint32_t* row(int y) const { return pixels + static_cast<size_t>(y) * static_cast<size_t>(width); }
};

// Receives the coverage of a shape, row by row, inside the window it was given. Coverage
// arrays are indexed by column.
class SpanSink {
public:
    virtual ~SpanSink() = default;
    virtual void coverageSpan(int y, int x0, int x1, const double* coverage) = 0;
    virtual void constantRun(int y, int x0, int x1, double coverage) = 0;
};

// Composites coverage with a paint onto the target's pixels.
class PaintSink final : public SpanSink {
public:
    PaintSink(const PixelTarget& target, const Paint& paint) : m_target(target), m_paint(paint) {}

    void coverageSpan(int y, int x0, int x1, const double* coverage) override;
    void constantRun(int y, int x0, int x1, double coverage) override;

private:
    PixelTarget m_target;
    PaintEvaluator m_paint;
};

} // namespace tonvane
