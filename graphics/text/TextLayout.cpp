#include "graphics/text/TextLayout.h"

#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/FontList.h"

#include <algorithm>
#include <cmath>

namespace tonvane {

namespace {

constexpr char32_t kTab = 9;
constexpr char32_t kLineFeed = 10;
constexpr char32_t kSpace = 32;
constexpr int kTabSpaces = 8;

// The rows a line's glyphs ink, relative to its baseline row.
struct InkRows {
    int32_t bottom = 0;
    int32_t top = 0;

    void add(const Glyph& g)
    {
        if (g.rows <= 0)
            return;
        if (top <= bottom) {
            bottom = g.bottom;
            top = g.bottom + g.rows;
            return;
        }
        bottom = std::min(bottom, g.bottom);
        top = std::max(top, g.bottom + g.rows);
    }
};

LineFit lineFit(uint32_t characters, double width, uint32_t spaces, LineEnd end, const InkRows& ink)
{
    LineFit fit{characters, width, spaces, end};
    fit.inkBottom = ink.bottom;
    fit.inkTop = ink.top;
    return fit;
}

// measureLine with the text lock held.
LineFit fitLine(Font& font, const char16_t* text, uint32_t length, double available)
{
    double width = 0;
    uint32_t spaces = 0;
    InkRows ink;
    bool spaceSeen = false;
    uint32_t lastSpace = 0; // position of the last space
    double widthBeforeSpace = 0;
    uint32_t spacesBeforeSpace = 0;
    InkRows inkBeforeSpace;
    uint32_t i = 0;
    while (i < length) {
        uint32_t at = i;
        char32_t c = nextCharacter(text, length, i);
        if (c == kLineFeed)
            return lineFit(at, width, spaces, LineEnd::LineFeed, ink);
        double advance = 0;
        bool breakable = c == kTab;
        const Glyph* g = nullptr;
        if (c == kTab) {
            advance = kTabSpaces * font.space_advance;
        } else if ((g = font.glyph(c)) != nullptr) {
            advance = g->advance_x;
        } else {
            continue; // drawn as nothing, measures 0
        }
        // A space is remembered before its own advance is checked, so a space that overflows
        // ends the line right there rather than one word earlier.
        if (c == kSpace) {
            spaceSeen = true;
            lastSpace = at;
            widthBeforeSpace = width;
            spacesBeforeSpace = spaces;
            inkBeforeSpace = ink;
        }
        if (width + advance > available) {
            if (at == 0)
                return {0, 0, 0, LineEnd::NothingFits};
            if (spaceSeen && !breakable)
                return lineFit(lastSpace, widthBeforeSpace, spacesBeforeSpace, LineEnd::SoftBreak, inkBeforeSpace);
            return lineFit(at, width, spaces, LineEnd::SoftBreak, ink);
        }
        if (c == kSpace)
            ++spaces;
        if (g != nullptr)
            ink.add(*g);
        width += advance;
    }
    return lineFit(length, width, spaces, LineEnd::EndOfText, ink);
}

uint32_t zeroTerminatedLength(const char16_t* text)
{
    uint32_t n = 0;
    while (n < kMaxZeroTerminatedText && text[n] != 0)
        ++n;
    return n;
}

uint32_t textLength(const char16_t* text, int32_t length)
{
    if (length == kTextUpToZero)
        return zeroTerminatedLength(text);
    return length < 0 ? 0 : static_cast<uint32_t>(length);
}

bool finiteBox(double left, double bottom, double right, double top)
{
    return std::isfinite(left) && std::isfinite(bottom) && std::isfinite(right) && std::isfinite(top);
}

// Lays the text out in the box line by line (text lock held) and hands each line that has
// characters to `emit(start, characters, run)`.
template<class Emit>
void layOutLines(Font& font, const char16_t* text, uint32_t total, uint32_t flags, double left, double bottom,
                 double right, double top, Emit emit)
{
    double available = right - left;
    double lineTop = top;
    uint32_t at = 0;
    while (at < total) {
        LineFit fit = fitLine(font, text + at, total - at, available);
        if (fit.end == LineEnd::NothingFits)
            return;
        double slack = available - fit.width;
        double penX = left;
        if (flags & kTextCentre)
            penX = left + slack / 2;
        else if (flags & kTextRight)
            penX = left + slack;
        double baseline = lineTop - font.ascender;
        if (flags & kTextVerticalCentre)
            baseline = bottom + (top - bottom - font.point_size) / 2;
        if (fit.characters > 0) {
            TextRun run;
            run.penX = penX;
            run.baselineY = baseline;
            run.boxLeft = penX - font.left_overhang;
            run.boxBottom = baseline - font.descender;
            run.boxWidth = fit.width + font.left_overhang;
            run.boxHeight = font.line_height;
            run.inkBottom = fit.inkBottom;
            run.inkTop = fit.inkTop;
            // The last line and lines ending in a line feed keep their natural spacing.
            if ((flags & kTextJustify) && fit.end == LineEnd::SoftBreak) {
                run.spaces = fit.spaces;
                run.distribute = slack;
            }
            emit(at, fit, run);
        }
        if (flags & kTextVerticalCentre)
            return;
        at += fit.characters;
        if (fit.end == LineEnd::LineFeed)
            ++at;
        else if (fit.end == LineEnd::SoftBreak)
            while (at < total && (text[at] == kSpace || text[at] == kTab))
                ++at;
        lineTop -= font.line_height;
        if (!(lineTop > bottom))
            return; // lines that would start below the box are not drawn
    }
}

void layOut(Surface& surface, const char16_t* text, int32_t length, uint32_t flags, double left, double bottom,
            double right, double top, const Paint& paint)
{
    if (text == nullptr || !finiteBox(left, bottom, right, top))
        return;
    uint32_t total = textLength(text, length);
    FontRef fallback;
    Font* font = surface.font;
    if (font == nullptr) {
        fallback = FontRef(defaultFont());
        font = fallback.get();
    }
    if (font == nullptr)
        return;
    std::lock_guard guard(textLock());
    layOutLines(*font, text, total, flags, left, bottom, right, top,
                [&](uint32_t start, const LineFit& fit, const TextRun& run) {
                    surface.drawTextRun(font, run, text + start, fit.characters, paint);
                });
}

} // namespace

std::vector<LaidOutLine> layoutText(Font& font, const char16_t* text, int32_t length, uint32_t flags, double left,
                                   double bottom, double right, double top)
{
    std::vector<LaidOutLine> lines;
    if (text == nullptr || !finiteBox(left, bottom, right, top))
        return lines;
    std::lock_guard guard(textLock());
    layOutLines(font, text, textLength(text, length), flags, left, bottom, right, top,
                [&](uint32_t start, const LineFit& fit, const TextRun& run) {
                    lines.push_back({start, fit.characters, fit.width, run});
                });
    return lines;
}

LineFit measureLine(Font& font, const char16_t* text, uint32_t length, double available)
{
    if (text == nullptr)
        return {};
    std::lock_guard guard(textLock());
    return fitLine(font, text, length, available);
}

void drawText(Surface& surface, const char16_t* text, int32_t length, uint32_t flags, double left, double bottom,
              double right, double top)
{
    layOut(surface, text, length, flags, left, bottom, right, top, Paint::solid(surface.text_colour));
}

void drawText(Surface& surface, const char16_t* text, int32_t length, uint32_t flags, double left, double bottom,
              double right, double top, const Paint& paint)
{
    layOut(surface, text, length, flags, left, bottom, right, top, paint);
}

} // namespace tonvane
