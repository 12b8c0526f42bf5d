#pragma once
#include <cmath>
#include <cstdint>

namespace tonvane {

// The five paints. The values are the display-list opcodes of the paint commands.
enum class PaintKind : uint32_t {
    Solid = 0,
    LinearY = 1,
    LinearX = 2,
    Radial = 3,
    Elliptical = 4,
};

// A paint as the painter receives it. Colours are straight-alpha ARGB words; positions are
// pixels, y up. Field use per kind:
//   Solid:      colour0
//   LinearY/X:  colour0 at start, colour1 at end, start, end (y or x)
//   Radial:     centre; colour0 inner, colour1 outer; radius0 inner, radius1 outer
//   Elliptical: centre; radius0 along x, radius1 along y; colour0 centre, colour1 edge
struct Paint {
    PaintKind kind = PaintKind::Solid;
    uint32_t colour0 = 0;
    uint32_t colour1 = 0;
    double start = 0;
    double end = 0;
    double centreX = 0;
    double centreY = 0;
    double radius0 = 0;
    double radius1 = 0;

    static Paint solid(uint32_t colour) { return Paint{PaintKind::Solid, colour}; }
    static Paint linearY(uint32_t atStart, uint32_t atEnd, double startY, double endY)
    {
        return Paint{PaintKind::LinearY, atStart, atEnd, startY, endY};
    }
    static Paint linearX(uint32_t atStart, uint32_t atEnd, double startX, double endX)
    {
        return Paint{PaintKind::LinearX, atStart, atEnd, startX, endX};
    }
    static Paint radial(double cx, double cy, uint32_t inner, uint32_t outer, double innerRadius, double outerRadius)
    {
        return Paint{PaintKind::Radial, inner, outer, 0, 0, cx, cy, innerRadius, outerRadius};
    }
    static Paint elliptical(double cx, double cy, double rx, double ry, uint32_t centre, uint32_t edge)
    {
        return Paint{PaintKind::Elliptical, centre, edge, 0, 0, cx, cy, rx, ry};
    }

    bool finite() const
    {
        return std::isfinite(start) && std::isfinite(end) && std::isfinite(centreX) && std::isfinite(centreY)
            && std::isfinite(radius0) && std::isfinite(radius1);
    }
    // The paint moved by (dx, dy).
    Paint translated(double dx, double dy) const;
};

// The gradient record made once per command: colour of the paint at a pixel's integer column
// and row.
class PaintEvaluator {
public:
    explicit PaintEvaluator(const Paint& paint);

    PaintKind kind() const { return m_paint.kind; }
    // Solid colours and gradients along y have one colour per row.
    bool constantAlongRow() const { return m_paint.kind == PaintKind::Solid || m_paint.kind == PaintKind::LinearY; }

    uint32_t colourAt(int x, int y) const
    {
        switch (m_paint.kind) {
        case PaintKind::Solid:
            return m_paint.colour0;
        case PaintKind::LinearY:
            return linearAt(y);
        case PaintKind::LinearX:
            return linearAt(x);
        case PaintKind::Radial:
            return radialAt(x, y);
        case PaintKind::Elliptical:
            return ellipticalAt(x, y);
        }
        return m_paint.colour0;
    }

    // Colour at fraction t (0 at colour0, 1 at colour1), each channel rounded to 0..255.
    uint32_t mix(double t) const;

private:
    uint32_t linearAt(double position) const;
    uint32_t radialAt(double x, double y) const;
    uint32_t ellipticalAt(double x, double y) const;

    Paint m_paint;
    double m_difference[4] = {}; // end - start per channel (alpha, red, green, blue)
    double m_startChannel[4] = {};
    double m_length = 0; // end - start along the axis
    double m_larger = 0; // elliptical: the larger radius
    double m_ratio = 0; // elliptical: larger / smaller
    bool m_xIsLarger = false;
    bool m_degenerate = false; // elliptical with a radius of 0 or less: edge colour throughout
};

} // namespace tonvane
