#include "tools/make-skins/FlagArt.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tonvane::skins {

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;

struct Box {
    int x;
    int y;
    int width;
    int height;
};

// A stripe boundary at a fraction of the side, on a whole pixel.
double snapped(int origin, int length, double fraction)
{
    return origin + std::round(length * fraction);
}

// Three stripes, bottom to top (horizontal) or left to right (vertical).
void tricolour(Surface& s, Box b, bool vertical, uint32_t first, uint32_t second, uint32_t third)
{
    s.fillRectangle(b.x, b.y, b.x + b.width, b.y + b.height, first);
    if (vertical) {
        s.fillRectangle(snapped(b.x, b.width, 1.0 / 3), b.y, b.x + b.width, b.y + b.height, second);
        s.fillRectangle(snapped(b.x, b.width, 2.0 / 3), b.y, b.x + b.width, b.y + b.height, third);
    } else {
        s.fillRectangle(b.x, snapped(b.y, b.height, 1.0 / 3), b.x + b.width, b.y + b.height, second);
        s.fillRectangle(b.x, snapped(b.y, b.height, 2.0 / 3), b.x + b.width, b.y + b.height, third);
    }
}

void spain(Surface& s, Box b)
{
    s.fillRectangle(b.x, b.y, b.x + b.width, b.y + b.height, 0xFFAA151Bu);
    s.fillRectangle(b.x, snapped(b.y, b.height, 0.25), b.x + b.width, snapped(b.y, b.height, 0.75), 0xFFF1BF00u);
}

// A bar through the flag's centre, shifted sideways by offset, turned to angle.
void bar(Surface& s, Box b, double angle, double thickness, double offset, uint32_t colour)
{
    double length = std::hypot(b.width, b.height) + 4;
    double cx = b.x + b.width / 2.0 - offset * std::sin(angle);
    double cy = b.y + b.height / 2.0 + offset * std::cos(angle);
    s.roundedRectangle(cx - length / 2, cy - thickness / 2, cx + length / 2, cy + thickness / 2, 0, angle,
                       Paint::solid(colour));
}

// The Union Flag: the red saltire runs beside the centre line of the white one, turned about the
// centre like a pinwheel, so that at the hoist the broad white lies above the red.
void unitedKingdom(Surface& s, Box b)
{
    constexpr uint32_t kBlue = 0xFF012169;
    constexpr uint32_t kRed = 0xFFC8102E;
    double unit = b.height / 30.0;
    int cx = b.x + b.width / 2;
    int cy = b.y + b.height / 2;
    s.setClip(b.x, b.y, b.x + b.width, b.y + b.height);
    s.fillRectangle(b.x, b.y, b.x + b.width, b.y + b.height, kBlue);
    double diagonal = std::atan2(b.height, b.width);
    bar(s, b, diagonal, 6 * unit, 0, kWhite);
    bar(s, b, -diagonal, 6 * unit, 0, kWhite);
    const double armAngles[4] = {diagonal, std::numbers::pi - diagonal, std::numbers::pi + diagonal, -diagonal};
    const int quadrants[4][4] = {{cx, cy, b.x + b.width, b.y + b.height},
                                 {b.x, cy, cx, b.y + b.height},
                                 {b.x, b.y, cx, cy},
                                 {cx, b.y, b.x + b.width, cy}};
    for (int k = 0; k < 4; ++k) {
        if (s.setClip(quadrants[k][0], quadrants[k][1], quadrants[k][2], quadrants[k][3]))
            bar(s, b, armAngles[k], 2 * unit, -unit, kRed);
    }
    s.setClip(b.x, b.y, b.x + b.width, b.y + b.height);
    int red = std::max(2, static_cast<int>(std::lround(b.height / 5.0 / 2)) * 2);
    int white = red + 2 * std::max(1, static_cast<int>(std::lround(b.height / 15.0)));
    s.fillRectangle(cx - white / 2, b.y, cx + white / 2, b.y + b.height, kWhite);
    s.fillRectangle(b.x, cy - white / 2, b.x + b.width, cy + white / 2, kWhite);
    s.fillRectangle(cx - red / 2, b.y, cx + red / 2, b.y + b.height, kRed);
    s.fillRectangle(b.x, cy - red / 2, b.x + b.width, cy + red / 2, kRed);
    s.setClip(0, 0, s.width(), s.height());
}

// Green and red with the armillary sphere and a plain shield on the border.
void portugal(Surface& s, Box b)
{
    constexpr uint32_t kGold = 0xFFFFD700;
    double border = snapped(b.x, b.width, 0.4);
    s.fillRectangle(b.x, b.y, b.x + b.width, b.y + b.height, 0xFFDA291Cu);
    s.fillRectangle(b.x, b.y, border, b.y + b.height, 0xFF046A38u);
    double cy = b.y + b.height / 2.0;
    double h = b.height;
    s.ring(border, cy, 0.27 * h, 0.06 * h, Paint::solid(kGold));
    s.fillRectangle(border - 0.27 * h, cy - 0.02 * h, border + 0.27 * h, cy + 0.02 * h, kGold);
    s.roundedRectangle(border - 0.12 * h, cy - 0.15 * h, border + 0.12 * h, cy + 0.13 * h, 0.06 * h, 0,
                       Paint::solid(0xFFDA291Cu));
    s.roundedRectangle(border - 0.07 * h, cy - 0.1 * h, border + 0.07 * h, cy + 0.08 * h, 0.035 * h, 0,
                       Paint::solid(kWhite));
    if (h >= 24) {
        const double dots[5][2] = {{0, 0}, {-0.04, 0.045}, {0.04, 0.045}, {-0.04, -0.045}, {0.04, -0.045}};
        for (const auto& dot : dots)
            s.disc(border + dot[0] * h, cy - 0.01 * h + dot[1] * h, 0.018 * h,
                   Paint::solid(0xFF003399u));
    } else {
        s.disc(border, cy - 0.01 * h, 0.05 * h, Paint::solid(0xFF003399u));
    }
}

void japan(Surface& s, Box b)
{
    s.fillRectangle(b.x, b.y, b.x + b.width, b.y + b.height, kWhite);
    s.disc(b.x + b.width / 2.0, b.y + b.height / 2.0, 0.3 * b.height, Paint::solid(0xFFBC002Du));
}

} // namespace

void drawFlag(Surface& surface, Flag flag, int x, int y, int width, int height)
{
    Box box{x, y, width, height};
    switch (flag) {
    case Flag::Spanish:
        spain(surface, box);
        break;
    case Flag::English:
        unitedKingdom(surface, box);
        break;
    case Flag::Russian:
        tricolour(surface, box, false, 0xFFD52B1E, 0xFF0039A6, kWhite);
        break;
    case Flag::German:
        tricolour(surface, box, false, 0xFFFFCE00, 0xFFDD0000, 0xFF141414);
        break;
    case Flag::French:
        tricolour(surface, box, true, 0xFF002395, kWhite, 0xFFED2939);
        break;
    case Flag::Portuguese:
        portugal(surface, box);
        break;
    case Flag::Italian:
        tricolour(surface, box, true, 0xFF009246, kWhite, 0xFFCE2B37);
        break;
    case Flag::Japanese:
        japan(surface, box);
        break;
    }
}

void paintFlagStrip(Canvas& canvas, int flagWidth, int flagHeight)
{
    constexpr uint32_t kSheenTop = 0x38FFFFFF;
    constexpr uint32_t kSheenMiddle = 0x00FFFFFF;
    constexpr uint32_t kEdge = 0x30000000;
    Surface& s = canvas.paint();
    for (int i = 0; i < kFlagCount; ++i) {
        int x = i * flagWidth;
        drawFlag(s, static_cast<Flag>(i), x, 0, flagWidth, flagHeight);
        s.fillRectangleVertical(x, flagHeight / 2.0, x + flagWidth, flagHeight, kSheenMiddle, kSheenTop);
        s.roundedRectangleOutline(x, 0, x + flagWidth, flagHeight, 0, 0, 1, Paint::solid(kEdge));
    }
    canvas.render();
}

} // namespace tonvane::skins
