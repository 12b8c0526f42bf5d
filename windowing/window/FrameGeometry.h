#pragma once
#include <cstdint>

namespace tonvane {

// Where the window frame answers hit tests when no widget does, in content pixels (y up, origin
// at the content's bottom-left). The caption buttons sit in the top-right corner, close
// outermost, then maximise, then minimise.
struct FrameGeometry {
    int32_t captionHeight = 30; // [pixels]
    int32_t buttonWidth = 28;
    int32_t buttonHeight = 22;
    int32_t buttons = 3; // 1: close only; 3: close, maximise, minimise
    int32_t border = 4; // [pixels] sizing band along each edge; 0 when not resizable
    int32_t corner = 12; // [pixels] reach of the corner codes along each edge

    // The hit-test code at (x, y) inside a width x height content; 0 outside it.
    int32_t hitTest(int32_t x, int32_t y, int32_t width, int32_t height, bool maximised) const;
};

} // namespace tonvane
