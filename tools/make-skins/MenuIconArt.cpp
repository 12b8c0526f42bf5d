#include "tools/make-skins/MenuIconArt.h"

#include "tools/make-skins/FlagArt.h"
#include "tools/make-skins/GlobeArt.h"
#include "tools/make-skins/Strokes.h"

#include <cmath>
#include <numbers>

namespace tonvane::skins {

namespace {

constexpr int kCell = 16; // [pixels]
constexpr int kFlagIcons = 4; // cell of the first flag
constexpr int kGlobeIcon = 12;
constexpr int kHelpIcon = 13;
constexpr double kGlobeTurn = -15 * std::numbers::pi / 180; // [radians] Europe and Africa in front
constexpr double kDegree = std::numbers::pi / 180;

void power(Surface& s, double x)
{
    constexpr uint32_t kRed = 0xFFD0433Au;
    constexpr double kGap = 38 * kDegree; // half the opening at the top
    strokeArc(s, {x + 8, 7.5}, 5.3, std::numbers::pi / 2 + kGap, std::numbers::pi / 2 - kGap + 2 * std::numbers::pi,
              24, 2, Paint::solid(kRed));
    stroke(s, {x + 8, 8}, {x + 8, 14}, 2, Paint::solid(kRed));
}

void floppy(Surface& s, double x)
{
    s.roundedRectangle(x + 1.5, 1.5, x + 14.5, 14.5, 1.6, 0, Paint::linearY(0xFF1F4A80u, 0xFF3B73B9u, 1.5, 14.5));
    s.fillRectangle(x + 4.5, 10, x + 11.5, 14.5, 0xFFD8DEE4u);
    s.fillRectangle(x + 9, 11, x + 10.5, 13.5, 0xFF2A5791u);
    s.roundedRectangle(x + 3.5, 1.5, x + 12.5, 7.5, 0.8, 0, Paint::solid(0xFFF5F7F9u));
    s.fillRectangle(x + 5, 5, x + 11, 5.8, 0xFFB0BAC4u);
    s.fillRectangle(x + 5, 3, x + 11, 3.8, 0xFFB0BAC4u);
}

void sliders(Surface& s, double x)
{
    constexpr double kTracks[3] = {3.5, 8, 12.5};
    constexpr double kKnobs[3] = {10, 5, 8.5};
    for (int i = 0; i < 3; ++i) {
        stroke(s, {x + kTracks[i], 2}, {x + kTracks[i], 14}, 1.4, Paint::solid(0xFF6F7C89u));
        double kx = x + kTracks[i];
        s.roundedRectangle(kx - 2.4, kKnobs[i] - 1.6, kx + 2.4, kKnobs[i] + 1.6, 1, 0,
                           Paint::linearY(0xFF2D63A8u, 0xFF5A95DAu, kKnobs[i] - 1.6, kKnobs[i] + 1.6));
    }
}

// The roof is a square turned a quarter of a right angle and cut at the eaves.
void house(Surface& s, int x)
{
    constexpr int kEaves = 8; // [pixels]
    s.fillRectangle(x + 11, 9, x + 12.8, 14, 0xFF8C4A3Cu);
    s.fillRectangle(x + 3, 1.5, x + 13, kEaves + 1, 0xFFF3E7D0u);
    s.fillRectangle(x + 6.5, 1.5, x + 9.5, 6.5, 0xFF8B5A2Bu);
    s.roundedRectangleOutline(x + 3, 1.5, x + 13, kEaves + 1, 0, 0, 0.8, Paint::solid(0x50000000u));
    if (s.setClip(x, kEaves, x + kCell, kCell)) {
        constexpr double kApex = 6.6; // [pixels] above the eaves, half the square's diagonal
        constexpr double kHalfSide = kApex / std::numbers::sqrt2;
        s.roundedRectangle(x + 8 - kHalfSide, kEaves - kHalfSide, x + 8 + kHalfSide, kEaves + kHalfSide, 0.8,
                           std::numbers::pi / 4, Paint::linearY(0xFFA83A30u, 0xFFD65A48u, kEaves, kEaves + kApex));
        s.setClip(0, 0, s.width(), s.height());
    }
}

void flag(Surface& s, Flag which, int x)
{
    constexpr int kTop = 14;
    constexpr int kBottom = 2;
    drawFlag(s, which, x, kBottom, kCell, kTop - kBottom);
    s.fillRectangleVertical(x, (kTop + kBottom) / 2.0, x + kCell, kTop, 0x00FFFFFFu, 0x30FFFFFFu);
    s.roundedRectangleOutline(x, kBottom, x + kCell, kTop, 0, 0, 1, Paint::solid(0x48000000u));
}

void help(Surface& s, double x)
{
    constexpr uint32_t kInk = 0xFFFFFFFFu;
    s.disc(x + 8, 8, 7.3, Paint::linearY(0xFF245CA8u, 0xFF4F97E0u, 0.7, 15.3));
    Point centre{x + 8, 9.7};
    double radius = 2.5;
    double end = -50 * kDegree;
    strokeArc(s, centre, radius, 160 * kDegree, end, 12, 1.8, Paint::solid(kInk));
    Point arcEnd{centre.x + radius * std::cos(end), centre.y + radius * std::sin(end)};
    strokePolyline(s, {arcEnd, {x + 8, 6.3}, {x + 8, 5.9}}, 1.8, Paint::solid(kInk));
    s.disc(x + 8, 3.2, 1.15, Paint::solid(kInk));
}

} // namespace

void paintMenuIcons(Canvas& canvas)
{
    Surface& s = canvas.paint();
    power(s, 0);
    floppy(s, kCell);
    sliders(s, 2 * kCell);
    house(s, 3 * kCell);
    for (int i = 0; i < kFlagCount; ++i)
        flag(s, static_cast<Flag>(i), (kFlagIcons + i) * kCell);
    drawGlobe(canvas, kGlobeIcon * kCell + 8.0, 8.0, 7, kGlobeTurn);
    help(s, kHelpIcon * kCell);
    canvas.render();
}

} // namespace tonvane::skins
