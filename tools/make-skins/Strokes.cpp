#include "tools/make-skins/Strokes.h"

#include <cmath>

namespace tonvane::skins {

void stroke(Surface& surface, Point from, Point to, double width, const Paint& paint)
{
    double dx = to.x - from.x;
    double dy = to.y - from.y;
    double halfLength = (std::hypot(dx, dy) + width) / 2;
    double cx = (from.x + to.x) / 2;
    double cy = (from.y + to.y) / 2;
    double angle = (dx == 0 && dy == 0) ? 0 : std::atan2(dy, dx);
    surface.roundedRectangle(cx - halfLength, cy - width / 2, cx + halfLength, cy + width / 2, width / 2, angle,
                             paint);
}

void strokePolyline(Surface& surface, const std::vector<Point>& points, double width, const Paint& paint)
{
    if (points.size() == 1)
        stroke(surface, points[0], points[0], width, paint);
    for (size_t i = 1; i < points.size(); ++i)
        stroke(surface, points[i - 1], points[i], width, paint);
}

void strokeArc(Surface& surface, Point centre, double radius, double start, double end, int segments, double width,
               const Paint& paint)
{
    std::vector<Point> points;
    for (int i = 0; i <= segments; ++i) {
        double angle = start + (end - start) * i / segments;
        points.push_back({centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
    }
    strokePolyline(surface, points, width, paint);
}

} // namespace tonvane::skins
