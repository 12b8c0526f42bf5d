#include "tools/make-skins/StrokeFont.h"

#include "tools/make-skins/Strokes.h"

#include <vector>

namespace tonvane::skins {

namespace {

struct Glyph {
    char letter;
    double width; // [grid units]
    std::vector<std::vector<Point>> strokes;
};

constexpr double kSpaceWidth = 2; // [grid units]

// Curves are cut corners: at these sizes an octagon reads as round.
const std::vector<Glyph>& glyphs()
{
    static const std::vector<Glyph> table = {
        {'A', 4, {{{0, 0}, {2, 6}, {4, 0}}, {{0.8, 2}, {3.2, 2}}}},
        {'B', 4, {{{0, 3}, {3, 3}, {4, 2}, {4, 1}, {3, 0}, {0, 0}, {0, 6}, {2.8, 6}, {3.7, 5.1}, {3.7, 3.9}, {2.8, 3}}}},
        {'C', 4, {{{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 5}, {1, 6}, {3, 6}, {4, 5}}}},
        {'E', 3.6, {{{3.6, 6}, {0, 6}, {0, 0}, {3.6, 0}}, {{0, 3}, {3, 3}}}},
        {'F', 3.6, {{{3.6, 6}, {0, 6}, {0, 0}}, {{0, 3}, {3, 3}}}},
        {'G', 4, {{{4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}, {3, 0}, {4, 1}, {4, 2.8}, {2.2, 2.8}}}},
        {'I', 0, {{{0, 0}, {0, 6}}}},
        {'L', 3.6, {{{0, 6}, {0, 0}, {3.6, 0}}}},
        {'M', 4.4, {{{0, 0}, {0, 6}, {2.2, 2.4}, {4.4, 6}, {4.4, 0}}}},
        {'N', 4, {{{0, 0}, {0, 6}, {4, 0}, {4, 6}}}},
        {'O', 4, {{{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}}}},
        {'P', 4, {{{0, 0}, {0, 6}, {3, 6}, {4, 5}, {4, 4}, {3, 3}, {0, 3}}}},
        {'R', 4, {{{0, 0}, {0, 6}, {3, 6}, {4, 5}, {4, 4}, {3, 3}, {0, 3}}, {{2, 3}, {4, 0}}}},
        {'S', 4, {{{4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 4}, {1, 3}, {3, 3}, {4, 2}, {4, 1}, {3, 0}, {1, 0}, {0, 1}}}},
        {'T', 4, {{{0, 6}, {4, 6}}, {{2, 6}, {2, 0}}}},
        {'U', 4, {{{0, 6}, {0, 1}, {1, 0}, {3, 0}, {4, 1}, {4, 6}}}},
        {'V', 4, {{{0, 6}, {2, 0}, {4, 6}}}},
        {'W', 5, {{{0, 6}, {1.2, 0}, {2.5, 4.2}, {3.8, 0}, {5, 6}}}},
        {'3', 4, {{{0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 4}, {3, 3}, {1.6, 3}}, {{3, 3}, {4, 2}, {4, 1}, {3, 0}, {1, 0}, {0, 1}}}},
    };
    return table;
}

const Glyph* find(char letter)
{
    for (const Glyph& glyph : glyphs())
        if (glyph.letter == letter)
            return &glyph;
    return nullptr;
}

double advance(char letter, const LetterStyle& style)
{
    const Glyph* glyph = find(letter);
    double width = glyph ? glyph->width : kSpaceWidth;
    return width * style.unitX + style.weight + style.gap;
}

} // namespace

double textWidth(std::string_view text, const LetterStyle& style)
{
    double width = 0;
    for (char letter : text)
        width += advance(letter, style);
    return text.empty() ? 0 : width - style.gap;
}

void drawText(Surface& surface, std::string_view text, double left, double baseline, const LetterStyle& style,
              const Paint& paint)
{
    double x = left + style.weight / 2;
    for (char letter : text) {
        if (const Glyph* glyph = find(letter)) {
            for (const std::vector<Point>& line : glyph->strokes) {
                std::vector<Point> placed;
                for (Point p : line)
                    placed.push_back({x + p.x * style.unitX, baseline + p.y * style.unitY});
                strokePolyline(surface, placed, style.weight, paint);
            }
        }
        x += advance(letter, style);
    }
}

} // namespace tonvane::skins
