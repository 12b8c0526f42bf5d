#pragma once
#include <algorithm>
#include <cstdint>

namespace tonvane {

// Integer rectangle [x0, x1) x [y0, y1) in pixels, y up.
struct IntRect {
    int32_t x0 = 0;
    int32_t y0 = 0;
    int32_t x1 = 0;
    int32_t y1 = 0;

    bool empty() const { return x0 >= x1 || y0 >= y1; }
    bool operator==(const IntRect&) const = default;
};

inline IntRect intersect(const IntRect& a, const IntRect& b)
{
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

// The smallest rectangle holding both (an empty one adds nothing).
inline IntRect unite(const IntRect& a, const IntRect& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

} // namespace tonvane
