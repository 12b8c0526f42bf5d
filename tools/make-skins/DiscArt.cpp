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
constexpr double kSmallRadius = 20; // [pixels] smaller discs get stronger colours and edges

// Colours of a disc, with more contrast for icon sizes where pale detail would vanish.
struct DiscColours {
    uint32_t silverEdge;
    uint32_t glowAlpha; // [alpha << 24]
    uint32_t hub;
    uint32_t holeEdge;
    uint32_t rim;
};

DiscColours coloursFor(double radius)
{
    if (radius < kSmallRadius)
        return {0xFF8491A1u, 0xC0000000u, 0xC0B8C2CCu, 0xF0505A66u, 0xE0667280u};
    return {0xFFA2ADBAu, 0x90000000u, 0xA8D6DDE5u, 0xA0707C88u, 0xB08C96A2u};
}

// A coloured glow, strongest at its centre, fading out at radius.
void glow(Surface& s, double x, double y, double radius, uint32_t colour)
{
    s.disc(x, y, radius, Paint::radial(x, y, colour, colour & 0x00FFFFFF, 0, radius));
}

// The data area on a layer of its own, kept inside the ring between hub and rim.
void drawDataSide(Canvas& layer, Canvas& mask, double cx, double cy, double r, const DiscColours& colours)
{
    Surface& s = layer.paint();
    s.disc(cx, cy, r, Paint::radial(cx, cy, 0xFFF0F3F7u, colours.silverEdge, kHub * r, r));
    glow(s, cx + 0.45 * r, cy + 0.5 * r, 0.75 * r, colours.glowAlpha | 0xE49BE8u);
    glow(s, cx - 0.5 * r, cy - 0.45 * r, 0.75 * r, colours.glowAlpha | 0x78D8C8u);
    glow(s, cx - 0.55 * r, cy + 0.4 * r, 0.6 * r, (colours.glowAlpha - 0x20000000u) | 0xF4E08Cu);
    glow(s, cx + 0.5 * r, cy - 0.5 * r, 0.6 * r, (colours.glowAlpha - 0x20000000u) | 0x8CB4F8u);
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
    DiscColours colours = coloursFor(radius);
    drawDataSide(data, mask, cx, cy, radius, colours);
    target.drawLayer(data);

    double line = std::max(radius < kSmallRadius ? 1.0 : 0.7, radius * 0.012);
    s.ring(cx, cy, kHub * radius, (kHub - kHole) * radius, Paint::solid(colours.hub));
    if (radius >= kMinTrackRadius / 2)
        s.ring(cx, cy, kStackingRing * radius, line, Paint::solid(0x80FFFFFFu));
    s.ring(cx, cy, kHub * radius, line, Paint::solid(0x50707C88u));
    s.ring(cx, cy, kHole * radius + line, line, Paint::solid(colours.holeEdge));
    s.ring(cx, cy, radius, line, Paint::solid(colours.rim));
}

} // namespace tonvane::skins
