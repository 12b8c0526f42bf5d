// Randomised shapes: coverage against the independent oracle, the replayed pixels against the
// compositing rule applied to that coverage, and extreme geometry that must stay harmless.
#include "CoverageTestSupport.h"
#include "graphics/raster/OutlineRasteriser.h"
#include "graphics/raster/ShapeOutline.h"
#include "graphics/surface/Surface.h"

#include <gtest/gtest.h>

#include <numbers>
#include <random>

namespace tonvane {
namespace {

using namespace tonvane::testing;

constexpr int kSize = 48;

struct RandomShape {
    int kind = 0; // 0 disc, 1 ring, 2 rounded rectangle, 3 outline
    double a = 0, b = 0, c = 0, d = 0, e = 0, angle = 0, line = 0;

    void build(ShapeOutline& shape) const
    {
        switch (kind) {
        case 0:
            shape.addCircle(a, b, c, false);
            break;
        case 1:
            shape.addRing(a, b, c, line);
            break;
        case 2:
            shape.addRoundedRectangle(a, b, c, d, e, angle, false);
            break;
        default:
            shape.addRoundedRectangleOutline(a, b, c, d, e, angle, line);
            break;
        }
    }
    CrossSection oracle() const
    {
        double turned = angle < 0 ? angle + 2 * std::numbers::pi : angle;
        switch (kind) {
        case 0:
            return discSection(a, b, c);
        case 1:
            return ringSection(a, b, c, line);
        case 2:
            return roundedRectSection(a, b, c, d, e, turned);
        default:
            return outlineSection(a, b, c, d, e, turned, line);
        }
    }
};

RandomShape randomShape(std::mt19937& random)
{
    std::uniform_real_distribution<double> position(4, kSize - 4);
    std::uniform_real_distribution<double> size(0.5, 30);
    std::uniform_real_distribution<double> unit(0, 1);
    RandomShape s;
    s.kind = static_cast<int>(random() % 4);
    s.a = position(random);
    s.b = position(random);
    if (s.kind <= 1) {
        s.c = size(random) / 2;
        s.line = unit(random) * s.c * 1.2;
        return s;
    }
    s.a -= 12;
    s.b -= 12;
    s.c = size(random);
    s.d = size(random);
    s.e = unit(random) * std::min(s.c, s.d) * 0.7;
    s.angle = unit(random) < 0.4 ? 0 : (unit(random) * 4 - 2) * std::numbers::pi;
    s.line = unit(random) * 6;
    return s;
}

TEST(RandomShapes, CoverageMatchesTheOracle)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 24; ++round) {
        RandomShape s = randomShape(random);
        SCOPED_TRACE(::testing::Message() << "kind " << s.kind << " " << s.a << " " << s.b << " " << s.c << " "
                                          << s.d << " e " << s.e << " angle " << s.angle << " line " << s.line);
        ShapeOutline shape;
        s.build(shape);
        CoverageGrid grid(kSize, kSize);
        Scratch scratch(kSize);
        rasteriseOutline(shape, {0, kSize, 0, kSize}, scratch.get(), grid);
        CrossSection oracle = s.oracle();
        double worst = 0;
        for (int y = 0; y < kSize; ++y) {
            std::vector<double> expected = integratedRow(oracle, y, kSize, 256);
            for (int x = 0; x < kSize; ++x)
                worst = std::max(worst, std::fabs(grid.at(x, y) - expected[x]));
        }
        EXPECT_LE(worst, 1.0 / 255);
    }
}

TEST(RandomShapes, ReplayedPixelsFollowTheRuleOnTheCoverage)
{
    std::mt19937 random(77);
    for (int round = 0; round < 12; ++round) {
        RandomShape s = randomShape(random);
        ShapeOutline shape;
        s.build(shape);
        CoverageGrid grid(kSize, kSize);
        Scratch scratch(kSize);
        rasteriseOutline(shape, {0, kSize, 0, kSize}, scratch.get(), grid);

        Surface surface(2);
        ASSERT_TRUE(surface.setSize(kSize, kSize));
        surface.begin();
        surface.fillRectangle(0, 0, kSize, kSize, 0xFF204080u);
        Paint paint = Paint::solid(0xE0F0C010u);
        switch (s.kind) {
        case 0:
            surface.disc(s.a, s.b, s.c, paint);
            break;
        case 1:
            surface.ring(s.a, s.b, s.c, s.line, paint);
            break;
        case 2:
            surface.roundedRectangle(s.a, s.b, s.a + s.c, s.b + s.d, s.e, s.angle, paint);
            break;
        default:
            surface.roundedRectangleOutline(s.a, s.b, s.a + s.c, s.b + s.d, s.e, s.angle, s.line, paint);
            break;
        }
        surface.render();
        // The painter cuts radii and widths to thousandths; compare only where that cannot
        // matter, i.e. allow one alpha step.
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                double c = grid.at(x, y);
                uint32_t got = surface.pixel(x, y);
                if (c <= kCoverageEpsilon) {
                    ASSERT_EQ(got, 0xFF204080u) << x << "," << y;
                    continue;
                }
                uint32_t a = coveredAlpha(0xE0, c);
                bool near = false;
                for (uint32_t candidate : {a, a - 1, a + 1})
                    near = near || got == compositePixel(0xFF204080u, 0xE0F0C010u, std::min(candidate, 0xE0u));
                ASSERT_TRUE(near) << x << "," << y << " coverage " << c;
            }
    }
}

TEST(RandomShapes, ExtremeGeometryIsHarmless)
{
    std::mt19937 random(5);
    const double extremes[] = {0, -0.0, 1e-300, -1e-9, 1e9, -1e9, 1e300, -1e300, 0.5, 3, 2147483647.0, -2147483648.0};
    auto pick = [&] { return extremes[random() % std::size(extremes)]; };
    Surface surface(3);
    ASSERT_TRUE(surface.setSize(40, 30));
    surface.begin();
    surface.fillRectangle(0, 0, 40, 30, 0xFF000000u);
    ASSERT_TRUE(surface.setClip(5, 5, 35, 25));
    Paint paint = Paint::radial(pick(), pick(), 0xFFFFFFFFu, 0x80FF0000u, pick(), pick());
    for (int i = 0; i < 400; ++i) {
        surface.disc(pick(), pick(), pick(), paint);
        surface.ring(pick(), pick(), pick(), pick(), Paint::linearY(0xFF00FF00u, 0, pick(), pick()));
        surface.roundedRectangle(pick(), pick(), pick(), pick(), pick(), pick(), Paint::solid(0xFF0000FFu));
        surface.roundedRectangleOutline(pick(), pick(), pick(), pick(), pick(), pick(), pick(),
                                        Paint::elliptical(pick(), pick(), pick(), pick(), 0xFFFFFF00u, 0));
        surface.fillRectangle(pick(), pick(), pick(), pick(), 0x40FFFFFFu);
        surface.setOrigin(random() % 3 - 1.0, random() % 3 - 1.0);
    }
    surface.render();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            if (x < 5 || x >= 35 || y < 5 || y >= 25) {
                ASSERT_EQ(surface.pixel(x, y), 0xFF000000u) << x << "," << y;
            }
}

} // namespace
} // namespace tonvane
