#include "graphics/raster/OutlineRasteriser.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tonvane {

namespace {

// Integral of sqrt(r^2 - u^2) du from 0 to u, for |u| <= r.
double circleSegmentPrimitive(double u, double radius)
{
    u = std::clamp(u, -radius, radius);
    double ratio = u / radius;
    ratio = std::clamp(ratio, -1.0, 1.0);
    return 0.5 * (u * std::sqrt(std::max(0.0, radius * radius - u * u)) + radius * radius * std::asin(ratio));
}

// One piece restricted to one row: for x in [xLow, xHigh] the piece has height Y(x); L(x) is
// the length of the row part [ya, yb] on which the piece lies right of x. L = h left of the
// piece, 0 right of it. The area of pixel column i to the left of the piece within the row is
// the integral of L over [i, i + 1].
struct RowPiece {
    const OutlinePiece* piece = nullptr;
    double ya = 0;
    double yb = 0;
    double h = 0;
    double xLow = 0;
    double xHigh = 0;
    bool increasing = false; // x grows with y along the piece
    double primitiveAtLow = 0; // arcs: primitive of the circle at xLow

    // Integral of L from xLow to x, x in [xLow, xHigh].
    double primitive(double x) const
    {
        double width = xHigh - xLow;
        double t = x - xLow;
        if (t <= 0 || width <= 0)
            return 0;
        if (piece->kind == OutlinePiece::Kind::Line)
            return h * (t - t * t / (2 * width));
        // Integral of Y over [xLow, x], then L = yb - Y (increasing) or Y - ya (decreasing).
        double integralY = piece->cy * t
            + piece->half * (circleSegmentPrimitive(x - piece->cx, piece->radius) - primitiveAtLow);
        return increasing ? yb * t - integralY : integralY - ya * t;
    }

    // Area of column i left of the piece within the row.
    double columnArea(int i, double& primitiveAtLeft) const
    {
        double left = i;
        double right = i + 1.0;
        double area = 0;
        if (left < xLow)
            area += h * (std::min(right, xLow) - left);
        double clampedRight = std::clamp(right, xLow, xHigh);
        double primitiveAtRight = primitive(clampedRight);
        area += primitiveAtRight - primitiveAtLeft;
        primitiveAtLeft = primitiveAtRight;
        return area;
    }
};

struct ColumnEvent {
    int32_t first; // first column with an area term
    int32_t last; // last column touched (the step column)
};

double snapCoverage(double c)
{
    if (c >= 1.0 - kCoverageEpsilon)
        return 1.0;
    if (c <= kCoverageEpsilon)
        return 0.0;
    return c;
}

} // namespace

void rasteriseOutline(const ShapeOutline& outline, const RasterWindow& window, const CoverageScratch& scratch,
                      SpanSink& sink)
{
    if (outline.empty() || window.empty())
        return;
    int32_t firstRow = std::max(window.y0, clampedFloor(outline.yLow(), window.y0, window.y1));
    int32_t endRow = std::min(window.y1, clampedCeil(outline.yHigh(), window.y0, window.y1));
    double* area = scratch.area;
    double* steps = scratch.steps;
    RowPiece pieces[ShapeOutline::kMaxPieces];
    ColumnEvent events[ShapeOutline::kMaxPieces];
    // Each piece's crossing with the top of the previous row is its crossing with the bottom
    // of this one: computed once, shared by both rows.
    double sharedY[ShapeOutline::kMaxPieces];
    double sharedX[ShapeOutline::kMaxPieces];
    std::fill(sharedY, sharedY + ShapeOutline::kMaxPieces, std::numeric_limits<double>::quiet_NaN());

    for (int32_t row = firstRow; row < endRow; ++row) {
        double rowLow = row;
        double rowHigh = row + 1.0;
        int pieceCount = 0;
        int32_t spanFirst = window.x1;
        int32_t spanEnd = window.x0;
        for (int p = 0; p < outline.count(); ++p) {
            const OutlinePiece& piece = outline.piece(p);
            double ya = std::max(piece.yLow, rowLow);
            double yb = std::min(piece.yHigh, rowHigh);
            if (!(yb > ya))
                continue;
            RowPiece& rp = pieces[pieceCount];
            rp.piece = &piece;
            rp.ya = ya;
            rp.yb = yb;
            rp.h = yb - ya;
            double xa = ya == sharedY[p] ? sharedX[p] : piece.xAt(ya);
            double xb = piece.xAt(yb);
            sharedY[p] = yb;
            sharedX[p] = xb;
            rp.increasing = xb > xa;
            rp.xLow = std::min(xa, xb);
            rp.xHigh = std::max(xa, xb);
            if (piece.kind == OutlinePiece::Kind::Arc)
                rp.primitiveAtLow = circleSegmentPrimitive(rp.xLow - piece.cx, piece.radius);
            // Columns [first, last) carry area terms, last takes the step of -direction * h.
            int32_t first = clampedFloor(rp.xLow, window.x0, window.x1);
            int32_t last = std::max(first, clampedCeil(rp.xHigh, window.x0, window.x1));
            events[pieceCount] = {first, last};
            spanFirst = std::min(spanFirst, first);
            spanEnd = std::max(spanEnd, last);
            ++pieceCount;
        }
        if (pieceCount == 0 || spanFirst >= window.x1)
            continue;
        spanEnd = std::min(spanEnd, window.x1);
        // Only the crossed columns and the step columns are read back: clear just those.
        for (int k = 0; k < pieceCount; ++k) {
            std::fill(area + events[k].first, area + events[k].last + 1, 0.0);
            std::fill(steps + events[k].first, steps + events[k].last + 1, 0.0);
        }

        // Coverage(i) = sum over pieces of direction * A(i), A = h left of the piece. Because
        // the up and down lengths of a closed outline balance in every row, the h terms left of
        // a piece sum to zero: only A(i) - h over the crossed columns and -h from the column
        // after the piece remain.
        for (int k = 0; k < pieceCount; ++k) {
            const RowPiece& rp = pieces[k];
            double direction = rp.piece->direction;
            int32_t from = std::max(events[k].first, window.x0);
            int32_t to = std::min(events[k].last, window.x1);
            double primitiveAtLeft = rp.primitive(std::clamp(static_cast<double>(from), rp.xLow, rp.xHigh));
            for (int32_t i = from; i < to; ++i)
                area[i] += direction * (rp.columnArea(i, primitiveAtLeft) - rp.h);
            steps[std::max(events[k].last, spanFirst)] -= direction * rp.h;
        }

        // Sort the crossed column ranges and emit constant runs between them.
        std::sort(events, events + pieceCount,
                  [](const ColumnEvent& a, const ColumnEvent& b) { return a.first < b.first; });
        double running = 0;
        int32_t x = spanFirst;
        int k = 0;
        while (x < spanEnd) {
            // Next stretch of crossed columns, merging overlapping ranges.
            int32_t busyFirst = spanEnd;
            int32_t busyLast = spanEnd;
            if (k < pieceCount) {
                busyFirst = std::max(events[k].first, x);
                busyLast = events[k].last;
                int next = k + 1;
                while (next < pieceCount && events[next].first <= busyLast + 1) {
                    busyLast = std::max(busyLast, events[next].last);
                    ++next;
                }
                k = next;
            }
            busyFirst = std::min(busyFirst, spanEnd);
            busyLast = std::min(busyLast, spanEnd - 1);
            double level = snapCoverage(running);
            if (busyFirst > x && level > 0)
                sink.constantRun(row, x, busyFirst, level);
            if (busyFirst >= spanEnd)
                break;
            for (int32_t i = busyFirst; i <= busyLast; ++i) {
                running += steps[i];
                area[i] = snapCoverage(std::min(1.0, running + area[i]));
            }
            sink.coverageSpan(row, busyFirst, busyLast + 1, area);
            x = busyLast + 1;
        }
    }
}

} // namespace tonvane
