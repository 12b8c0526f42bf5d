#pragma once
#include "graphics/surface/Surface.h"

#include <vector>

namespace tonvane::skins {

struct Point {
    double x = 0;
    double y = 0;
};

// Lines of a given width with round ends, drawn as rotated rounded rectangles whose corner
// radius is half the width. Consecutive segments overlap in their round ends, so polylines
// get round joins.
void stroke(Surface& surface, Point from, Point to, double width, const Paint& paint);
void strokePolyline(Surface& surface, const std::vector<Point>& points, double width, const Paint& paint);
// An arc of a circle from angle start to angle end (radians, counter-clockwise, y up) as a
// polyline of the given number of segments.
void strokeArc(Surface& surface, Point centre, double radius, double start, double end, int segments, double width,
               const Paint& paint);

} // namespace tonvane::skins
