#pragma once
#include "graphics/raster/Paint.h"
#include "graphics/render/BandContext.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tonvane {

// One laid-out line of text as the text command records it (surface pixels, y up).
struct TextRun {
    double penX = 0;
    double baselineY = 0;
    double boxLeft = 0;
    double boxBottom = 0;
    double boxWidth = 0;
    double boxHeight = 0;
    uint32_t textIndex = 0; // first code unit in the display list's text buffer
    uint32_t textLength = 0; // code units
    uint32_t spaces = 0; // spaces to stretch when justifying
    double distribute = 0; // width to spread over them
    // Rows the glyphs' ink takes, relative to floor(baselineY), y up: [inkBottom, inkTop).
    // Marks on capitals rise above the line's box and are drawn there: the command's rows are
    // the box and the ink together.
    int32_t inkBottom = 0;
    int32_t inkTop = 0;

    // The rows the command may draw on: the box and the ink [surface pixels, y up].
    double rowsLow() const
    {
        double box = boxBottom;
        return inkTop > inkBottom ? std::min(box, std::floor(baselineY) + inkBottom) : box;
    }
    double rowsHigh() const
    {
        double box = boxBottom + boxHeight;
        return inkTop > inkBottom ? std::max(box, std::floor(baselineY) + inkTop) : box;
    }
};

// Draws a text run in one band from cached glyphs (the font implements it). Called on band
// threads in parallel; it must not load glyphs or change shared state.
class TextRunDrawer {
public:
    virtual ~TextRunDrawer() = default;
    virtual void drawRun(const BandContext& band, const TextRun& run, const char16_t* text,
                         const Paint& paint) const = 0;
};

} // namespace tonvane
