#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tonvane {

// The columns [x0, x1) and rows [y0, y1) a shape may touch: the band's clip and rows.
struct RasterWindow {
    int32_t x0 = 0;
    int32_t x1 = 0;
    int32_t y0 = 0;
    int32_t y1 = 0;

    bool empty() const { return x0 >= x1 || y0 >= y1; }
};

// floor / ceil of a double clamped into [low, high] before converting, so huge or infinite
// coordinates never overflow an int.
inline int32_t clampedFloor(double value, int32_t low, int32_t high)
{
    if (!(value > low))
        return low;
    if (!(value < high))
        return high;
    return static_cast<int32_t>(std::floor(value));
}

inline int32_t clampedCeil(double value, int32_t low, int32_t high)
{
    if (!(value > low))
        return low;
    if (!(value < high))
        return high;
    return static_cast<int32_t>(std::ceil(value));
}

} // namespace tonvane
