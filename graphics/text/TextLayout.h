#pragma once
#include "graphics/displaylist/TextRunDrawer.h"
#include "graphics/raster/Paint.h"

#include <cstdint>
#include <vector>

namespace tonvane {

class Font;
class Surface;

// Alignment flags of drawText.
enum TextFlags : uint32_t {
    kTextCentre = 0x1, // centre each line horizontally
    kTextRight = 0x2, // right-align each line
    kTextJustify = 0x4, // stretch the spaces of every line but the last and those ending in a line feed
    kTextVerticalCentre = 0x8, // one line, centred vertically in the box
};

inline constexpr int32_t kTextUpToZero = -1; // length: up to the terminating zero...
inline constexpr uint32_t kMaxZeroTerminatedText = 4096; // ...counting at most this many units

// How a fitted line ended.
enum class LineEnd {
    EndOfText,
    LineFeed, // the line feed is not part of the line
    SoftBreak, // at a space or tab, or inside a word; the next line skips leading spaces and tabs
    NothingFits, // the first character is wider than the box
};

struct LineFit {
    uint32_t characters = 0; // UTF-16 code units taken
    double width = 0; // [pixels] of the characters taken
    uint32_t spaces = 0; // spaces (32) among them
    LineEnd end = LineEnd::EndOfText;
    // Rows the glyphs taken ink, relative to the baseline row, y up: [inkBottom, inkTop).
    int32_t inkBottom = 0;
    int32_t inkTop = 0;
};

// Fits one line starting at text[0] into `available` pixels: a character with a glyph adds its
// advance; a tab adds eight space widths and may end the line; a line feed ends it. On overflow
// the line ends at the last space (excluded) or, without one, before the character. Loads the
// glyphs it meets (takes the text lock).
LineFit measureLine(Font& font, const char16_t* text, uint32_t length, double available);

// One line of a laid-out text: where it starts in the text and the run recorded for it.
struct LaidOutLine {
    uint32_t start = 0; // UTF-16 code units from the start of the text
    uint32_t characters = 0;
    double width = 0; // [pixels] natural width, before justification
    TextRun run;
};

// The lines drawText would record for this font and box (lines without characters left out).
std::vector<LaidOutLine> layoutText(Font& font, const char16_t* text, int32_t length, uint32_t flags, double left,
                                    double bottom, double right, double top);

// Lays the text out in the box with the surface's current font (the default font when none is
// set) and appends one text command per line, painted with the surface's text colour or
// `paint`. Length kTextUpToZero reads up to the terminating zero (at most 4096 units).
void drawText(Surface& surface, const char16_t* text, int32_t length, uint32_t flags, double left, double bottom,
              double right, double top);
void drawText(Surface& surface, const char16_t* text, int32_t length, uint32_t flags, double left, double bottom,
              double right, double top, const Paint& paint);

} // namespace tonvane
