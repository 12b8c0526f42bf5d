#include "tools/make-skins/EncoderBadgeArt.h"

#include "tools/make-skins/StrokeFont.h"
#include "tools/make-skins/Strokes.h"

#include <cmath>
#include <numbers>
#include <string_view>

namespace tonvane::skins {

namespace {

// Laid out on a 48-pixel badge; other sizes scale.
constexpr double kDesignSize = 48; // [pixels]
constexpr uint32_t kInk = 0xFFFFFFFF;
constexpr uint32_t kInkShadow = 0x48000000;
constexpr uint32_t kDetail = 0xB0FFFFFF;

enum class Motif { Bars, Wave, Caption, Rings };

struct Badge {
    std::string_view label;
    double unitX; // [pixels] letter grid on the design size
    double weight; // [pixels]
    uint32_t top;
    uint32_t bottom;
    Motif motif;
};

constexpr Badge kBadges[] = {
    {"MP3", 2.0, 3.0, 0xFFF39C3D, 0xFFCC5200, Motif::Bars},
    {"OGG", 2.0, 3.0, 0xFF3CBFA4, 0xFF13806A, Motif::Caption},
    {"FLAC", 1.6, 2.6, 0xFF5B93E0, 0xFF2254A8, Motif::Bars},
    {"WAV", 1.9, 3.0, 0xFF95A3B3, 0xFF4D5B6B, Motif::Wave},
    {"OPUS", 1.45, 2.5, 0xFFB58AE6, 0xFF6B3FB0, Motif::Rings},
};

// Bar heights of the little level meter, in design pixels.
constexpr double kBarHeights[] = {3, 5.5, 7.5, 5, 8, 6, 4, 6.5, 3.5};

void drawMotif(Surface& s, Motif motif, double x, double scale)
{
    double bottom = 9 * scale;
    if (motif == Motif::Bars) {
        constexpr double kPitch = 3.6;
        double left = x + (kDesignSize - kPitch * (std::size(kBarHeights) - 1)) / 2 * scale;
        for (size_t i = 0; i < std::size(kBarHeights); ++i) {
            double cx = left + i * kPitch * scale;
            s.roundedRectangle(cx - 1.1 * scale, bottom, cx + 1.1 * scale, bottom + kBarHeights[i] * scale,
                               0.8 * scale, 0, Paint::solid(kDetail));
        }
    } else if (motif == Motif::Wave) {
        std::vector<Point> wave;
        constexpr int kSteps = 48;
        for (int i = 0; i <= kSteps; ++i) {
            double t = static_cast<double>(i) / kSteps;
            double envelope = std::sin(std::numbers::pi * t);
            wave.push_back({x + (9 + 30 * t) * scale,
                            bottom + (4 + 3.5 * envelope * std::sin(2 * std::numbers::pi * 3 * t)) * scale});
        }
        strokePolyline(s, wave, 1.6 * scale, Paint::solid(kDetail));
    } else if (motif == Motif::Rings) {
        // A point sounding both ways: a dot with three arcs to each side.
        const Point centre{x + kDesignSize / 2 * scale, bottom + 4.5 * scale};
        constexpr double kHalfAngle = 0.6; // [radians]
        s.roundedRectangle(centre.x - 1.3 * scale, centre.y - 1.3 * scale, centre.x + 1.3 * scale,
                           centre.y + 1.3 * scale, 1.3 * scale, 0, Paint::solid(kDetail));
        for (double radius : {4.0, 7.0, 10.0}) {
            strokeArc(s, centre, radius * scale, -kHalfAngle, kHalfAngle, 8, 1.3 * scale, Paint::solid(kDetail));
            strokeArc(s, centre, radius * scale, std::numbers::pi - kHalfAngle, std::numbers::pi + kHalfAngle, 8,
                      1.3 * scale, Paint::solid(kDetail));
        }
    } else {
        LetterStyle small{0.9 * scale, 0.9 * scale, 1.25 * scale, 1.3 * scale};
        double width = textWidth("VORBIS", small);
        drawText(s, "VORBIS", x + (kDesignSize * scale - width) / 2, bottom + 1 * scale, small,
                 Paint::solid(kDetail));
    }
}

void drawBadge(Surface& s, const Badge& badge, double x, double size)
{
    double scale = size / kDesignSize;
    double inset = 2 * scale;
    double radius = 9 * scale;
    s.roundedRectangle(x + inset, inset, x + size - inset, size - inset, radius, 0,
                       Paint::linearY(badge.bottom, badge.top, inset, size - inset));
    s.roundedRectangle(x + inset + 2 * scale, size / 2, x + size - inset - 2 * scale, size - inset - 2 * scale,
                       radius - 2 * scale, 0,
                       Paint::linearY(0x00FFFFFF, 0x40FFFFFF, size / 2, size - inset - 2 * scale));
    s.roundedRectangleOutline(x + inset, inset, x + size - inset, size - inset, radius, 0, std::max(1.0, scale),
                              Paint::solid(0x40000000));

    LetterStyle style{badge.unitX * scale, 2.2 * scale, badge.weight * scale, 1.8 * scale};
    double left = x + (size - textWidth(badge.label, style)) / 2;
    double baseline = 22.5 * scale;
    drawText(s, badge.label, left, baseline - scale, style, Paint::solid(kInkShadow));
    drawText(s, badge.label, left, baseline, style, Paint::solid(kInk));
    drawMotif(s, badge.motif, x, scale);
}

} // namespace

void paintEncoderBadges(Canvas& canvas, int badgeSize)
{
    for (size_t i = 0; i < std::size(kBadges); ++i)
        drawBadge(canvas.paint(), kBadges[i], static_cast<double>(i) * badgeSize, badgeSize);
    canvas.render();
}

} // namespace tonvane::skins
