// The image command: pixel-for-pixel copies on whole pixels, opacity, and area resampling.
#include "graphics/raster/ImageCompositor.h"
#include "graphics/surface/Surface.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonvane {
namespace {

struct Canvas {
    explicit Canvas(int width, int height, uint32_t fill = 0xFF000000u) : surface(1)
    {
        EXPECT_TRUE(surface.setSize(width, height));
        surface.begin();
        surface.fillRectangle(0, 0, width, height, fill);
    }
    Surface surface;
};

TEST(ImageComposite, WholePixelsCopyOpaqueAndBlendTranslucentPixels)
{
    // 3 x 2 image, bottom row first.
    std::vector<uint32_t> image{0xFF112233u, 0x80FF0000u, 0x00FFFFFFu, 0xFF445566u, 0xFF778899u, 0x400000FFu};
    Canvas canvas(8, 6, 0xFF204060u);
    canvas.surface.drawImage(2, 1, ImageView{3, 2, 3, image.data()}, 1);
    canvas.surface.render();
    const Surface& s = canvas.surface;
    EXPECT_EQ(s.pixel(2, 1), 0xFF112233u);
    EXPECT_EQ(s.pixel(3, 1), compositePixel(0xFF204060u, 0x80FF0000u, 0x80));
    EXPECT_EQ(s.pixel(4, 1), compositePixel(0xFF204060u, 0x00FFFFFFu, 0)); // the rule's 255/256
    EXPECT_EQ(s.pixel(2, 2), 0xFF445566u); // second image row is the row above
    EXPECT_EQ(s.pixel(4, 2), compositePixel(0xFF204060u, 0x400000FFu, 0x40));
    EXPECT_EQ(s.pixel(1, 1), 0xFF204060u);
    EXPECT_EQ(s.pixel(5, 2), 0xFF204060u);
    EXPECT_EQ(s.pixel(2, 3), 0xFF204060u);
}

TEST(ImageComposite, OpacityScalesEveryAlphaButOneAndZeroUseTheImageAlpha)
{
    std::vector<uint32_t> image{0xFFFFFFFFu, 0x80FFFFFFu};
    for (double opacity : {1.0, 0.0, 0.5, 0.25}) {
        Canvas canvas(4, 1);
        canvas.surface.drawImage(0, 0, ImageView{2, 1, 2, image.data()}, opacity);
        canvas.surface.render();
        uint32_t a0 = imageAlpha(0xFF, opacity);
        uint32_t a1 = imageAlpha(0x80, opacity);
        if (opacity == 1.0 || opacity == 0.0) {
            EXPECT_EQ(a0, 0xFFu);
            EXPECT_EQ(a1, 0x80u);
        }
        EXPECT_EQ(canvas.surface.pixel(0, 0), compositePixel(0xFF000000u, 0xFFFFFFFFu, a0)) << opacity;
        EXPECT_EQ(canvas.surface.pixel(1, 0), compositePixel(0xFF000000u, 0x80FFFFFFu, a1)) << opacity;
    }
    EXPECT_EQ(imageAlpha(0xFF, 0.5), 127u);
    EXPECT_EQ(imageAlpha(0x80, 0.25), 32u);
}

TEST(ImageComposite, ViewsOfPartOfAnImageUseTheRowLength)
{
    // 4 x 2 image; the view is its right half.
    std::vector<uint32_t> image{0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u,
                                0xFF000005u, 0xFF000006u, 0xFF000007u, 0xFF000008u};
    Canvas canvas(4, 4);
    canvas.surface.drawImage(1, 1, ImageView{2, 2, 4, image.data() + 2}, 1);
    canvas.surface.render();
    EXPECT_EQ(canvas.surface.pixel(1, 1), 0xFF000003u);
    EXPECT_EQ(canvas.surface.pixel(2, 1), 0xFF000004u);
    EXPECT_EQ(canvas.surface.pixel(1, 2), 0xFF000007u);
    EXPECT_EQ(canvas.surface.pixel(2, 2), 0xFF000008u);
}

TEST(ImageComposite, ClippedAndPartlyOffSurfaceImagesStayInBounds)
{
    std::vector<uint32_t> image(10 * 10, 0xFFABCDEFu);
    Canvas canvas(8, 8);
    canvas.surface.setClip(2, 2, 6, 6);
    canvas.surface.drawImage(-5, -5, ImageView{10, 10, 10, image.data()}, 1);
    canvas.surface.drawImage(4.5, 4.5, ImageView{10, 10, 10, image.data()}, 1);
    canvas.surface.render();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
            if (!inside) {
                EXPECT_EQ(canvas.surface.pixel(x, y), 0xFF000000u) << x << "," << y;
            }
        }
    EXPECT_EQ(canvas.surface.pixel(2, 2), 0xFFABCDEFu);
    EXPECT_EQ(canvas.surface.pixel(5, 5), 0xFFABCDEFu);
}

TEST(ImageComposite, FractionalPositionCoversEdgePixelsByArea)
{
    std::vector<uint32_t> image(4 * 4, 0xFFFFFFFFu);
    Canvas canvas(8, 8, 0xFF000000u);
    canvas.surface.drawImage(2.5, 2.25, ImageView{4, 4, 4, image.data()}, 1);
    canvas.surface.render();
    const Surface& s = canvas.surface;
    EXPECT_EQ(s.pixel(3, 3), 0xFFFFFFFFu); // wholly inside
    // Left column half covered, bottom row three quarters, the corner three eighths.
    EXPECT_EQ(s.pixel(2, 4), compositePixel(0xFF000000u, 0xFFFFFFu, 127));
    EXPECT_EQ(s.pixel(4, 2), compositePixel(0xFF000000u, 0xFFFFFFu, 191));
    EXPECT_EQ(s.pixel(2, 2), compositePixel(0xFF000000u, 0xFFFFFFu, 95));
    EXPECT_EQ(s.pixel(1, 4), 0xFF000000u);
    EXPECT_EQ(s.pixel(7, 4), 0xFF000000u);
}

TEST(ImageComposite, ScalingAveragesByAreaWithoutBleedingTransparentColour)
{
    // 4 x 4 checkerboard of opaque red and blue, shrunk to 2 x 2: each pixel is the average.
    std::vector<uint32_t> checker(16);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            checker[y * 4 + x] = (x + y) % 2 == 0 ? 0xFFFF0000u : 0xFF0000FFu;
    Canvas canvas(4, 4, 0xFF000000u);
    canvas.surface.drawImageScaled(0, 0, 2, 2, ImageView{4, 4, 4, checker.data()}, 1);
    canvas.surface.render();
    EXPECT_EQ(canvas.surface.pixel(0, 0), 0xFF800080u); // 127.5 rounds up
    EXPECT_EQ(canvas.surface.pixel(1, 1), 0xFF800080u);

    // Doubling an opaque green next to a transparent (but red-valued) pixel: the colour stays
    // green, only alpha falls.
    std::vector<uint32_t> pair{0xFF00FF00u, 0x00FF0000u};
    Canvas transparent(8, 2, 0x00000000u);
    transparent.surface.drawImageScaled(0, 0, 4, 2, ImageView{2, 1, 2, pair.data()}, 1);
    transparent.surface.render();
    EXPECT_EQ(transparent.surface.pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(transparent.surface.pixel(1, 1), 0xFF00FF00u);
    uint32_t boundary = transparent.surface.pixel(2, 0);
    EXPECT_EQ((boundary >> 16) & 0xFF, 0u); // no red taken from the transparent pixel
}

TEST(ImageComposite, UpscalingAUniformImageIsUniform)
{
    std::vector<uint32_t> image(3 * 2, 0xC0336699u);
    Canvas canvas(16, 16, 0xFFFFFFFFu);
    canvas.surface.drawImageScaled(1, 1, 13, 9, ImageView{3, 2, 3, image.data()}, 1);
    canvas.surface.render();
    uint32_t expected = compositePixel(0xFFFFFFFFu, 0xC0336699u, 0xC0);
    for (int y = 1; y < 9; ++y)
        for (int x = 1; x < 13; ++x)
            ASSERT_EQ(canvas.surface.pixel(x, y), expected) << x << "," << y;
    EXPECT_EQ(canvas.surface.pixel(13, 5), 0xFFFFFFFFu);
    EXPECT_EQ(canvas.surface.pixel(5, 9), 0xFFFFFFFFu);
}

TEST(ImageComposite, WholePixelPlacementNeedsWholeCoordinatesAndNaturalSize)
{
    uint32_t pixel = 0;
    ImageView view{4, 3, 4, &pixel};
    EXPECT_TRUE(isWholePixelPlacement({2, 5, 6, 8, view, 1}));
    EXPECT_FALSE(isWholePixelPlacement({2.5, 5, 6.5, 8, view, 1}));
    EXPECT_FALSE(isWholePixelPlacement({2, 5, 7, 8, view, 1}));
    EXPECT_FALSE(isWholePixelPlacement({-1e300, 5, -1e300 + 4, 8, view, 1}));
}

} // namespace
} // namespace tonvane
