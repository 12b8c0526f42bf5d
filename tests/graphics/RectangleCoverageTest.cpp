// Exact separable rectangle coverage and seamless tiling of adjacent pieces.
#include "CoverageTestSupport.h"
#include "graphics/raster/OutlineRasteriser.h"
#include "graphics/raster/RectangleRasteriser.h"
#include "graphics/raster/ShapeOutline.h"

#include <gtest/gtest.h>

namespace tonvane {
namespace {

using namespace tonvane::testing;

constexpr int kSize = 32;
const RasterWindow kWhole{0, kSize, 0, kSize};

CoverageGrid rectangle(double x, double y, double w, double h, RasterWindow window = kWhole)
{
    CoverageGrid grid(kSize, kSize);
    rasteriseRectangle(x, y, w, h, window, grid);
    EXPECT_EQ(grid.writesOutside, 0);
    return grid;
}

double exactArea(double x, double y, double w, double h, int i, int j)
{
    double ox = std::max(0.0, std::min(x + w, i + 1.0) - std::max(x, double(i)));
    double oy = std::max(0.0, std::min(y + h, j + 1.0) - std::max(y, double(j)));
    return ox * oy;
}

TEST(RectangleCoverage, WholeEdgesGiveOnlyFullPixels)
{
    CoverageGrid grid = rectangle(3, 4, 10, 6);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            EXPECT_EQ(grid.at(x, y), (x >= 3 && x < 13 && y >= 4 && y < 10) ? 1.0 : 0.0) << x << "," << y;
}

TEST(RectangleCoverage, HalfPixelShiftGivesHalfEdgesAndQuarterCorners)
{
    CoverageGrid grid = rectangle(3.5, 4.5, 10, 6);
    EXPECT_DOUBLE_EQ(grid.at(3, 4), 0.25);
    EXPECT_DOUBLE_EQ(grid.at(13, 4), 0.25);
    EXPECT_DOUBLE_EQ(grid.at(3, 10), 0.25);
    EXPECT_DOUBLE_EQ(grid.at(13, 10), 0.25);
    for (int x = 4; x < 13; ++x) {
        EXPECT_DOUBLE_EQ(grid.at(x, 4), 0.5);
        EXPECT_DOUBLE_EQ(grid.at(x, 10), 0.5);
    }
    for (int y = 5; y < 10; ++y) {
        EXPECT_DOUBLE_EQ(grid.at(3, y), 0.5);
        EXPECT_DOUBLE_EQ(grid.at(13, y), 0.5);
        EXPECT_DOUBLE_EQ(grid.at(8, y), 1.0);
    }
}

TEST(RectangleCoverage, ThinAndTinyRectanglesGetTheirArea)
{
    CoverageGrid thin = rectangle(7.2, 2, 0.3, 5);
    EXPECT_NEAR(thin.at(7, 3), 0.3, 1e-12);
    EXPECT_EQ(thin.at(6, 3), 0.0);
    EXPECT_EQ(thin.at(8, 3), 0.0);
    CoverageGrid tiny = rectangle(5.1, 6.6, 0.25, 0.3);
    EXPECT_NEAR(tiny.at(5, 6), 0.075, 1e-12);
    CoverageGrid flat = rectangle(2.5, 9.7, 6, 0.2);
    EXPECT_NEAR(flat.at(2, 9), 0.1, 1e-12);
    EXPECT_NEAR(flat.at(4, 9), 0.2, 1e-12);
}

TEST(RectangleCoverage, ArbitraryRectanglesMatchTheExactArea)
{
    const double cases[][4] = {{1.37, 2.91, 13.25, 7.6}, {0.01, 0.99, 30.5, 0.02}, {-4.5, -3.3, 12.1, 40}, {20.9, 1.1, 0.05, 29}};
    for (const auto& c : cases) {
        CoverageGrid grid = rectangle(c[0], c[1], c[2], c[3]);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                ASSERT_NEAR(grid.at(x, y), exactArea(c[0], c[1], c[2], c[3], x, y), 1e-12) << x << "," << y;
    }
}

TEST(RectangleCoverage, OutsideTheWindowNothingIsWritten)
{
    CoverageGrid above = rectangle(2, 2, 5, 5, RasterWindow{0, kSize, 10, 20});
    CoverageGrid right = rectangle(2, 2, 5, 5, RasterWindow{8, kSize, 0, kSize});
    CoverageGrid empty = rectangle(2, 2, 0, 5);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            ASSERT_EQ(above.at(x, y), 0.0);
            ASSERT_EQ(right.at(x, y), 0.0);
            ASSERT_EQ(empty.at(x, y), 0.0);
        }
}

TEST(Tiling, RectanglesSharingAFractionalEdgeLeaveNoSeam)
{
    CoverageGrid grid(kSize, kSize);
    rasteriseRectangle(2.25, 3.5, 9.45, 12.3, kWhole, grid); // right edge at 11.7
    rasteriseRectangle(11.7, 3.5, 8.8, 12.3, kWhole, grid);
    for (int y = 4; y < 15; ++y) {
        EXPECT_NEAR(grid.at(11, y), 1.0, 1e-12) << "row " << y;
        for (int x = 3; x < 20; ++x)
            EXPECT_NEAR(grid.at(x, y), 1.0, 1e-12) << x << "," << y;
    }
}

TEST(Tiling, RoundedRectanglesSideBySideLeaveNoSeam)
{
    // Two rounded panels meeting at x = 14.37 and two stacked at y = 16.61: along the shared
    // straight sides the summed coverage is 1.
    CoverageGrid grid(kSize, kSize);
    Scratch scratch(kSize);
    ShapeOutline left;
    left.addRoundedRectangle(2.1, 3.3, 12.27, 24.5, 3.5, 0, false);
    ShapeOutline right;
    right.addRoundedRectangle(14.37, 3.3, 11.1, 24.5, 3.5, 0, false);
    rasteriseOutline(left, kWhole, scratch.get(), grid);
    rasteriseOutline(right, kWhole, scratch.get(), grid);
    for (int y = 7; y < 24; ++y)
        EXPECT_NEAR(grid.at(14, y), 1.0, 1e-9) << "row " << y;

    CoverageGrid stacked(kSize, kSize);
    ShapeOutline lower;
    lower.addRoundedRectangle(4.2, 2.05, 20.5, 14.56, 3, 0, false);
    ShapeOutline upper;
    upper.addRoundedRectangle(4.2, 16.61, 20.5, 10.2, 3, 0, false);
    rasteriseOutline(lower, kWhole, scratch.get(), stacked);
    rasteriseOutline(upper, kWhole, scratch.get(), stacked);
    for (int x = 8; x < 21; ++x)
        EXPECT_NEAR(stacked.at(x, 16), 1.0, 1e-9) << "column " << x;
}

TEST(Tiling, RingAndDiscFillingItsHoleMakeADisc)
{
    CoverageGrid pieces(kSize, kSize);
    Scratch scratch(kSize);
    ShapeOutline ring;
    ring.addRing(15.3, 16.2, 11.4, 4.1);
    ShapeOutline hole;
    hole.addCircle(15.3, 16.2, 11.4 - 4.1, false);
    rasteriseOutline(ring, kWhole, scratch.get(), pieces);
    rasteriseOutline(hole, kWhole, scratch.get(), pieces);
    CoverageGrid whole(kSize, kSize);
    ShapeOutline disc;
    disc.addCircle(15.3, 16.2, 11.4, false);
    rasteriseOutline(disc, kWhole, scratch.get(), whole);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            ASSERT_NEAR(pieces.at(x, y), whole.at(x, y), 1e-9) << x << "," << y;
}

} // namespace
} // namespace tonvane
