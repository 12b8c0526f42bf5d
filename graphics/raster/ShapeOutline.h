#pragma once
#include <cstdint>

namespace tonvane {

// One piece of a closed outline that is monotone in both x and y: a straight segment or an arc
// of at most a quarter circle inside one quadrant. Pieces are oriented: a piece walked upwards
// (y increasing) is a right-hand boundary of the filled area (direction +1), one walked
// downwards a left-hand boundary (direction -1). Horizontal segments bound no area in a row and
// are not stored.
struct OutlinePiece {
    enum class Kind : uint8_t { Line, Arc };
    Kind kind = Kind::Line;
    int8_t direction = 1;
    int8_t side = 1; // arc: x = cx + side * sqrt(r^2 - (y - cy)^2)
    int8_t half = 1; // arc: y = cy + half * sqrt(r^2 - (x - cx)^2)
    double yLow = 0;
    double yHigh = 0;
    double xAtLow = 0; // line: x at yLow and at yHigh
    double xAtHigh = 0;
    double cx = 0;
    double cy = 0;
    double radius = 0;

    // The boundary's x at height y in [yLow, yHigh].
    double xAt(double y) const;
};

// The outline of a disc, ring, rounded rectangle or rounded-rectangle outline as oriented
// monotone pieces; a hole's pieces are reversed so that coverage is outer minus inner.
class ShapeOutline {
public:
    static constexpr int kMaxPieces = 32;

    void clear();
    void addCircle(double cx, double cy, double radius, bool hole);
    // Rounded rectangle [x, x + width] x [y, y + height] with its corners rounded by radius
    // (limited to half the smaller side), turned by rotation radians counter-clockwise about
    // its centre.
    void addRoundedRectangle(double x, double y, double width, double height, double radius, double rotation,
                             bool hole);

    // Circle of radius r less the circle of radius r - lineWidth; a line as wide as the radius
    // leaves no hole and gives the disc.
    void addRing(double cx, double cy, double radius, double lineWidth);
    // The band between the rounded rectangle (radius first limited to the smaller side) and the
    // one inset by lineWidth with radius max(radius - lineWidth, 0); the whole rounded
    // rectangle when no inner shape fits.
    void addRoundedRectangleOutline(double x, double y, double width, double height, double radius, double rotation,
                                    double lineWidth);

    int count() const { return m_count; }
    const OutlinePiece& piece(int i) const { return m_pieces[i]; }
    double yLow() const { return m_yLow; }
    double yHigh() const { return m_yHigh; }
    bool empty() const { return m_count == 0; }

private:
    void addLine(double x0, double y0, double x1, double y1, bool hole);
    // Arc from angle a to angle b (counter-clockwise, b - a at most a quarter turn) split at the
    // quadrant boundaries.
    void addArc(double cx, double cy, double radius, double a, double b, double yA, double yB, bool hole);
    void addQuadrantArc(double cx, double cy, double radius, int quadrant, double yA, double yB, bool hole);
    void push(const OutlinePiece& piece);

    OutlinePiece m_pieces[kMaxPieces];
    int m_count = 0;
    double m_yLow = 0;
    double m_yHigh = 0;
};

} // namespace tonvane
