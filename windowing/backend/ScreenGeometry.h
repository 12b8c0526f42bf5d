#pragma once
#include <cstdint>

namespace tonvane {

// A rectangle in the window system's screen pixels: origin top-left, y down.
struct ScreenRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    int32_t right() const { return x + width; }
    int32_t bottom() const { return y + height; }
    bool contains(int32_t px, int32_t py) const { return px >= x && px < right() && py >= y && py < bottom(); }
    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const ScreenRect&) const = default;
};

struct ScreenPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// The window's own taskbar button: its rectangle (all zero when unknown) and state byte.
struct TaskbarButton {
    ScreenRect rect;
    uint32_t state = 0;
};

} // namespace tonvane
