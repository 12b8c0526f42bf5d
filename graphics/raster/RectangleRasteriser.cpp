#include "graphics/raster/RectangleRasteriser.h"

namespace tonvane {

namespace {

// Coverage along one axis after clipping to [low, high]: the first and last cells get the
// fraction they hold, the cells between 1; a rectangle inside one cell gets its extent.
struct AxisCoverage {
    int32_t first = 0; // first cell
    int32_t end = 0; // one past the last cell
    double firstWeight = 0;
    double lastWeight = 0;
};

bool axisCoverage(double from, double to, int32_t low, int32_t high, AxisCoverage& out)
{
    double a = std::max(from, static_cast<double>(low));
    double b = std::min(to, static_cast<double>(high));
    if (!(b > a))
        return false;
    out.first = clampedFloor(a, low, high);
    out.end = clampedCeil(b, low, high);
    if (out.end - out.first == 1) {
        out.firstWeight = out.lastWeight = b - a;
    } else {
        out.firstWeight = (out.first + 1) - a;
        out.lastWeight = b - (out.end - 1);
    }
    return true;
}

} // namespace

void rasteriseRectangle(double x, double y, double width, double height, const RasterWindow& window, SpanSink& sink)
{
    if (window.empty() || !(width > 0) || !(height > 0))
        return;
    AxisCoverage columns;
    AxisCoverage rows;
    if (!axisCoverage(x, x + width, window.x0, window.x1, columns)
        || !axisCoverage(y, y + height, window.y0, window.y1, rows))
        return;
    for (int32_t row = rows.first; row < rows.end; ++row) {
        double weight = row == rows.first ? rows.firstWeight : row == rows.end - 1 ? rows.lastWeight : 1.0;
        if (columns.end - columns.first == 1) {
            sink.constantRun(row, columns.first, columns.end, columns.firstWeight * weight);
            continue;
        }
        sink.constantRun(row, columns.first, columns.first + 1, columns.firstWeight * weight);
        sink.constantRun(row, columns.first + 1, columns.end - 1, weight);
        sink.constantRun(row, columns.end - 1, columns.end, columns.lastWeight * weight);
    }
}

} // namespace tonvane
