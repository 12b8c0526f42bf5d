#pragma once
// Independent coverage oracles and a span recorder for the rasteriser tests.
#include "graphics/raster/Compositor.h"
#include "graphics/raster/OutlineRasteriser.h"
#include "graphics/raster/RasterWindow.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace tonvane::testing {

// Records the rasteriser's coverage, summing over shapes, for columns and rows [0, size).
class CoverageGrid final : public SpanSink {
public:
    CoverageGrid(int width, int height) : m_width(width), m_height(height), m_values(size_t(width) * height, 0.0) {}

    void coverageSpan(int y, int x0, int x1, const double* coverage) override
    {
        for (int x = x0; x < x1; ++x)
            add(x, y, coverage[x]);
    }
    void constantRun(int y, int x0, int x1, double coverage) override
    {
        for (int x = x0; x < x1; ++x)
            add(x, y, coverage);
    }
    double at(int x, int y) const { return m_values[size_t(y) * m_width + x]; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int writesOutside = 0;

private:
    void add(int x, int y, double c)
    {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
            ++writesOutside;
            return;
        }
        m_values[size_t(y) * m_width + x] += c;
    }
    int m_width;
    int m_height;
    std::vector<double> m_values;
};

// Scratch rows for the outline rasteriser.
struct Scratch {
    explicit Scratch(int width) : area(width + 1, 0.0), steps(width + 1, 0.0) {}
    CoverageScratch get() { return {area.data(), steps.data()}; }
    std::vector<double> area;
    std::vector<double> steps;
};

using Interval = std::pair<double, double>;
// The shape's cross-section at height y as disjoint x intervals.
using CrossSection = std::function<std::vector<Interval>(double y)>;

// Coverage of pixel (i, j) by midpoint integration over `samples` sub-rows, each sub-row's
// cross-section being exact.
inline double integratedCoverage(const CrossSection& shape, int i, int j, int samples = 512)
{
    double sum = 0;
    for (int k = 0; k < samples; ++k) {
        double y = j + (k + 0.5) / samples;
        for (const Interval& span : shape(y)) {
            double a = std::max(span.first, double(i));
            double b = std::min(span.second, double(i + 1));
            if (b > a)
                sum += b - a;
        }
    }
    return sum / samples;
}

// Cross-section oracle per row: the integrated coverage of every column of row j.
inline std::vector<double> integratedRow(const CrossSection& shape, int j, int width, int samples = 512)
{
    std::vector<double> row(width, 0.0);
    for (int k = 0; k < samples; ++k) {
        double y = j + (k + 0.5) / samples;
        for (const Interval& span : shape(y)) {
            int first = std::max(0, int(std::floor(span.first)));
            int last = std::min(width - 1, int(std::ceil(span.second)));
            for (int i = first; i <= last; ++i) {
                double a = std::max(span.first, double(i));
                double b = std::min(span.second, double(i + 1));
                if (b > a)
                    row[i] += b - a;
            }
        }
    }
    for (double& v : row)
        v /= samples;
    return row;
}

inline std::vector<Interval> subtract(const std::vector<Interval>& outer, const std::vector<Interval>& inner)
{
    std::vector<Interval> result;
    for (Interval piece : outer) {
        std::vector<Interval> pieces{piece};
        for (const Interval& hole : inner) {
            std::vector<Interval> next;
            for (const Interval& p : pieces) {
                if (hole.second <= p.first || hole.first >= p.second) {
                    next.push_back(p);
                    continue;
                }
                if (hole.first > p.first)
                    next.push_back({p.first, hole.first});
                if (hole.second < p.second)
                    next.push_back({hole.second, p.second});
            }
            pieces = next;
        }
        result.insert(result.end(), pieces.begin(), pieces.end());
    }
    return result;
}

inline CrossSection discSection(double cx, double cy, double r)
{
    return [=](double y) -> std::vector<Interval> {
        double dy = y - cy;
        if (std::fabs(dy) >= r)
            return {};
        double s = std::sqrt(r * r - dy * dy);
        return {{cx - s, cx + s}};
    };
}

inline CrossSection ringSection(double cx, double cy, double r, double w)
{
    CrossSection outer = discSection(cx, cy, r);
    CrossSection inner = discSection(cx, cy, std::max(0.0, r - w));
    return [=](double y) { return subtract(outer(y), inner(y)); };
}

// A rounded rectangle is every point within e of its core rectangle (the rectangle inset by
// e), turned about the centre. Its cross-section is found by searching the distance function.
inline CrossSection roundedRectSection(double x, double y0, double w, double h, double e, double rotation)
{
    e = std::clamp(e, 0.0, std::min(w, h) / 2);
    double mx = x + w / 2;
    double my = y0 + h / 2;
    double hx = w / 2 - e;
    double hy = h / 2 - e;
    double c = std::cos(rotation);
    double s = std::sin(rotation);
    auto distance = [=](double px, double py) {
        double dx = px - mx;
        double dy = py - my;
        double u = dx * c + dy * s; // into the unrotated frame
        double v = -dx * s + dy * c;
        double ou = std::max(0.0, std::fabs(u) - hx);
        double ov = std::max(0.0, std::fabs(v) - hy);
        return std::sqrt(ou * ou + ov * ov);
    };
    double reach = w + h;
    double halfDiagonal = std::sqrt(w * w + h * h) / 2;
    return [=](double y) -> std::vector<Interval> {
        if (std::fabs(y - my) > halfDiagonal)
            return {};
        // Golden-section search for the point of the line nearest the core.
        double a = mx - reach;
        double b = mx + reach;
        const double g = (std::sqrt(5.0) - 1) / 2;
        for (int k = 0; k < 75; ++k) {
            double m1 = b - g * (b - a);
            double m2 = a + g * (b - a);
            if (distance(m1, y) < distance(m2, y))
                b = m2;
            else
                a = m1;
        }
        double nearest = (a + b) / 2;
        if (distance(nearest, y) > e + 1e-9)
            return {};
        auto edge = [&](double inside, double outside) {
            for (int k = 0; k < 52; ++k) {
                double mid = (inside + outside) / 2;
                if (distance(mid, y) <= e + 1e-12)
                    inside = mid;
                else
                    outside = mid;
            }
            return (inside + outside) / 2;
        };
        return {{edge(nearest, mx - reach), edge(nearest, mx + reach)}};
    };
}

inline CrossSection outlineSection(double x, double y, double w, double h, double e, double rotation, double line)
{
    e = std::min(e, std::min(w, h));
    CrossSection outer = roundedRectSection(x, y, w, h, e, rotation);
    if (!(w - 2 * line > 0 && h - 2 * line > 0))
        return outer;
    CrossSection inner
        = roundedRectSection(x + line, y + line, w - 2 * line, h - 2 * line, std::max(e - line, 0.0), rotation);
    return [=](double yy) { return subtract(outer(yy), inner(yy)); };
}

} // namespace tonvane::testing
