#include "graphics/raster/ImageCompositor.h"

#include "graphics/raster/RasterWindow.h"

#include <algorithm>
#include <cmath>

namespace tonvane {

namespace {

// Overlaps of this many pixels or less add nothing visible and are skipped.
constexpr double kNegligibleOverlap = 0.001; // [pixels]

// Coordinates beyond this many pixels are off any surface.
constexpr double kCoordinateLimit = 1 << 30;

bool isWhole(double v)
{
    return std::fabs(v) < kCoordinateLimit && v == std::floor(v);
}

void compositeWholePixels(const ImagePlacement& image, const PixelTarget& target)
{
    const ImageView& view = image.view;
    int32_t left = static_cast<int32_t>(image.x0);
    int32_t bottom = static_cast<int32_t>(image.y0);
    int64_t x0 = std::max<int64_t>(left, target.clipX0);
    int64_t x1 = std::min<int64_t>(int64_t{left} + view.width, target.clipX1);
    int64_t y0 = std::max<int64_t>(bottom, target.rowLow);
    int64_t y1 = std::min<int64_t>(int64_t{bottom} + view.height, target.rowHigh);
    bool ownAlpha = image.opacity == 1.0 || image.opacity == 0.0;
    for (int64_t y = y0; y < y1; ++y) {
        uint32_t* row = target.row(static_cast<int>(y));
        const uint32_t* source
            = view.pixels + static_cast<size_t>(y - bottom) * static_cast<size_t>(view.row_length) - left;
        for (int64_t x = x0; x < x1; ++x) {
            uint32_t pixel = source[x];
            uint32_t alpha = pixel >> 24;
            if (ownAlpha && alpha == 255) {
                row[x] = pixel;
                continue;
            }
            row[x] = compositePixel(row[x], pixel, imageAlpha(alpha, image.opacity));
        }
    }
}

// The source cells [first, end) that destination cell [d, d + 1] overlaps along one axis, the
// destination span being [from, to] and the source having `size` cells.
struct AxisMap {
    double from = 0;
    double scale = 0; // source cells per destination pixel
    int32_t size = 0;
};

void compositeResampled(const ImagePlacement& image, const PixelTarget& target)
{
    const ImageView& view = image.view;
    AxisMap mapX{image.x0, view.width / (image.x1 - image.x0), view.width};
    AxisMap mapY{image.y0, view.height / (image.y1 - image.y0), view.height};
    int32_t columnFirst = clampedFloor(image.x0, target.clipX0, target.clipX1);
    int32_t columnEnd = clampedCeil(image.x1, target.clipX0, target.clipX1);
    int32_t rowFirst = clampedFloor(image.y0, target.rowLow, target.rowHigh);
    int32_t rowEnd = clampedCeil(image.y1, target.rowLow, target.rowHigh);
    bool ownAlpha = image.opacity == 1.0 || image.opacity == 0.0;

    for (int32_t y = rowFirst; y < rowEnd; ++y) {
        double footLow = std::max<double>(y, image.y0);
        double footHigh = std::min<double>(y + 1.0, image.y1);
        if (footHigh - footLow <= kNegligibleOverlap)
            continue;
        double vLow = (footLow - mapY.from) * mapY.scale;
        double vHigh = (footHigh - mapY.from) * mapY.scale;
        int32_t vFirst = clampedFloor(vLow, 0, mapY.size);
        int32_t vEnd = clampedCeil(vHigh, 0, mapY.size);
        uint32_t* row = target.row(y);
        for (int32_t x = columnFirst; x < columnEnd; ++x) {
            double footLeft = std::max<double>(x, image.x0);
            double footRight = std::min<double>(x + 1.0, image.x1);
            if (footRight - footLeft <= kNegligibleOverlap)
                continue;
            double uLow = (footLeft - mapX.from) * mapX.scale;
            double uHigh = (footRight - mapX.from) * mapX.scale;
            int32_t uFirst = clampedFloor(uLow, 0, mapX.size);
            int32_t uEnd = clampedCeil(uHigh, 0, mapX.size);
            // Weights are fractions of the destination pixel; colours accumulate premultiplied
            // so transparent source pixels lend no colour to their neighbours.
            double sumAlpha = 0;
            double sumRed = 0;
            double sumGreen = 0;
            double sumBlue = 0;
            for (int32_t v = vFirst; v < vEnd; ++v) {
                double overlapY = (std::min<double>(v + 1, vHigh) - std::max<double>(v, vLow)) / mapY.scale;
                if (overlapY <= kNegligibleOverlap)
                    continue;
                const uint32_t* source = view.pixels + static_cast<size_t>(v) * static_cast<size_t>(view.row_length);
                for (int32_t u = uFirst; u < uEnd; ++u) {
                    double overlapX = (std::min<double>(u + 1, uHigh) - std::max<double>(u, uLow)) / mapX.scale;
                    if (overlapX <= kNegligibleOverlap)
                        continue;
                    uint32_t pixel = source[u];
                    double weightedAlpha = overlapX * overlapY * (pixel >> 24);
                    sumAlpha += weightedAlpha;
                    sumRed += weightedAlpha * ((pixel >> 16) & 0xFF);
                    sumGreen += weightedAlpha * ((pixel >> 8) & 0xFF);
                    sumBlue += weightedAlpha * (pixel & 0xFF);
                }
            }
            uint32_t colour = 0;
            if (sumAlpha > 0) {
                auto channel = [&](double sum) {
                    return static_cast<uint32_t>(std::clamp(sum / sumAlpha + 0.5, 0.0, 255.0));
                };
                colour = channel(sumRed) << 16 | channel(sumGreen) << 8 | channel(sumBlue);
            }
            double alpha = ownAlpha ? sumAlpha : sumAlpha * image.opacity;
            uint32_t sourceAlpha = alpha >= 255.0 - 1e-7 ? 255u : static_cast<uint32_t>(std::max(0.0, alpha));
            row[x] = compositePixel(row[x], colour, sourceAlpha);
        }
    }
}

} // namespace

bool isWholePixelPlacement(const ImagePlacement& image)
{
    return isWhole(image.x0) && isWhole(image.y0) && image.x1 - image.x0 == image.view.width
        && image.y1 - image.y0 == image.view.height;
}

void compositeImage(const ImagePlacement& image, const PixelTarget& target)
{
    if (!image.view.drawable() || !(image.x1 > image.x0) || !(image.y1 > image.y0))
        return;
    if (target.clipX0 >= target.clipX1 || target.rowLow >= target.rowHigh)
        return;
    if (isWholePixelPlacement(image))
        compositeWholePixels(image, target);
    else
        compositeResampled(image, target);
}

} // namespace tonvane
