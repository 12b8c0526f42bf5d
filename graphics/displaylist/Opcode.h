#pragma once
#include <cstdint>

namespace tonvane {

// Display-list opcodes. Every command starts with its 32-bit opcode; geometry commands and
// text runs are followed by exactly one paint command (opcodes 0 to 4).
enum class Opcode : uint32_t {
    PaintSolid = 0, // colour
    PaintLinearY = 1, // colour at start, colour at end, start y, end y
    PaintLinearX = 2, // colour at start, colour at end, start x, end x
    PaintRadial = 3, // centre x, centre y, inner colour, outer colour, inner radius, outer radius
    PaintElliptical = 4, // centre x, centre y, radius x, radius y, centre colour, edge colour
    Disc = 5, // centre x, centre y, radius
    Ring = 6, // centre x, centre y, radius, line width
    Rectangle = 13, // x, y, width, height
    RoundedRectangle = 14, // x, y, width, height, corner radius, rotation, highest y, lowest y
    RoundedRectangleOutline = 15, // as 14, then line width
    Clear = 16, // 32-bit pixel value
    Clip = 17, // x0, y0, x1, y1 (32-bit integers)
    Object = 18, // object, low y, high y, data size (32-bit), data
    TextRun = 19, // pen x, baseline, box left, bottom, width, height, drawer, index, length, spaces, width to distribute, ink bottom, ink top
    Image = 20, // x, y, x1, y1, width, height, row length, pixels, opacity
    End = 21,
};

} // namespace tonvane
