#pragma once
#include "graphics/surface/Surface.h"

#include <string_view>

namespace tonvane::skins {

// Capital letters and a few digits drawn as strokes on a grid 4 units wide and 6 tall, enough
// for the labels of the artwork. Unknown characters advance like a space.
struct LetterStyle {
    double unitX = 1; // [pixels] per grid unit across
    double unitY = 1; // [pixels] per grid unit up
    double weight = 1; // [pixels] stroke width
    double gap = 1; // [pixels] between letters, stroke edge to stroke edge
};

// Width of the inked text, stroke ends included.
double textWidth(std::string_view text, const LetterStyle& style);
// Draws text with its inked box starting at left and its strokes' centre line at baseline.
void drawText(Surface& surface, std::string_view text, double left, double baseline, const LetterStyle& style,
              const Paint& paint);

} // namespace tonvane::skins
