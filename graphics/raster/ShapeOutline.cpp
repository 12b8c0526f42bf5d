#include "graphics/raster/ShapeOutline.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tonvane {

namespace {

constexpr double kQuarterTurn = std::numbers::pi / 2; // [radians]
constexpr double kFullTurn = 2 * std::numbers::pi; // [radians]

} // namespace

double OutlinePiece::xAt(double y) const
{
    if (kind == Kind::Line) {
        if (yHigh == yLow)
            return xAtLow;
        if (y >= yHigh)
            return xAtHigh;
        return xAtLow + (xAtHigh - xAtLow) * ((y - yLow) / (yHigh - yLow));
    }
    double dy = y - cy;
    double squared = radius * radius - dy * dy;
    return cx + side * std::sqrt(squared > 0 ? squared : 0);
}

void ShapeOutline::clear()
{
    m_count = 0;
}

void ShapeOutline::push(const OutlinePiece& piece)
{
    if (!(piece.yHigh > piece.yLow) || m_count >= kMaxPieces)
        return;
    if (m_count == 0) {
        m_yLow = piece.yLow;
        m_yHigh = piece.yHigh;
    } else {
        m_yLow = std::min(m_yLow, piece.yLow);
        m_yHigh = std::max(m_yHigh, piece.yHigh);
    }
    m_pieces[m_count++] = piece;
}

void ShapeOutline::addLine(double x0, double y0, double x1, double y1, bool hole)
{
    if (y0 == y1)
        return;
    OutlinePiece piece;
    piece.kind = OutlinePiece::Kind::Line;
    bool upwards = y1 > y0;
    piece.direction = static_cast<int8_t>((upwards ? 1 : -1) * (hole ? -1 : 1));
    piece.yLow = upwards ? y0 : y1;
    piece.yHigh = upwards ? y1 : y0;
    piece.xAtLow = upwards ? x0 : x1;
    piece.xAtHigh = upwards ? x1 : x0;
    push(piece);
}

// Quadrant q covers angles [q, q + 1] quarter turns. Walking counter-clockwise, quadrants 0 and
// 3 move up (right-hand side of the circle), 1 and 2 down.
void ShapeOutline::addQuadrantArc(double cx, double cy, double radius, int quadrant, double yA, double yB,
                                  bool hole)
{
    OutlinePiece piece;
    piece.kind = OutlinePiece::Kind::Arc;
    piece.cx = cx;
    piece.cy = cy;
    piece.radius = radius;
    piece.side = static_cast<int8_t>(quadrant == 0 || quadrant == 3 ? 1 : -1);
    piece.half = static_cast<int8_t>(quadrant <= 1 ? 1 : -1);
    piece.direction = static_cast<int8_t>(piece.side * (hole ? -1 : 1));
    piece.yLow = std::min(yA, yB);
    piece.yHigh = std::max(yA, yB);
    // Keep the piece on its own half of the circle despite rounding.
    if (piece.half > 0)
        piece.yLow = std::max(piece.yLow, cy);
    else
        piece.yHigh = std::min(piece.yHigh, cy);
    push(piece);
}

void ShapeOutline::addArc(double cx, double cy, double radius, double a, double b, double yA, double yB, bool hole)
{
    if (!(radius > 0))
        return;
    double turns = std::floor(a / kQuarterTurn);
    double boundary = (turns + 1) * kQuarterTurn;
    int quadrant = static_cast<int>(std::fmod(std::fmod(turns, 4.0) + 4.0, 4.0));
    // y at a quadrant boundary is exactly the centre or an extreme of the circle.
    static constexpr int kBoundaryY[4] = {1, 0, -1, 0}; // boundary after quadrant q, in radii
    if (b > boundary + 1e-12) {
        double yBoundary = cy + kBoundaryY[quadrant] * radius;
        addQuadrantArc(cx, cy, radius, quadrant, yA, yBoundary, hole);
        addQuadrantArc(cx, cy, radius, (quadrant + 1) % 4, yBoundary, yB, hole);
    } else {
        addQuadrantArc(cx, cy, radius, quadrant, yA, yB, hole);
    }
}

void ShapeOutline::addCircle(double cx, double cy, double radius, bool hole)
{
    if (!(radius > 0))
        return;
    addQuadrantArc(cx, cy, radius, 0, cy, cy + radius, hole);
    addQuadrantArc(cx, cy, radius, 1, cy + radius, cy, hole);
    addQuadrantArc(cx, cy, radius, 2, cy, cy - radius, hole);
    addQuadrantArc(cx, cy, radius, 3, cy - radius, cy, hole);
}

void ShapeOutline::addRing(double cx, double cy, double radius, double lineWidth)
{
    addCircle(cx, cy, radius, false);
    if (lineWidth < radius)
        addCircle(cx, cy, radius - lineWidth, true);
}

void ShapeOutline::addRoundedRectangleOutline(double x, double y, double width, double height, double radius,
                                              double rotation, double lineWidth)
{
    radius = std::min(radius, std::min(width, height));
    addRoundedRectangle(x, y, width, height, radius, rotation, false);
    if (width - 2 * lineWidth > 0 && height - 2 * lineWidth > 0) {
        addRoundedRectangle(x + lineWidth, y + lineWidth, width - 2 * lineWidth, height - 2 * lineWidth,
                            std::max(radius - lineWidth, 0.0), rotation, true);
    }
}

void ShapeOutline::addRoundedRectangle(double x, double y, double width, double height, double radius,
                                       double rotation, bool hole)
{
    if (!(width > 0) || !(height > 0))
        return;
    double e = std::clamp(radius, 0.0, std::min(width, height) / 2);
    if (!(e == e))
        e = 0;
    if (rotation == 0) {
        double x1 = x + width;
        double y1 = y + height;
        addLine(x1, y + e, x1, y1 - e, hole); // right side, upwards
        addLine(x, y1 - e, x, y + e, hole); // left side, downwards
        if (e > 0) {
            addQuadrantArc(x1 - e, y1 - e, e, 0, y1 - e, y1, hole);
            addQuadrantArc(x + e, y1 - e, e, 1, y1, y1 - e, hole);
            addQuadrantArc(x + e, y + e, e, 2, y + e, y, hole);
            addQuadrantArc(x1 - e, y + e, e, 3, y, y + e, hole);
        }
        return;
    }
    if (rotation < 0)
        rotation += kFullTurn;
    double cosine = std::cos(rotation);
    double sine = std::sin(rotation);
    double mx = x + width / 2;
    double my = y + height / 2;
    // Corner centres counter-clockwise from bottom-left, in the unrotated frame relative to the
    // centre, then turned.
    double hx = width / 2 - e;
    double hy = height / 2 - e;
    double localX[4] = {-hx, hx, hx, -hx};
    double localY[4] = {-hy, -hy, hy, hy};
    double centreX[4];
    double centreY[4];
    for (int k = 0; k < 4; ++k) {
        centreX[k] = mx + localX[k] * cosine - localY[k] * sine;
        centreY[k] = my + localX[k] * sine + localY[k] * cosine;
    }
    // Side k runs from corner k to corner k + 1 along direction rotation + k quarter turns; its
    // outward normal points a quarter turn clockwise of that.
    double normalAngle[4];
    double normalX[4];
    double normalY[4];
    for (int k = 0; k < 4; ++k) {
        normalAngle[k] = rotation + (k - 1) * kQuarterTurn;
        normalX[k] = std::cos(normalAngle[k]);
        normalY[k] = std::sin(normalAngle[k]);
    }
    for (int k = 0; k < 4; ++k) {
        int next = (k + 1) % 4;
        double startX = centreX[k] + e * normalX[k];
        double startY = centreY[k] + e * normalY[k];
        double endX = centreX[next] + e * normalX[k];
        double endY = centreY[next] + e * normalY[k];
        addLine(startX, startY, endX, endY, hole);
        // The corner at the end of side k turns from side k's normal to side next's normal.
        double a = normalAngle[k];
        a -= std::floor(a / kFullTurn) * kFullTurn;
        double yA = endY;
        double yB = centreY[next] + e * normalY[next];
        addArc(centreX[next], centreY[next], e, a, a + kQuarterTurn, yA, yB, hole);
    }
}

} // namespace tonvane
