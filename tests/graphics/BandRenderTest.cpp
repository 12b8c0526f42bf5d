// Replaying one display list over 1, 2, 3 and 8 bands gives the same bytes; the band split,
// worker threads and the text-run and object commands.
#include "core/foundation/Thread.h"
#include "graphics/displaylist/DrawableObject.h"
#include "graphics/raster/RectangleRasteriser.h"
#include "graphics/render/RenderPool.h"
#include "graphics/surface/Surface.h"
#include "core/foundation/Clock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tonvane {
namespace {

// A drawable object that paints a rectangle from its serialised data and records the rows of
// every band it was asked to draw in.
class PanelObject final : public DrawableObject {
public:
    PanelObject(double width, double height, uint32_t colour) : m_width(width), m_height(height), m_colour(colour) {}

    size_t serialisedSize() const override { return 4 * sizeof(double) + sizeof(uint32_t); }
    void serialise(const ObjectPlacement& at, uint8_t* out) const override
    {
        double fields[4] = {at.x, at.y, m_width, m_height};
        std::memcpy(out, fields, sizeof fields);
        std::memcpy(out + sizeof fields, &m_colour, sizeof m_colour);
    }
    void verticalExtent(const ObjectPlacement& at, double& low, double& high) const override
    {
        low = at.y;
        high = at.y + m_height;
    }
    void render(const BandContext& band, const uint8_t* data, size_t size) const override
    {
        if (size != serialisedSize())
            return;
        double fields[4];
        uint32_t colour = 0;
        std::memcpy(fields, data, sizeof fields);
        std::memcpy(&colour, data + sizeof fields, sizeof colour);
        PaintSink sink(band.target, Paint::linearY(colour, 0x40FFFFFFu, fields[1], fields[1] + fields[3]));
        rasteriseRectangle(fields[0], fields[1], fields[2], fields[3], band.window(), sink);
        std::lock_guard<std::mutex> hold(m_mutex);
        calls.push_back({band.target.rowLow, band.target.rowHigh});
        processors.push_back(currentProcessor());
    }

    mutable std::vector<std::pair<int, int>> calls;
    mutable std::vector<int> processors; // where each call ran

private:
    double m_width;
    double m_height;
    uint32_t m_colour;
    mutable std::mutex m_mutex;
};

// Draws every character as a 5 x 7 block from the pen position; records what it was given.
class BlockText final : public TextRunDrawer {
public:
    void drawRun(const BandContext& band, const TextRun& run, const char16_t* text, const Paint& paint) const override
    {
        PaintSink sink(band.target, paint);
        for (uint32_t i = 0; i < run.textLength; ++i)
            if (text[i] != u' ')
                rasteriseRectangle(run.penX + 6 * i, run.baselineY, 5, 7, band.window(), sink);
        std::lock_guard<std::mutex> hold(m_mutex);
        seen = std::u16string(text, run.textLength);
        lastRun = run;
    }
    mutable std::u16string seen;
    mutable TextRun lastRun;

private:
    mutable std::mutex m_mutex;
};

struct Step {
    std::string name;
    std::function<void(Surface&)> paint;
};

constexpr int kWidth = 160;
constexpr int kHeight = 121;

struct SceneParts {
    std::vector<uint32_t> image;
    PanelObject panel{40, 23.5, 0xFF3060C0u};
    BlockText text;
};

std::vector<Step> scene(SceneParts& parts)
{
    parts.image.resize(7 * 5);
    for (int i = 0; i < 35; ++i)
        parts.image[i] = (i % 3 == 0 ? 0xFF000000u : 0x80000000u) | (uint32_t(i) * 0x070503u);
    ImageView view{7, 5, 7, parts.image.data()};
    using P = Paint;
    return {
        {"background", [](Surface& s) { s.fillRectangleVertical(0, 0, kWidth, kHeight, 0xFF203040u, 0xFF8090A0u); }},
        {"translucent rectangle", [](Surface& s) { s.fillRectangle(3.3, 2.7, 150.1, 40.45, 0x7FFFC080u); }},
        {"radial rectangle", [](Surface& s) { s.fillRectangleRadial(10, 50, 70, 110, 40, 80, 0xFFFFFFFFu, 0x00000000u, 3, 28); }},
        {"elliptical rectangle", [](Surface& s) { s.fillRectangleElliptical(80, 50, 150, 100, 115, 75, 30, 12, 0xFF00FF00u, 0x4000FF00u); }},
        {"horizontal gradient", [](Surface& s) { s.fillRectangleHorizontal(5.5, 112.2, 155.5, 118.9, 0xFFFF0000u, 0xFF0000FFu); }},
        {"disc", [](Surface& s) { s.disc(60.3, 60.7, 25.25, P::radial(60, 60, 0xFFFFFF00u, 0xC0FF0000u, 0, 25)); }},
        {"ring", [](Surface& s) { s.ring(100.5, 30.2, 22, 4.5, P::solid(0xE0102030u)); }},
        {"ring as disc", [](Surface& s) { s.ring(20, 100, 6, 9, P::solid(0xFF00FFFFu)); }},
        {"origin", [](Surface& s) { s.setOrigin(2.5, 1.25); }},
        {"rounded", [](Surface& s) { s.roundedRectangle(30, 20, 90, 47, 8, 0, P::linearY(0xFFFFFFFFu, 0x80404040u, 20, 47)); }},
        {"rotated rounded", [](Surface& s) { s.roundedRectangle(70, 60, 130, 85, 6, 0.6, P::linearX(0xFF0080FFu, 0xFFFF8000u, 70, 130)); }},
        {"negative rotation outline", [](Surface& s) { s.roundedRectangleOutline(20, 70, 70, 95, 7, -0.35, 2.5, P::solid(0xFF000000u)); }},
        {"filled outline", [](Surface& s) { s.roundedRectangleOutline(130, 95, 140, 101, 2, 0, 9, P::solid(0xFFFF00FFu)); }},
        {"clip", [](Surface& s) { s.setClip(15, 18, 140, 100); }},
        {"image whole pixels", [view](Surface& s) { s.drawImage(40, 40, view, 1); }},
        {"image with opacity", [view](Surface& s) { s.drawImage(50, 40, view, 0.5); }},
        {"image fractional", [view](Surface& s) { s.drawImage(60.4, 40.7, view, 1); }},
        {"image scaled", [view](Surface& s) { s.drawImageScaled(75.2, 30.5, 104.9, 51.3, view, 0.8); }},
        {"object", [&parts](Surface& s) { s.drawObject(parts.panel, 90, 70.25); }},
        {"text", [&parts](Surface& s) {
             const char16_t* words = u"band text";
             TextRun run;
             run.penX = 20;
             run.baselineY = 30.5;
             run.boxLeft = 20;
             run.boxBottom = 28;
             run.boxWidth = 60;
             run.boxHeight = 12;
             s.drawTextRun(&parts.text, run, words, 9, P::solid(0xFF00FF80u));
         }},
        {"clip back", [](Surface& s) { s.setClip(-10, -10, 300, 300); }},
        {"thin rectangle", [](Surface& s) { s.fillRectangle(140.25, 5, 140.5, 110, 0xFFFFFFFFu); }},
        {"big disc", [](Surface& s) { s.disc(80, 60, 200, P::solid(0x10000000u)); }},
    };
}

std::vector<uint32_t> renderPrefix(Surface& surface, const std::vector<Step>& steps, size_t count, unsigned bands)
{
    surface.begin();
    for (size_t i = 0; i < count; ++i)
        steps[i].paint(surface);
    surface.render(bands);
    return std::vector<uint32_t>(surface.pixels(), surface.pixels() + size_t(kWidth) * kHeight);
}

std::string firstDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return "pixel " + std::to_string(i % kWidth) + "," + std::to_string(i / kWidth);
    return {};
}

TEST(BandRender, EveryBandCountGivesTheSameBytes)
{
    SceneParts parts;
    std::vector<Step> steps = scene(parts);
    Surface single(1);
    ASSERT_TRUE(single.setSize(kWidth, kHeight));
    std::vector<uint32_t> expected = renderPrefix(single, steps, steps.size(), 1);
    for (unsigned bands : {2u, 3u, 8u}) {
        Surface banded(bands);
        ASSERT_TRUE(banded.setSize(kWidth, kHeight));
        EXPECT_EQ(banded.list().workerCount(), RenderPool::shared().size() < 2 ? 0 : std::min(bands, RenderPool::shared().size()));
        std::vector<uint32_t> actual = renderPrefix(banded, steps, steps.size(), bands);
        if (actual == expected)
            continue;
        // Find the first command whose addition makes the renders differ.
        for (size_t count = 1; count <= steps.size(); ++count) {
            std::vector<uint32_t> one = renderPrefix(single, steps, count, 1);
            std::vector<uint32_t> many = renderPrefix(banded, steps, count, bands);
            if (one != many) {
                ADD_FAILURE() << bands << " bands differ first at command \"" << steps[count - 1].name << "\", "
                              << firstDifference(one, many);
                break;
            }
        }
    }
}

TEST(BandRender, SceneDrawsSomethingOfEveryStep)
{
    // Guards the test above against a scene that draws nothing: each step changes pixels.
    SceneParts parts;
    std::vector<Step> steps = scene(parts);
    Surface surface(1);
    ASSERT_TRUE(surface.setSize(kWidth, kHeight));
    std::vector<uint32_t> previous = renderPrefix(surface, steps, 0, 1);
    for (size_t count = 1; count <= steps.size(); ++count) {
        std::vector<uint32_t> now = renderPrefix(surface, steps, count, 1);
        const std::string& name = steps[count - 1].name;
        if (name != "origin" && name != "clip" && name != "clip back") {
            EXPECT_NE(now, previous) << name;
        }
        previous = now;
    }
    EXPECT_EQ(parts.text.seen, u"band text");
    EXPECT_DOUBLE_EQ(parts.text.lastRun.penX, 22.5); // moved by the origin
    EXPECT_DOUBLE_EQ(parts.text.lastRun.boxBottom, 29.25);
}

TEST(BandRender, RowsAreSplitEvenlyWithTheRestInTheLastBand)
{
    Surface surface(3);
    ASSERT_TRUE(surface.setSize(20, 100));
    PanelObject panel(20, 100, 0xFFFFFFFFu);
    surface.begin();
    surface.drawObject(panel, 0, 0);
    surface.render(3);
    std::sort(panel.calls.begin(), panel.calls.end());
    std::vector<std::pair<int, int>> expected{{0, 33}, {33, 66}, {66, 100}};
    EXPECT_EQ(panel.calls, expected);

    // Two bands requested of three.
    panel.calls.clear();
    surface.begin();
    surface.drawObject(panel, 0, 0);
    surface.render(2);
    std::sort(panel.calls.begin(), panel.calls.end());
    expected = {{0, 50}, {50, 100}};
    EXPECT_EQ(panel.calls, expected);
}

TEST(BandRender, FewerDirtyRowsThanBandsGoToBandZero)
{
    Surface surface(8);
    ASSERT_TRUE(surface.setSize(20, 100));
    PanelObject panel(20, 5, 0xFFFFFFFFu);
    surface.setSize(20, 100); // painter reset without begin: nothing dirty yet
    surface.drawObject(panel, 0, 40);
    surface.render(8);
    ASSERT_EQ(panel.calls.size(), 1u);
    EXPECT_EQ(panel.calls[0], (std::pair<int, int>{40, 45}));
    EXPECT_NE(surface.pixel(3, 42), 0u);
    EXPECT_EQ(surface.pixel(3, 39), 0u);
}

TEST(BandRender, OneBandHasNoWorkersAndRendersOnTheCaller)
{
    Surface surface(1);
    EXPECT_EQ(surface.list().workerCount(), 0u);
    ASSERT_TRUE(surface.setSize(10, 10));
    surface.begin();
    surface.fillRectangle(0, 0, 10, 10, 0xFF00FF00u);
    surface.render(4);
    EXPECT_EQ(surface.pixel(9, 9), 0xFF00FF00u);
}

TEST(BandRender, ShapesOutsideABandLeaveItUntouched)
{
    Surface surface(2);
    ASSERT_TRUE(surface.setSize(30, 40));
    surface.begin();
    surface.fillRectangle(0, 0, 30, 40, 0xFF000000u);
    surface.render(2); // bands [0, 20) and [20, 40)
    surface.setSize(30, 40);
    // Dirty rows 0 .. 40 through a thin rectangle at the top; a disc entirely in the lower
    // band; only their own pixels change.
    surface.fillRectangle(0, 39, 1, 40, 0xFFFFFFFFu);
    surface.disc(15, 8, 5, Paint::solid(0xFFFF0000u));
    surface.fillRectangle(0, -5, 30, -1, 0xFFFFFFFFu);
    surface.render(2);
    for (int y = 14; y < 39; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(surface.pixel(x, y), 0xFF000000u) << x << "," << y;
    EXPECT_EQ(surface.pixel(15, 8), 0xFFFF0000u);
}

TEST(BandRender, EachWorkerKeepsToItsOwnProcessor)
{
    bool pinningAllowed = false;
    std::thread probe([&] { pinningAllowed = pinThisThread(allowedProcessor(0)); });
    probe.join();
    if (!pinningAllowed)
        GTEST_SKIP() << "this system refuses thread affinity";

    RenderPool pool(2);
    Surface surface(2, pool);
    ASSERT_TRUE(surface.setSize(20, 100));
    const DisplayList& list = surface.list();
    ASSERT_EQ(list.workerCount(), 2u);
    PanelObject panel(20, 100, 0xFFFFFFFFu);
    for (int frame = 0; frame < 50; ++frame) {
        surface.begin();
        surface.drawObject(panel, 0, 0);
        surface.render(2);
    }
    // Every worker has pinned itself by now (it does so before its first job).
    ASSERT_EQ(list.bandProcessor(0), allowedProcessor(0));
    ASSERT_EQ(list.bandProcessor(1), allowedProcessor(1));
    if (allowedProcessor(0) != allowedProcessor(1)) {
        EXPECT_NE(list.bandProcessor(0), list.bandProcessor(1)); // never queued behind each other
    }
    ASSERT_EQ(panel.calls.size(), 100u);
    for (size_t i = 0; i < panel.calls.size(); ++i) {
        unsigned band = panel.calls[i].first == 0 ? 0 : 1;
        ASSERT_EQ(panel.processors[i], list.bandProcessor(band)) << "call " << i;
    }
}

TEST(BandRender, RepeatedRendersAndDestructionWithIdleWorkers)
{
    for (int round = 0; round < 20; ++round) {
        Surface surface(4);
        ASSERT_TRUE(surface.setSize(64, 64));
        for (int frame = 0; frame < 5; ++frame) {
            surface.begin();
            surface.disc(32, 32, 10 + frame, Paint::solid(0xFF0000FFu));
            surface.render();
        }
        EXPECT_EQ(surface.pixel(32, 32), 0xFF0000FFu);
    }
}

size_t threadsOfThisProcess()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

TEST(BandRender, SurfacesShareOneWorkerPerAllowedProcessor)
{
    Surface first(4);
    ASSERT_TRUE(first.setSize(64, 64));
    first.begin();
    first.render(); // the shared pool exists from here on
    size_t before = threadsOfThisProcess();
    std::vector<std::unique_ptr<Surface>> surfaces;
    for (int i = 0; i < 12; ++i) {
        surfaces.push_back(std::make_unique<Surface>(4));
        ASSERT_TRUE(surfaces.back()->setSize(64, 64));
        surfaces.back()->begin();
        surfaces.back()->fillRectangle(0, 0, 64, 64, 0xFF00FF00u);
        surfaces.back()->render();
        EXPECT_EQ(surfaces.back()->pixel(63, 63), 0xFF00FF00u);
    }
    EXPECT_EQ(threadsOfThisProcess(), before);
    EXPECT_EQ(RenderPool::shared().size(), processorCount() < 2 ? 0u : processorCount());
}

TEST(BandRender, ProcessorCountFollowsTheAffinityMask)
{
    unsigned limited = 0;
    bool pinned = false;
    std::thread probe([&] {
        pinned = pinThisThread(allowedProcessor(0));
        limited = processorCount();
    });
    probe.join();
    if (!pinned)
        GTEST_SKIP() << "this system refuses thread affinity";
    EXPECT_EQ(limited, 1u); // not the machine's processor count
}

} // namespace
} // namespace tonvane
