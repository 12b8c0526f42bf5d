#include "tools/make-skins/DiscArt.h"

#include <cmath>
#include <numbers>

namespace tonvane::skins {

namespace {

// Proportions of a 120 mm disc, as fractions of its radius.
constexpr double kHole = 0.125;
constexpr double kHub = 0.36;
constexpr double kStackingRing = 0.29;
constexpr double kMinTrackRadius = 30; // [pixels] smaller discs show no tracks

// A coloured glow, strongest at its centre, fading out at radius.
void glow(Surface& s, double x, double y, double radius, uint32_t colour)
{
    s.disc(x, y, radius, Paint::radial(x, y, colour, colour & 0x00FFFFFF, 0, radius));
}

// The data area on a layer of its own, kept inside the ring between hub and rim.
void drawDataSide(Canvas& layer, Canvas& mask, double cx, double cy, double r)
{
    Surface& s = layer.paint();
    s.disc(cx, cy, r, Paint::radial(cx, cy, 0xFFF0F3F7u, 0xFFA2ADBAu, kHub * r, r));
    glow(s, cx + 0.45 * r, cy + 0.5 * r, 0.75 * r, 0x90E49BE8u);
    glow(s, cx - 0.5 * r, cy - 0.45 * r, 0.75 * r, 0x9078D8C8u);
    glow(s, cx - 0.55 * r, cy + 0.4 * r, 0.6 * r, 0x70F4E08Cu);
    glow(s, cx + 0.5 * r, cy - 0.5 * r, 0.6 * r, 0x708CB4F8u);
    // The glint: a fan of faint bars through the centre, denser (brighter) towards the middle.
    constexpr int kBars = 40;
    constexpr double kSpread = 0.5; // [radians]
    for (int i = 0; i < kBars; ++i) {
        double angle = std::numbers::pi / 3 + kSpread * (i - (kBars - 1) / 2.0) / kBars;
        double width = std::max(0.6, 0.03 * r);
        s.roundedRectangle(cx - r, cy - width / 2, cx + r, cy + width / 2, 0, angle, Paint::solid(0x14FFFFFFu));
    }
    if (r >= kMinTrackRadius) {
        for (double track : {0.45, 0.6, 0.75, 0.9})
            s.ring(cx, cy, track * r, 0.6, Paint::solid(0x24FFFFFFu));
    }
    layer.render();
    mask.paint().ring(cx, cy, r, r * (1 - kHub), Paint::solid(0xFFFFFFFFu));
    mask.render();
    layer.keepInside(mask);
}

} // namespace

void drawDisc(Canvas& target, double cx, double cy, double radius)
{
    Surface& s = target.paint();
    double shadowDrop = std::max(0.5, radius * 0.012);
    s.disc(cx, cy - shadowDrop, radius + shadowDrop,
           Paint::radial(cx, cy - shadowDrop, 0x50000000u, 0x00000000u, radius - 2 * shadowDrop, radius + shadowDrop));
    auto x0 = static_cast<int32_t>(std::floor(cx - radius - 0.5));
    auto y0 = static_cast<int32_t>(std::floor(cy - radius - 0.5));
    auto size = static_cast<int32_t>(std::ceil(cx + radius + 0.5)) - x0;
    Canvas& data = target.addLayer(x0, y0, size, size);
    Canvas& mask = target.addLayer(x0, y0, size, size);
    drawDataSide(data, mask, cx, cy, radius);
    target.drawLayer(data);

    double line = std::max(0.7, radius * 0.012);
    s.ring(cx, cy, kHub * radius, (kHub - kHole) * radius, Paint::solid(0xA8D6DDE5u));
    if (radius >= kMinTrackRadius / 2)
        s.ring(cx, cy, kStackingRing * radius, line, Paint::solid(0x80FFFFFFu));
    s.ring(cx, cy, kHub * radius, line, Paint::solid(0x50707C88u));
    s.ring(cx, cy, kHole * radius + line, line, Paint::solid(0xA0707C88u));
    s.ring(cx, cy, radius, line, Paint::solid(0xB08C96A2u));
}

} // namespace tonvane::skins
