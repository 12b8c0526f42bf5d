// render-scene [output.png]: draws a fixed scene with every shape, paint, clip and image path
// of the renderer and writes it as an 8-bit RGBA PNG, so the result can be looked at.
#include "graphics/image/PngEncoder.h"
#include "graphics/surface/Surface.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

using namespace tonvane;

namespace {

constexpr int kWidth = 480; // [pixels]
constexpr int kHeight = 360; // [pixels]

// A 12 x 12 test picture: a colour ramp with a transparent corner and a half-transparent band.
std::vector<uint32_t> makePicture()
{
    std::vector<uint32_t> pixels(12 * 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            uint32_t alpha = (x + y < 5) ? 0 : (y == 6 ? 0x80 : 0xFF);
            uint32_t red = x * 21;
            uint32_t green = y * 21;
            uint32_t blue = (x + y) % 2 ? 0xFF : 0x40;
            pixels[y * 12 + x] = alpha << 24 | red << 16 | green << 8 | blue;
        }
    return pixels;
}

void drawScene(Surface& s, const std::vector<uint32_t>& picture)
{
    s.begin();
    // Frame: window background with a vertical gradient and a rounded border.
    s.roundedRectangle(0, 0, kWidth, kHeight, 10, 0, Paint::linearY(0xFFE8ECF2u, 0xFFC8D0DCu, 0, kHeight));
    s.roundedRectangleOutline(0.5, 0.5, kWidth - 0.5, kHeight - 0.5, 10, 0, 1.5, Paint::solid(0xFF506070u));

    // Row 1 (top): rectangle fills with the five paints, whole and fractional edges.
    double top = kHeight - 20;
    s.fillRectangle(20, top - 60, 90, top, 0xFF3070C0u);
    s.fillRectangleVertical(100.5, top - 60.5, 170.5, top - 0.5, 0xFFFF0000u, 0xFF0000FFu);
    s.fillRectangleHorizontal(180.25, top - 60, 250.75, top, 0xFF00C000u, 0x2000C000u);
    s.fillRectangleRadial(260, top - 60, 330, top, 295, top - 30, 0xFFFFFF00u, 0xFF800000u, 5, 35);
    s.fillRectangleElliptical(340, top - 60, 460, top, 400, top - 30, 60, 30, 0xFFFFFFFFu, 0xFF004080u);

    // Row 2: discs and rings with gradients, a ring wide enough to be a disc, tiny shapes.
    double mid = top - 110;
    s.disc(55, mid, 35, Paint::radial(45, mid + 10, 0xFFFFFFFFu, 0xFF2060A0u, 0, 45));
    s.ring(140, mid, 35, 6, Paint::linearX(0xFFFF8000u, 0xFF8000FFu, 105, 175));
    s.ring(215, mid, 25, 30, Paint::solid(0xC0008040u));
    s.disc(265.3, mid + 10.7, 2.4, Paint::solid(0xFF000000u));
    s.disc(275.5, mid + 10.5, 0.8, Paint::solid(0xFF000000u));
    s.ring(300, mid, 18.4, 1.25, Paint::solid(0xFF000000u));
    s.disc(380, mid, 40, Paint::elliptical(380, mid, 40, 20, 0xFFFFFF80u, 0x00FF0000u));

    // Row 3: rounded rectangles upright and rotated both ways, outlines, a filled outline.
    double low = mid - 110;
    s.roundedRectangle(20, low - 30, 110, low + 30, 12, 0, Paint::linearY(0xFF90C0F0u, 0xFF3060A0u, low - 30, low + 30));
    s.roundedRectangle(130, low - 25, 210, low + 25, 10, 0.4, Paint::solid(0xD0C04040u));
    s.roundedRectangleOutline(230, low - 25, 310, low + 25, 10, -0.4, 3, Paint::solid(0xFF202020u));
    s.roundedRectangleOutline(330, low - 30, 400, low + 30, 14, 0, 2, Paint::linearX(0xFF00A0A0u, 0xFFA000A0u, 330, 400));
    s.roundedRectangleOutline(420, low - 15, 450, low + 15, 4, 0, 20, Paint::solid(0xFF608020u));

    // Row 4 (bottom): progress bar pieces that tile, images on every path, and a clip.
    double base = 20;
    s.roundedRectangle(20, base, 220, base + 14, 7, 0, Paint::solid(0xFFB0B8C0u));
    s.fillRectangleHorizontal(27, base + 2, 127.35, base + 12, 0xFF40A040u, 0xFF80E080u);
    s.fillRectangle(127.35, base + 2, 213, base + 12, 0xFFE0E4E8u);
    ImageView view{12, 12, 12, picture.data()};
    s.drawImage(240, base, view, 1);
    s.drawImage(260, base, view, 0.5);
    s.drawImage(280.5, base + 0.25, view, 1);
    s.drawImageScaled(300, base, 348, base + 48, view, 1);
    s.drawImageScaled(360.3, base + 3.3, 366.3, base + 9.3, view, 1);
    s.setOrigin(380, base);
    if (s.setClip(0, 0, 60, 30)) {
        s.disc(30, 15, 28, Paint::radial(30, 15, 0xFFFF0000u, 0xFF0000FFu, 0, 28));
        s.drawImageScaled(10, 5, 70, 45, view, 0.75);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "scene.png";
    Surface surface;
    if (!surface.setSize(kWidth, kHeight)) {
        std::fprintf(stderr, "render-scene: no memory for the surface\n");
        return 1;
    }
    std::vector<uint32_t> picture = makePicture();
    drawScene(surface, picture);
    surface.render();
    if (!writeSurfacePng(surface, kWidth, kHeight, path)) {
        std::fprintf(stderr, "render-scene: cannot write %s\n", path);
        return 1;
    }
    std::printf("%s: %d x %d\n", path, kWidth, kHeight);
    return 0;
}
