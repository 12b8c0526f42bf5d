// The surface's memory and painter state, the display list's buffers and dirty rows.
#include "graphics/displaylist/DisplayList.h"
#include "graphics/displaylist/DrawableObject.h"
#include "graphics/displaylist/GrowableBuffer.h"
#include "graphics/render/RenderPool.h"
#include "graphics/surface/Surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numbers>

namespace tonvane {
namespace {

bool allPixels(const Surface& surface, uint32_t value)
{
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x)
            if (surface.pixel(x, y) != value)
                return false;
    return true;
}

TEST(SurfaceMemory, StartsTransparentGrowsAndNeverShrinks)
{
    Surface surface(1);
    EXPECT_EQ(surface.pixels(), nullptr);
    ASSERT_TRUE(surface.setSize(40, 30));
    EXPECT_EQ(surface.width(), 40);
    EXPECT_EQ(surface.height(), 30);
    EXPECT_EQ(surface.stride(), 160);
    EXPECT_EQ(surface.bounds(), (IntRect{0, 0, 40, 30}));
    EXPECT_TRUE(allPixels(surface, 0));

    surface.begin();
    surface.fillRectangle(0, 0, 40, 30, 0xFF102030u);
    surface.render();
    EXPECT_TRUE(allPixels(surface, 0xFF102030u));

    // Smaller: the allocation and its content stay.
    ASSERT_TRUE(surface.setSize(20, 10));
    EXPECT_EQ(surface.width(), 40);
    EXPECT_EQ(surface.height(), 30);
    EXPECT_TRUE(allPixels(surface, 0xFF102030u));
    // Zero is ignored; one direction larger grows to the larger of each.
    EXPECT_FALSE(surface.setSize(0, 50));
    EXPECT_EQ(surface.height(), 30);
    ASSERT_TRUE(surface.setSize(20, 50));
    EXPECT_EQ(surface.width(), 40);
    EXPECT_EQ(surface.height(), 50);
    EXPECT_TRUE(allPixels(surface, 0));
    // Sizes that would overflow or exhaust memory are refused and change nothing.
    EXPECT_FALSE(surface.setSize(Surface::kMaxDimension + 1, 10));
    EXPECT_FALSE(surface.setSize(10, -5));
    EXPECT_EQ(surface.width(), 40);
}

TEST(SurfaceMemory, RowZeroIsTheBottomRow)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(4, 3));
    surface.begin();
    surface.fillRectangle(0, 0, 4, 1, 0xFFAABBCCu);
    surface.render();
    const auto* bytes = reinterpret_cast<const uint8_t*>(surface.pixels());
    // First bytes in memory: the bottom row, blue, green, red, alpha.
    EXPECT_EQ(bytes[0], 0xCC);
    EXPECT_EQ(bytes[1], 0xBB);
    EXPECT_EQ(bytes[2], 0xAA);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(surface.pixel(0, 1), 0u);
}

TEST(GrowableBuffer, GrowsByTwiceTheNeedInStepsOf2KiBAndZeroesTheTail)
{
    EXPECT_EQ(GrowableBuffer::capacityFor(1), 2048u);
    EXPECT_EQ(GrowableBuffer::capacityFor(1024), 2048u);
    EXPECT_EQ(GrowableBuffer::capacityFor(1500), 2048u);
    EXPECT_EQ(GrowableBuffer::capacityFor(2048), 4096u);
    EXPECT_EQ(GrowableBuffer::capacityFor(3000), 4096u);
    EXPECT_EQ(GrowableBuffer::capacityFor(5000), 8192u);

    GrowableBuffer buffer(1 << 20);
    uint8_t* first = buffer.extend(100);
    ASSERT_NE(first, nullptr);
    std::memset(first, 0xAB, 100);
    EXPECT_EQ(buffer.capacity(), 2048u);
    ASSERT_NE(buffer.extend(2000), nullptr);
    EXPECT_EQ(buffer.capacity(), 4096u);
    EXPECT_EQ(buffer.data()[99], 0xAB); // content kept
    EXPECT_EQ(buffer.data()[100], 0); // new tail zeroed
    EXPECT_EQ(buffer.data()[4095], 0);
}

TEST(GrowableBuffer, RefusesToGrowBeyondItsLimit)
{
    GrowableBuffer buffer(4096);
    ASSERT_NE(buffer.extend(4000), nullptr);
    EXPECT_EQ(buffer.extend(200), nullptr);
    EXPECT_EQ(buffer.size(), 4000u);
    EXPECT_NE(buffer.extend(96), nullptr);
    EXPECT_EQ(buffer.extend(SIZE_MAX), nullptr);
}

TEST(DisplayList, BeginAloneClearsEverythingAndMarksEveryRowDirty)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(16, 12));
    surface.begin();
    surface.fillRectangle(0, 0, 16, 12, 0xFFFFFFFFu);
    surface.render();
    surface.begin();
    EXPECT_EQ(surface.list().dirtyLow(), 0);
    EXPECT_EQ(surface.list().dirtyHigh(), 12);
    // Clip command (opcode, four integers) then clear (opcode, value).
    const uint8_t* commands = surface.list().commands();
    uint32_t words[7];
    ASSERT_EQ(surface.list().commandBytes(), sizeof words);
    std::memcpy(words, commands, sizeof words);
    EXPECT_EQ(words[0], static_cast<uint32_t>(Opcode::Clip));
    EXPECT_EQ(words[3], 16u);
    EXPECT_EQ(words[4], 12u);
    EXPECT_EQ(words[5], static_cast<uint32_t>(Opcode::Clear));
    EXPECT_EQ(words[6], 0u);
    surface.render();
    EXPECT_TRUE(allPixels(surface, 0));
}

TEST(DisplayList, DirtyRowsCoverWhatWasPainted)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(50, 60));
    EXPECT_EQ(surface.list().dirtyLow(), 60);
    EXPECT_EQ(surface.list().dirtyHigh(), 0);
    surface.disc(20, 30.5, 4.25, Paint::solid(0xFFFFFFFFu));
    EXPECT_EQ(surface.list().dirtyLow(), 26);
    EXPECT_EQ(surface.list().dirtyHigh(), 35);
    surface.fillRectangle(0, 50.2, 10, 70, 0xFFFFFFFFu); // clamped at the height
    EXPECT_EQ(surface.list().dirtyHigh(), 60);
    surface.fillRectangle(0, -20, 10, -10, 0xFFFFFFFFu); // below the surface: nothing dirty
    EXPECT_EQ(surface.list().dirtyLow(), 26);
    surface.roundedRectangle(10, 10, 30, 14, 1, std::numbers::pi / 2, Paint::solid(0xFFFFFFFFu));
    EXPECT_EQ(surface.list().dirtyLow(), 2); // 20 x 4 turned upright about (20, 12)
}

TEST(Painter, ClipIsTranslatedIntersectedAndAnEmptyOneRejected)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(100, 80));
    surface.begin();
    surface.setOrigin(9, 10);
    surface.setOrigin(1, 0);
    EXPECT_EQ(surface.origin().dx, 10);
    EXPECT_EQ(surface.origin().dy, 10);
    EXPECT_TRUE(surface.setClip(-50, 5, 20, 200));
    EXPECT_EQ(surface.getClip(), (IntRect{-10, 5, 20, 70}));
    EXPECT_FALSE(surface.setClip(200, 0, 300, 10));
    EXPECT_FALSE(surface.setClip(5, 5, 5, 50));
    EXPECT_EQ(surface.getClip(), (IntRect{-10, 5, 20, 70}));
    // Begin resets origin and clip.
    surface.begin();
    EXPECT_EQ(surface.origin().dx, 0);
    EXPECT_EQ(surface.getClip(), surface.bounds());
}

TEST(Painter, DrawingStaysInsideTheClip)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(40, 40));
    surface.begin();
    surface.fillRectangle(0, 0, 40, 40, 0xFF000000u);
    ASSERT_TRUE(surface.setClip(10, 12, 25, 30));
    surface.disc(20, 20, 30, Paint::solid(0xFFFFFFFFu));
    surface.fillRectangle(0, 0, 40, 40, 0x80FF0000u);
    surface.render();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            bool inside = x >= 10 && x < 25 && y >= 12 && y < 30;
            if (!inside)
                ASSERT_EQ(surface.pixel(x, y), 0xFF000000u) << x << "," << y;
            else
                ASSERT_EQ(surface.pixel(x, y), compositePixel(0xFFFFFFFFu, 0xFFFF0000u, 0x80)) << x << "," << y;
        }
}

TEST(Painter, OriginMovesShapesAndGradients)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(30, 30));
    surface.begin();
    surface.setOrigin(5, 7);
    surface.fillRectangleHorizontal(0, 0, 10, 3, 0xFF000000u, 0xFFFF0000u);
    surface.render();
    EXPECT_EQ(surface.pixel(4, 7), 0u);
    EXPECT_EQ(surface.pixel(5, 7), 0xFF000000u); // gradient start moved with the rectangle
    EXPECT_EQ(surface.pixel(10, 9), 0xFF800000u);
    EXPECT_EQ(surface.pixel(15, 7), 0u);
}

TEST(Painter, RadiiAndWidthsAreCutToThousandthsAndAnglesReduced)
{
    EXPECT_DOUBLE_EQ(truncateToThousandth(2.0019), 2.001);
    EXPECT_DOUBLE_EQ(truncateToThousandth(0.29), 0.29);
    EXPECT_DOUBLE_EQ(truncateToThousandth(7.0), 7.0);
    EXPECT_DOUBLE_EQ(truncateToThousandth(-1.2345), -1.234);
    EXPECT_DOUBLE_EQ(truncateToThousandth(0.0009), 0.0);
    EXPECT_NEAR(reduceAngle(7.0), 7.0 - 2 * std::numbers::pi, 1e-12);
    EXPECT_NEAR(reduceAngle(-7.0), -7.0 + 2 * std::numbers::pi, 1e-12);
    EXPECT_EQ(reduceAngle(-1.0), -1.0);

    // The recorded radius is the cut one.
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(10, 10));
    surface.disc(5, 5, 3.14159, Paint::solid(0xFFFFFFFFu));
    double radius = 0;
    std::memcpy(&radius, surface.list().commands() + 4 + 16, sizeof radius);
    EXPECT_DOUBLE_EQ(radius, 3.141);
}

TEST(Painter, BadGeometryIsNotRecorded)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(10, 10));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    surface.fillRectangle(nan, 0, 5, 5, 0xFFFFFFFFu);
    surface.disc(5, 5, inf, Paint::solid(0xFFFFFFFFu));
    surface.disc(5, 5, -2, Paint::solid(0xFFFFFFFFu));
    surface.ring(5, 5, 3, 0, Paint::solid(0xFFFFFFFFu));
    surface.roundedRectangle(0, 0, 5, 5, 1, nan, Paint::solid(0xFFFFFFFFu));
    surface.fillRectangle(0, 0, 5, 5, Paint::linearY(0, 0, inf, 3));
    surface.drawImage(0, 0, ImageView{}, 1);
    uint32_t pixel = 0xFF000000u;
    surface.drawImage(0, 0, ImageView{2, 2, 1, &pixel}, 1); // rows shorter than the width
    EXPECT_EQ(surface.list().commandBytes(), 0u);
}

// An object whose serialised form is one mebibyte of zeros; it draws nothing.
class BulkyObject final : public DrawableObject {
public:
    size_t serialisedSize() const override { return size_t{1} << 20; }
    void serialise(const ObjectPlacement&, uint8_t* out) const override { std::memset(out, 0, serialisedSize()); }
    void verticalExtent(const ObjectPlacement&, double& low, double& high) const override
    {
        low = 0;
        high = 1;
    }
    void render(const BandContext&, const uint8_t*, size_t) const override {}
};

TEST(Painter, CommandsBeyondTheListLimitAreDroppedWholeAndRenderStillEnds)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(8, 8));
    surface.begin();
    surface.fillRectangle(3, 3, 5, 5, 0xFFFFFFFFu);
    BulkyObject bulky;
    size_t before = 0;
    do {
        before = surface.list().commandBytes();
        surface.drawObject(bulky, 0, 0);
    } while (surface.list().commandBytes() != before);
    EXPECT_GT(before, DisplayList::kCommandLimit - (size_t{2} << 20));
    while (surface.list().appendRectangle(0, 0, 1, 1, Paint::solid(0xFF00FF00u))) {
    }
    EXPECT_LE(surface.list().commandBytes() + 4, DisplayList::kCommandLimit);
    surface.fillRectangle(0, 0, 8, 8, 0xFF0000FFu); // refused whole
    surface.render();
    EXPECT_EQ(surface.pixel(7, 7), 0u);
    EXPECT_EQ(surface.pixel(4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(surface.pixel(0, 0), 0xFF00FF00u);
}

} // namespace
} // namespace tonvane

namespace tonvane {
namespace {

TEST(Painter, SecondRenderWithoutBeginDoesNotCompositeAgain)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(4, 4));
    surface.begin();
    surface.fillRectangle(0, 0, 4, 4, 0x80FF0000u);
    surface.render();
    uint32_t once = surface.pixel(1, 1);
    surface.render();
    EXPECT_EQ(surface.pixel(1, 1), once);
    EXPECT_EQ(once, 0x7F7F0000u);
}

TEST(Painter, RowsAreCopiedTopDownFromTheLowerLeftPicture)
{
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(6, 5));
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 6; ++x)
            surface.pixels()[y * 6 + x] = static_cast<uint32_t>(y * 16 + x);
    std::vector<uint32_t> out(3 * 4, 0xDEADu);
    // A 4 x 3 picture in the lower-left corner: its top row is bitmap row 2.
    ASSERT_TRUE(surface.copyRowsTopDown(3, 0, 3, 3, out.data(), 4));
    EXPECT_EQ(out, (std::vector<uint32_t>{32, 33, 34, 0xDEAD, 16, 17, 18, 0xDEAD, 0, 1, 2, 0xDEAD}));
    ASSERT_TRUE(surface.copyRowsTopDown(3, 2, 1, 2, out.data(), 4));
    EXPECT_EQ(out[0], 0u);
    EXPECT_EQ(out[1], 1u);
    EXPECT_FALSE(surface.copyRowsTopDown(6, 0, 1, 3, out.data(), 4)); // taller than the bitmap
    EXPECT_FALSE(surface.copyRowsTopDown(3, 2, 2, 3, out.data(), 4)); // rows past the picture
    EXPECT_FALSE(surface.copyRowsTopDown(3, 0, 1, 7, out.data(), 8)); // wider than the bitmap
    EXPECT_FALSE(surface.copyRowsTopDown(3, 0, 1, 4, out.data(), 3)); // rows overlap in out
}

} // namespace
} // namespace tonvane

namespace tonvane {
namespace {

// Hands out heap memory and keeps count, as a shared-memory allocator of a window backend would.
class CountingAllocator final : public PixelAllocator {
public:
    void* allocate(size_t bytes, bool& locked) override
    {
        locked = false;
        ++allocations;
        live += bytes;
        return std::calloc(bytes, 1);
    }
    void release(void* memory, size_t bytes, bool) override
    {
        ++releases;
        live -= bytes;
        std::free(memory);
    }
    int allocations = 0;
    int releases = 0;
    size_t live = 0;
};

TEST(Painter, PixelsComeFromTheSurfacesAllocator)
{
    CountingAllocator allocator;
    {
        Surface surface(1, RenderPool::shared(), allocator);
        ASSERT_TRUE(surface.setSize(8, 8));
        ASSERT_TRUE(surface.setSize(16, 8)); // grows: the old memory goes back
        EXPECT_EQ(allocator.allocations, 2);
        EXPECT_EQ(allocator.releases, 1);
        EXPECT_EQ(allocator.live, size_t{16 * 8 * 4});
        surface.begin();
        surface.fillRectangle(0, 0, 16, 8, 0xFF102030u);
        surface.render();
        EXPECT_EQ(surface.pixel(15, 7), 0xFF102030u);
        EXPECT_FALSE(surface.memoryLocked());
    }
    EXPECT_EQ(allocator.live, 0u);
}

} // namespace
} // namespace tonvane
