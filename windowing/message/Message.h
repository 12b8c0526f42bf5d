#pragma once
#include "windowing/message/MessageNumbers.h"

#include <cstdint>

namespace tonvane {

// The window system's id of one window; 0 is none.
using WindowId = uint64_t;
constexpr WindowId kNoWindow = 0;

// One window message. Pointer messages carry their point in x, y: client pixels (y down) for
// the client mouse messages, screen pixels of the window system (y down) for the non-client
// messages, WM_NCHITTEST and the wheel. WM_SIZE carries the client size in cx, cy;
// WM_WINDOWPOSCHANGED the window rectangle in x, y, cx, cy and its SWP_ flags in flags.
struct Message {
    WindowId window = kNoWindow;
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t cx = 0;
    int32_t cy = 0;
    uint32_t flags = 0;
};

constexpr bool isClientMouse(uint32_t message) { return message >= msg::WM_MOUSEMOVE && message <= msg::WM_MOUSELAST; }
constexpr bool isNonClientMouse(uint32_t message)
{
    return message >= msg::WM_NCFIRST_MOUSE && message <= msg::WM_NCLAST_MOUSE;
}
constexpr bool isKeyboard(uint32_t message) { return message >= msg::WM_KEYDOWN && message <= msg::WM_KEYLAST; }

} // namespace tonvane
