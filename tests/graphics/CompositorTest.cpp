// The compositing rule's integer results and the paints.
#include "graphics/raster/Compositor.h"
#include "graphics/raster/Paint.h"

#include <gtest/gtest.h>

namespace tonvane {
namespace {

// The rule written out plainly, channel by channel.
uint32_t reference(uint32_t d, uint32_t s, uint32_t a)
{
    if (a == 255)
        return s;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t D = (d >> shift) & 0xFF;
        uint32_t c = (s >> shift) & 0xFF;
        out |= ((D * (255 - a) + c * a) >> 8) << shift;
    }
    uint32_t A = d >> 24;
    uint32_t outA = A == 255 ? 255 : A + ((255 - A) * a >> 8);
    return out | outA << 24;
}

TEST(Compositing, AlphaFullCopiesTheSourceWord)
{
    EXPECT_EQ(compositePixel(0x80402010u, 0xFF123456u, 255), 0xFF123456u);
    EXPECT_EQ(compositePixel(0x00000000u, 0xFFFFFFFFu, 255), 0xFFFFFFFFu);
}

TEST(Compositing, AlphaZeroLeavesAlphaAndScalesChannelsBy255Over256)
{
    for (uint32_t c : {0u, 1u, 127u, 128u, 200u, 255u}) {
        uint32_t d = 0x40000000u | c << 16 | c << 8 | c;
        uint32_t expected = (255 * c) / 256;
        uint32_t result = compositePixel(d, 0xFFFFFFFFu, 0);
        EXPECT_EQ(result >> 24, 0x40u);
        EXPECT_EQ((result >> 16) & 0xFF, expected) << c;
        EXPECT_EQ(result & 0xFF, expected) << c;
    }
}

TEST(Compositing, OpaqueDestinationStaysOpaque)
{
    for (uint32_t a = 0; a < 256; a += 17)
        EXPECT_EQ(compositePixel(0xFF336699u, 0x00FFFFFFu, a) >> 24, 0xFFu) << a;
}

TEST(Compositing, MatchesThePlainRuleEverywhere)
{
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int i = 0; i < 200000; ++i) {
        uint32_t d = next();
        uint32_t s = next();
        uint32_t a = next() % 256;
        ASSERT_EQ(compositePixel(d, s | 0xFF000000u, a), reference(d, s | 0xFF000000u, a)) << std::hex << d << " " << s << " " << a;
    }
    // The run form gives the same pixels as one pixel at a time.
    for (uint32_t a : {0u, 1u, 64u, 200u, 254u, 255u}) {
        uint32_t row[64];
        uint32_t expected[64];
        for (int x = 0; x < 64; ++x)
            row[x] = expected[x] = next();
        compositeRun(row, 3, 60, 0xFF8040C0u, a);
        for (int x = 3; x < 60; ++x)
            expected[x] = compositePixel(expected[x], 0xFF8040C0u, a);
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(row[x], expected[x]) << a << " " << x;
    }
}

TEST(Compositing, CoverageScalesTheColourAlpha)
{
    EXPECT_EQ(coveredAlpha(255, 1.0), 255u);
    EXPECT_EQ(coveredAlpha(255, 0.5), 127u);
    EXPECT_EQ(coveredAlpha(255, 0.25), 63u);
    EXPECT_EQ(coveredAlpha(128, 0.5), 64u);
    EXPECT_EQ(coveredAlpha(200, 1.0 - 1e-12), 200u); // area sums one rounding short of full
    EXPECT_EQ(coveredAlpha(255, 0.0), 0u);
}

TEST(Paints, LinearGradientsClampOutsideAndInterpolateInside)
{
    PaintEvaluator vertical(Paint::linearY(0xFF000000u, 0xFFFFFFFFu, 10, 20));
    EXPECT_EQ(vertical.colourAt(0, 5), 0xFF000000u);
    EXPECT_EQ(vertical.colourAt(99, 10), 0xFF000000u);
    EXPECT_EQ(vertical.colourAt(0, 15), 0xFF808080u); // 127.5 rounds up
    EXPECT_EQ(vertical.colourAt(0, 20), 0xFFFFFFFFu);
    EXPECT_EQ(vertical.colourAt(0, 25), 0xFFFFFFFFu);
    EXPECT_TRUE(vertical.constantAlongRow());
    PaintEvaluator reversed(Paint::linearX(0x00FF0000u, 0xFF0000FFu, 8, 4));
    EXPECT_EQ(reversed.colourAt(9, 0), 0x00FF0000u);
    EXPECT_EQ(reversed.colourAt(3, 0), 0xFF0000FFu);
    EXPECT_EQ(reversed.colourAt(6, 0), 0x80800080u);
    EXPECT_FALSE(reversed.constantAlongRow());
    PaintEvaluator degenerate(Paint::linearY(0xFF111111u, 0xFF222222u, 5, 5));
    EXPECT_EQ(degenerate.colourAt(0, 4), 0xFF111111u);
    EXPECT_EQ(degenerate.colourAt(0, 5), 0xFF222222u);
}

TEST(Paints, RadialGradient)
{
    PaintEvaluator radial(Paint::radial(10, 10, 0xFFFFFFFFu, 0xFF000000u, 2, 12));
    EXPECT_EQ(radial.colourAt(10, 10), 0xFFFFFFFFu); // centre
    EXPECT_EQ(radial.colourAt(11, 10), 0xFFFFFFFFu); // inside the inner radius
    EXPECT_EQ(radial.colourAt(17, 10), 0xFF808080u); // d = 7: t = 0.5
    EXPECT_EQ(radial.colourAt(22, 10), 0xFF000000u); // on the outer radius
    EXPECT_EQ(radial.colourAt(19, 19), 0xFF000000u); // inside the square, beyond the circle
    EXPECT_EQ(radial.colourAt(30, 10), 0xFF000000u); // outside the square
}

TEST(Paints, EllipticalGradientStretchesTheSmallerAxis)
{
    PaintEvaluator wide(Paint::elliptical(0, 0, 20, 10, 0xFFFFFFFFu, 0x00000000u));
    EXPECT_EQ(wide.colourAt(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(wide.colourAt(10, 0), 0x80808080u); // d = 10 of 20
    EXPECT_EQ(wide.colourAt(0, 5), 0x80808080u); // 5 along y counts as 10
    EXPECT_EQ(wide.colourAt(0, 10), 0x00000000u);
    PaintEvaluator tall(Paint::elliptical(0, 0, 4, 8, 0xFF000000u, 0xFF0000FFu));
    EXPECT_EQ(tall.colourAt(2, 0), tall.colourAt(0, 4));
    PaintEvaluator flat(Paint::elliptical(0, 0, 4, 0, 0xFF000000u, 0xFF0000FFu));
    EXPECT_EQ(flat.colourAt(0, 0), 0xFF0000FFu); // no area: the edge colour, no division by 0
}

} // namespace
} // namespace tonvane
