// Coverage of discs, rings, rounded rectangles and their outlines against areas integrated
// independently from each shape's exact cross-sections.
#include "CoverageTestSupport.h"
#include "graphics/raster/OutlineRasteriser.h"
#include "graphics/raster/RectangleRasteriser.h"
#include "graphics/raster/ShapeOutline.h"

#include <gtest/gtest.h>

#include <numbers>

namespace tonvane {
namespace {

using namespace tonvane::testing;

constexpr double kTolerance = 1.0 / 255;
constexpr int kSize = 64;

struct Worst {
    double difference = 0;
    int x = -1;
    int y = -1;
};

// Rasterises the outline over the whole grid and compares every pixel with the oracle.
Worst compare(const ShapeOutline& shape, const CrossSection& oracle, int size = kSize)
{
    CoverageGrid grid(size, size);
    Scratch scratch(size);
    rasteriseOutline(shape, RasterWindow{0, size, 0, size}, scratch.get(), grid);
    Worst worst;
    for (int y = 0; y < size; ++y) {
        std::vector<double> expected = integratedRow(oracle, y, size);
        for (int x = 0; x < size; ++x) {
            double difference = std::fabs(grid.at(x, y) - expected[x]);
            if (difference > worst.difference)
                worst = {difference, x, y};
        }
    }
    EXPECT_EQ(grid.writesOutside, 0);
    return worst;
}

#define EXPECT_EXACT(shape, oracle)                                                                                \
    do {                                                                                                           \
        Worst worst = compare(shape, oracle);                                                                      \
        EXPECT_LE(worst.difference, kTolerance) << "worst pixel " << worst.x << "," << worst.y;                   \
    } while (0)

TEST(ShapeCoverage, DiscsOfManySizesAndPositions)
{
    const double cases[][3] = {{32, 32, 20}, {31.3, 30.77, 17.25}, {10.5, 50.5, 0.4}, {20.1, 20.9, 2.7},
                               {33.33, 29.1, 29.0}, {5, 5, 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "disc " << c[0] << "," << c[1] << " r " << c[2]);
        ShapeOutline shape;
        shape.addCircle(c[0], c[1], c[2], false);
        EXPECT_EXACT(shape, discSection(c[0], c[1], c[2]));
    }
}

TEST(ShapeCoverage, RingsIncludingOneThatBecomesADisc)
{
    const double cases[][4] = {{32, 32, 20, 3}, {30.4, 33.6, 15.5, 0.7}, {28.2, 31.9, 12, 12}, {30, 30, 8, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "ring r " << c[2] << " w " << c[3]);
        ShapeOutline shape;
        shape.addRing(c[0], c[1], c[2], c[3]);
        EXPECT_EXACT(shape, ringSection(c[0], c[1], c[2], c[3]));
    }
    // Width at least the radius: the same coverage as the disc.
    ShapeOutline ring;
    ring.addRing(31.5, 30.25, 10, 10);
    ShapeOutline disc;
    disc.addCircle(31.5, 30.25, 10, false);
    CoverageGrid a(kSize, kSize);
    CoverageGrid b(kSize, kSize);
    Scratch scratch(kSize);
    rasteriseOutline(ring, {0, kSize, 0, kSize}, scratch.get(), a);
    rasteriseOutline(disc, {0, kSize, 0, kSize}, scratch.get(), b);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            ASSERT_EQ(a.at(x, y), b.at(x, y)) << x << "," << y;
}

TEST(ShapeCoverage, RoundedRectanglesUpright)
{
    const double cases[][5] = {{8, 8, 40, 30, 6}, {7.3, 9.6, 41.45, 22.2, 5.5}, {10.5, 12.25, 20, 20, 10},
                               {4.1, 6.7, 50, 3.2, 4}, {12, 14, 30, 30, 0.3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "rounded " << c[0] << "," << c[1] << " " << c[2] << "x" << c[3]
                                          << " e " << c[4]);
        ShapeOutline shape;
        shape.addRoundedRectangle(c[0], c[1], c[2], c[3], c[4], 0, false);
        EXPECT_EXACT(shape, roundedRectSection(c[0], c[1], c[2], c[3], c[4], 0));
    }
}

TEST(ShapeCoverage, RoundedRectanglesRotatedBothWays)
{
    const double angles[] = {0.3, 1.2, std::numbers::pi / 2, 2.5, -0.7, -2 * std::numbers::pi + 0.4};
    for (double angle : angles) {
        SCOPED_TRACE(::testing::Message() << "angle " << angle);
        ShapeOutline shape;
        shape.addRoundedRectangle(14.3, 20.1, 34.5, 21.7, 5.25, angle, false);
        double oracleAngle = angle < 0 ? angle + 2 * std::numbers::pi : angle;
        EXPECT_EXACT(shape, roundedRectSection(14.3, 20.1, 34.5, 21.7, 5.25, oracleAngle));
    }
    // A negative angle is the same shape as that angle plus a full turn.
    ShapeOutline negative;
    negative.addRoundedRectangle(14.3, 20.1, 34.5, 21.7, 5.25, -0.7, false);
    ShapeOutline positive;
    positive.addRoundedRectangle(14.3, 20.1, 34.5, 21.7, 5.25, -0.7 + 2 * std::numbers::pi, false);
    CoverageGrid a(kSize, kSize);
    CoverageGrid b(kSize, kSize);
    Scratch scratch(kSize);
    rasteriseOutline(negative, {0, kSize, 0, kSize}, scratch.get(), a);
    rasteriseOutline(positive, {0, kSize, 0, kSize}, scratch.get(), b);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            ASSERT_NEAR(a.at(x, y), b.at(x, y), 1e-9) << x << "," << y;
}

TEST(ShapeCoverage, RoundedRectangleOutlines)
{
    struct Case {
        double x, y, w, h, e, angle, line;
    };
    const Case cases[] = {
        {6.5, 8.25, 44, 30, 8, 0, 2.5},
        {9.1, 10.3, 40.2, 28.9, 3, 0, 4.75}, // line wider than the corner radius
        {14, 18, 30, 22, 6, 0.45, 1.5}, // rotated
        {20.2, 20.7, 12, 16, 5, 0, 9}, // no room inside: filled
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "outline line " << c.line << " angle " << c.angle);
        ShapeOutline shape;
        shape.addRoundedRectangleOutline(c.x, c.y, c.w, c.h, c.e, c.angle, c.line);
        EXPECT_EXACT(shape, outlineSection(c.x, c.y, c.w, c.h, c.e, c.angle, c.line));
    }
}

TEST(ShapeCoverage, OutlineTooThickIsTheFilledShape)
{
    ShapeOutline outline;
    outline.addRoundedRectangleOutline(10.2, 11.7, 20, 14, 3, 0, 15);
    ShapeOutline filled;
    filled.addRoundedRectangle(10.2, 11.7, 20, 14, 3, 0, false);
    CoverageGrid a(kSize, kSize);
    CoverageGrid b(kSize, kSize);
    Scratch scratch(kSize);
    rasteriseOutline(outline, {0, kSize, 0, kSize}, scratch.get(), a);
    rasteriseOutline(filled, {0, kSize, 0, kSize}, scratch.get(), b);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            ASSERT_EQ(a.at(x, y), b.at(x, y)) << x << "," << y;
}

TEST(ShapeCoverage, RadiusZeroRoundedRectangleEqualsTheRectangle)
{
    const double rect[4] = {5.37, 7.81, 30.12, 20.66};
    ShapeOutline shape;
    shape.addRoundedRectangle(rect[0], rect[1], rect[2], rect[3], 0, 0, false);
    CoverageGrid rounded(kSize, kSize);
    CoverageGrid plain(kSize, kSize);
    Scratch scratch(kSize);
    rasteriseOutline(shape, {0, kSize, 0, kSize}, scratch.get(), rounded);
    rasteriseRectangle(rect[0], rect[1], rect[2], rect[3], {0, kSize, 0, kSize}, plain);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            ASSERT_NEAR(rounded.at(x, y), plain.at(x, y), 1e-9) << x << "," << y;
}

TEST(ShapeCoverage, WindowLimitsEveryWrite)
{
    // Only the window's columns and rows are written, with the same values as unclipped.
    ShapeOutline shape;
    shape.addRoundedRectangleOutline(3.3, 4.4, 50.1, 40.2, 9, 0.8, 3);
    CoverageGrid full(kSize, kSize);
    CoverageGrid clipped(kSize, kSize);
    Scratch scratch(kSize);
    rasteriseOutline(shape, {0, kSize, 0, kSize}, scratch.get(), full);
    RasterWindow window{17, 41, 22, 35};
    rasteriseOutline(shape, window, scratch.get(), clipped);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            bool inside = x >= window.x0 && x < window.x1 && y >= window.y0 && y < window.y1;
            ASSERT_NEAR(clipped.at(x, y), inside ? full.at(x, y) : 0.0, 1e-12) << x << "," << y;
        }
    // A shape wholly outside the window writes nothing.
    CoverageGrid untouched(kSize, kSize);
    ShapeOutline far;
    far.addCircle(10, 10, 5, false);
    rasteriseOutline(far, RasterWindow{0, kSize, 30, 40}, scratch.get(), untouched);
    rasteriseOutline(far, RasterWindow{20, 40, 0, kSize}, scratch.get(), untouched);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            ASSERT_EQ(untouched.at(x, y), 0.0);
}

TEST(ShapeCoverage, HugeAndDegenerateGeometryStaysInsideTheWindow)
{
    Scratch scratch(kSize);
    CoverageGrid grid(kSize, kSize);
    ShapeOutline huge;
    huge.addCircle(1e12, -3e11, 1e13, false);
    rasteriseOutline(huge, {0, kSize, 0, kSize}, scratch.get(), grid);
    ShapeOutline thin;
    thin.addRoundedRectangle(-1e9, 10, 2e9, 1e-6, 0.5, 0.1, false);
    rasteriseOutline(thin, {0, kSize, 0, kSize}, scratch.get(), grid);
    rasteriseRectangle(-1e300, -1e300, 1e308, 1e308, {0, kSize, 0, kSize}, grid);
    EXPECT_EQ(grid.writesOutside, 0);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            ASSERT_TRUE(grid.at(x, y) >= 0 && grid.at(x, y) <= 3.0 + 1e-9);
}

} // namespace
} // namespace tonvane
