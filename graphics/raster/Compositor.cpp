#include "graphics/raster/Compositor.h"

#include "graphics/raster/PixelFill.h"

#include <algorithm>

namespace tonvane {

void compositeRun(uint32_t* row, int x0, int x1, uint32_t colour, uint32_t alpha)
{
    if (x1 <= x0)
        return;
    if (alpha >= 255) {
        fillPixels(row + x0, static_cast<size_t>(x1 - x0), colour | 0xFF000000u);
        return;
    }
    // Source terms once per run; the destination terms per pixel.
    uint32_t inverse = 255 - alpha;
    uint32_t blue = (colour & 0xFF) * alpha;
    uint32_t green = ((colour >> 8) & 0xFF) * alpha;
    uint32_t red = ((colour >> 16) & 0xFF) * alpha;
    for (int x = x0; x < x1; ++x) {
        uint32_t d = row[x];
        uint32_t da = d >> 24;
        uint32_t a = da == 255 ? 255 : da + (((255 - da) * alpha) >> 8);
        row[x] = a << 24 | ((((d >> 16) & 0xFF) * inverse + red) >> 8) << 16
            | ((((d >> 8) & 0xFF) * inverse + green) >> 8) << 8 | (((d & 0xFF) * inverse + blue) >> 8);
    }
}

void PaintSink::coverageSpan(int y, int x0, int x1, const double* coverage)
{
    uint32_t* row = m_target.row(y);
    if (m_paint.constantAlongRow()) {
        uint32_t colour = m_paint.colourAt(x0, y);
        uint32_t colourAlpha = colour >> 24;
        for (int x = x0; x < x1; ++x) {
            double c = coverage[x];
            if (c <= kCoverageEpsilon)
                continue;
            row[x] = compositePixel(row[x], colour, coveredAlpha(colourAlpha, c));
        }
        return;
    }
    for (int x = x0; x < x1; ++x) {
        double c = coverage[x];
        if (c <= kCoverageEpsilon)
            continue;
        uint32_t colour = m_paint.colourAt(x, y);
        row[x] = compositePixel(row[x], colour, coveredAlpha(colour >> 24, c));
    }
}

void PaintSink::constantRun(int y, int x0, int x1, double coverage)
{
    if (coverage <= kCoverageEpsilon || x1 <= x0)
        return;
    uint32_t* row = m_target.row(y);
    if (m_paint.constantAlongRow()) {
        uint32_t colour = m_paint.colourAt(x0, y);
        compositeRun(row, x0, x1, colour, coveredAlpha(colour >> 24, coverage));
        return;
    }
    for (int x = x0; x < x1; ++x) {
        uint32_t colour = m_paint.colourAt(x, y);
        row[x] = compositePixel(row[x], colour, coveredAlpha(colour >> 24, coverage));
    }
}

} // namespace tonvane
