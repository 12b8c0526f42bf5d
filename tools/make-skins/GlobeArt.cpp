#include "tools/make-skins/GlobeArt.h"

#include <cmath>
#include <numbers>

namespace tonvane::skins {

namespace {

constexpr double kCell = 10 * std::numbers::pi / 180; // [radians] side of one map cell

// Land of a coarse world map in 10 degree cells: row 0 spans latitudes 90 to 80 north,
// column 0 longitudes 180 to 170 west; each entry is a row and a run of columns.
struct LandRun {
    int row;
    int first;
    int last;
};

constexpr LandRun kLand[] = {
    {1, 6, 11},  {1, 12, 15}, {1, 24, 31}, {2, 1, 11},   {2, 13, 15}, {2, 16, 16}, {2, 19, 35},
    {3, 5, 11},  {3, 17, 17}, {3, 18, 31}, {3, 34, 34},  {4, 5, 11},  {4, 17, 31}, {4, 32, 32},
    {5, 6, 10},  {5, 17, 30}, {5, 31, 31}, {6, 7, 9},    {6, 16, 26}, {6, 28, 29}, {7, 9, 9},
    {7, 16, 22}, {7, 25, 25}, {7, 28, 28}, {8, 10, 12},  {8, 17, 21}, {8, 28, 29}, {9, 10, 14},
    {9, 19, 21}, {9, 29, 32}, {10, 10, 13}, {10, 19, 21}, {10, 22, 22}, {10, 30, 32}, {11, 11, 13},
    {11, 19, 20}, {11, 29, 32}, {12, 11, 12}, {12, 19, 19}, {12, 32, 32}, {12, 35, 35}, {13, 11, 11},
    {13, 35, 35}, {14, 11, 11},
};

uint32_t blend(uint32_t from, uint32_t to, double t)
{
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        double a = (from >> shift) & 0xFF;
        double b = (to >> shift) & 0xFF;
        result |= static_cast<uint32_t>(std::lround(a + (b - a) * t)) << shift;
    }
    return result;
}

// Continents as overlapping dots, one per land cell on the visible half, lighter where they
// face the viewer; then kept inside the globe's disc.
void drawLand(Canvas& land, double cx, double cy, double radius, double turn)
{
    constexpr uint32_t kNear = 0xFF7CC35Au;
    constexpr uint32_t kFar = 0xFF2E7D32u;
    Surface& s = land.paint();
    for (const LandRun& run : kLand) {
        double latitude = std::numbers::pi / 2 - (run.row + 0.5) * kCell;
        for (int column = run.first; column <= run.last; ++column) {
            double longitude = -std::numbers::pi + (column + 0.5) * kCell + turn;
            double depth = std::cos(latitude) * std::cos(longitude);
            if (depth < -0.05)
                continue;
            double x = cx + radius * std::cos(latitude) * std::sin(longitude);
            double y = cy + radius * std::sin(latitude);
            double size = radius * kCell * (0.45 + 0.35 * std::sqrt(std::max(depth, 0.0)));
            s.disc(x, y, size, Paint::solid(blend(kFar, kNear, std::max(depth, 0.0))));
        }
    }
    land.render();
}

} // namespace

void drawGlobe(Canvas& target, double cx, double cy, double radius, double turn)
{
    Surface& s = target.paint();
    double highlightX = cx - 0.35 * radius;
    double highlightY = cy + 0.4 * radius;
    s.disc(cx, cy, radius, Paint::radial(highlightX, highlightY, 0xFF6EC6F0u, 0xFF174A8Bu, 0, 1.45 * radius));

    auto x0 = static_cast<int32_t>(std::floor(cx - radius - 0.5));
    auto y0 = static_cast<int32_t>(std::floor(cy - radius - 0.5));
    auto size = static_cast<int32_t>(std::ceil(cx + radius + 0.5)) - x0;
    Canvas& land = target.addLayer(x0, y0, size, size);
    Canvas& mask = target.addLayer(x0, y0, size, size);
    drawLand(land, cx, cy, radius, turn);
    mask.paint().disc(cx, cy, radius, Paint::solid(0xFFFFFFFFu));
    mask.render();
    land.keepInside(mask);
    target.drawLayer(land);

    // Shade towards the night side, a soft highlight, and a rim.
    s.disc(cx, cy, radius, Paint::radial(highlightX, highlightY, 0x00000000u, 0x60001030u, 0.3 * radius, 1.5 * radius));
    s.disc(highlightX, highlightY, 0.45 * radius,
           Paint::radial(highlightX, highlightY, 0x70FFFFFFu, 0x00FFFFFFu, 0, 0.45 * radius));
    s.ring(cx, cy, radius, std::max(0.7, radius * 0.06), Paint::solid(0xC0102A50u));
}

} // namespace tonvane::skins
