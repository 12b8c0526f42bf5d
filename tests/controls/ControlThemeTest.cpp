// The control theme's geometry (content rectangles, hit tests, caption buttons) and the pixels
// other code relies on.
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "graphics/raster/Compositor.h"
#include "graphics/surface/Surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace tonvane {
namespace {

using namespace style;

constexpr uint32_t kFrame = kSizable | kCaption | kCloseButton | kMaximiseButton | kMinimiseButton;

TEST(ControlTheme, ContentRectanglesForEveryKindOfFrame)
{
    ControlTheme theme;
    struct Case {
        uint32_t style;
        IntRect expected;
    };
    const Case cases[] = {
        {0, {0, 0, 300, 200}},
        {kSizable, {5, 5, 295, 195}},
        {kRounded, {5, 5, 295, 195}},
        {kSizable | kCaption, {5, 5, 295, 175}},
        {kSizable | kCaption | kMaximised, {0, 0, 295, 175}},
        {kOuterBorder, {1, 1, 299, 199}},
        {kOuterBorder | kInnerBorder, {2, 2, 298, 198}},
        {kInnerBorder, {1, 1, 299, 199}},
        {kOuterBorder | kInnerBorder | kMaximised, {0, 0, 300, 200}},
        {kSizable | kHorizontalScrollBar | kVerticalScrollBar, {5, 21, 279, 195}},
        {kOuterBorder | kVerticalScrollBar, {1, 1, 283, 199}},
        {kCaption, {0, 0, 300, 180}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(theme.contentRect(300, 200, c.style), c.expected) << std::hex << c.style;
    IntRect vertical = theme.scrollBarRect(Orientation::Vertical, {10, 20, 310, 220}, kSizable | kVerticalScrollBar);
    EXPECT_EQ(vertical, (IntRect{289, 25, 305, 215}));
    IntRect horizontal
        = theme.scrollBarRect(Orientation::Horizontal, {0, 0, 300, 200}, kOuterBorder | kHorizontalScrollBar);
    EXPECT_EQ(horizontal, (IntRect{1, 1, 299, 17}));
}

TEST(ControlTheme, FrameHitTestCodes)
{
    ControlTheme theme;
    struct Case {
        int32_t x, y;
        uint32_t style;
        int32_t code;
    };
    const Case cases[] = {
        {-1, 5, kFrame, 0},          {300, 5, kFrame, 0},         {5, 200, kFrame, 0},
        {260, 190, kFrame, 20},      {253, 181, kFrame, 20},      {294, 199, kFrame, 20},
        {252, 190, kFrame, 9},       {229, 190, kFrame, 9},       {228, 190, kFrame, 8},
        {205, 181, kFrame, 8},       {204, 190, kFrame, 2},       {260, 180, kFrame, 2},
        {2, 100, kFrame, 10},        {298, 100, kFrame, 11},      {150, 2, kFrame, 15},
        {150, 197, kFrame, 12},      {2, 2, kFrame, 16},          {7, 2, kFrame, 16},
        {298, 2, kFrame, 17},        {2, 198, kFrame, 13},        {298, 196, kFrame, 14},
        {150, 176, kFrame, 2},       {150, 174, kFrame, 1},       {150, 100, kFrame, 1},
        // Maximised: no sizing borders.
        {2, 100, kFrame | kMaximised, 1},
        {2, 2, kFrame | kMaximised, 1},
        {150, 180, kFrame | kMaximised, 2},
        // Close only: the maximise place is caption, never code 9.
        {240, 190, kRounded | kCaption | kCloseButton, 2},
        {260, 190, kRounded | kCaption | kCloseButton, 20},
        {2, 190, kRounded | kCaption | kCloseButton, 1},
        // 0x2: no caption buttons.
        {260, 190, kFrame | kNoCaptionButtons, 2},
        // Scroll bars.
        {285, 100, kFrame | kVerticalScrollBar, 7},
        {100, 10, kFrame | kHorizontalScrollBar, 6},
        {285, 100, kFrame, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(theme.frameHitTest(c.x, c.y, 300, 200, c.style), c.code)
            << "(" << c.x << ", " << c.y << ") style " << std::hex << c.style;
    EXPECT_EQ(theme.captionButtonsRect(300, 200, kFrame), (IntRect{203, 180, 297, 199}));
    EXPECT_EQ(theme.captionButtonsRect(300, 200, kCaption | kCloseButton), (IntRect{251, 180, 297, 199}));
}

std::vector<uint32_t> pixels(const Surface& s)
{
    return std::vector<uint32_t>(s.pixels(), s.pixels() + size_t(s.width()) * s.height());
}

TEST(ControlTheme, PaletteProgressDisabledFaceAndPainterStateLeftAlone)
{
    EXPECT_EQ(tint(palette::kAccent, -1.0), 0xC881A1C1u) << "the frame border: 2c - 1";
    EXPECT_EQ(tint(0xFF000000u, 0.5), 0xFF808080u);
    EXPECT_EQ(tint(0x80808080u, -0.35), 0x80545454u);
    EXPECT_EQ(tint(0x80FFFFFFu, -0.35), 0x80FFFFFFu) << "white stays white: the rule scales (1 - c)";
    ControlTheme theme;
    EXPECT_EQ(theme.frameBorder(), 0xFF81A1C1u);

    // A fraction above 1 draws exactly what 1 draws; 1 fills the whole track.
    auto progress = [&](double f) {
        Surface s(1);
        s.setSize(120, 20);
        s.begin();
        s.fillRectangle(0, 0, 120, 20, 0xFFE0E0E0u);
        theme.drawProgress(s, {10, 3, 110, 17}, f, palette::kProgressComplete);
        s.render();
        return pixels(s);
    };
    EXPECT_EQ(progress(1.0), progress(1.5));
    EXPECT_NE(progress(1.0), progress(0.99));
    EXPECT_EQ(progress(0.0), progress(-3.0));

    // A disabled button's face is half-way to white; the pixel near its bottom, under no gloss,
    // outline or text, is that colour over the backdrop.
    Surface s(1);
    s.setSize(100, 40);
    s.begin();
    s.fillRectangle(0, 0, 100, 40, 0xFFE9EDF2u);
    theme.drawButton(s, {10, 5, 90, 35}, kThemeDisabled, nullptr, 0, -1, 0);
    theme.drawButton(s, {10, 5, 90, 35}, kThemeDisabled, nullptr, 0, -1, 0xFF406080u);
    s.render();
    EXPECT_EQ(s.pixel(50, 7), tint(0xFF406080u, 0.5));

    // Every operation leaves the clip, origin, font and text colour as it found them.
    Surface painter(1);
    painter.setSize(200, 200);
    painter.begin();
    painter.setOrigin(3, 4);
    ASSERT_TRUE(painter.setClip(10, 10, 150, 150));
    painter.text_colour = 0xFF123456u;
    painter.font = nullptr;
    ImageStrip icons;
    icons.load(256);
    theme.setIconImage(&icons, 16);
    theme.drawFrame(painter, 120, 90, kFrame, true, 1, nullptr, u"Caption");
    theme.drawCaption(painter, 120, 90, kFrame, 2);
    theme.drawButton(painter, {0, 0, 80, 24}, kHot, u"Button", -1, 1, 0);
    theme.drawMenuItem(painter, {0, 0, 120, 22}, kHot | kSubmenu, u"Item\tCtrl+O", -1, 3);
    theme.drawStatusBar(painter, {0, 0, 120, 22}, true);
    theme.drawStatusPane(painter, {0, 0, 120, 22}, u"Pane", -1, 12);
    theme.drawDropDownBox(painter, {0, 0, 120, 22}, 0, u"Box", -1);
    theme.drawDropListRow(painter, {0, 0, 120, 22}, kSelected, u"Row", -1);
    theme.drawCheckBox(painter, {0, 0, 16, 22}, kTicked);
    theme.drawMenuBarItem(painter, {0, 0, 50, 22}, kPressed, u"File");
    theme.drawTreeItem(painter, {0, 0, 120, 20}, 0, u"Tree", -1, 2);
    EXPECT_EQ(painter.getClip(), (IntRect{10, 10, 150, 150}));
    EXPECT_DOUBLE_EQ(painter.origin().dx, 3);
    EXPECT_DOUBLE_EQ(painter.origin().dy, 4);
    EXPECT_EQ(painter.font, nullptr);
    EXPECT_EQ(painter.text_colour, 0xFF123456u);

    // Empty rectangles and null captions draw what they can and never fail.
    theme.drawButton(painter, {5, 5, 5, 30}, 0, nullptr, -1, -1, 0);
    theme.drawMenuItem(painter, {0, 0, 100, 20}, 0, nullptr, -1, 99);
    painter.render();
}

TEST(ControlTheme, TintedIconsFollowTheAccent)
{
    ControlTheme theme;
    ImagePtr image(allocateImage(2, 1));
    ASSERT_TRUE(image);
    image->pixels[0] = 0xFFFFFFFFu;
    image->pixels[1] = 0x80303030u;
    ImagePtr tinted = theme.tintImage(*image);
    ASSERT_TRUE(tinted);
    // Accent C0 D0 E0: ratios 192/224, 208/224, 1.
    EXPECT_EQ(tinted->pixels[0], 0xFFDBEDFFu);
    EXPECT_EQ(tinted->pixels[1] >> 24, 0x80u) << "alpha kept";
}

// A surface with an opaque backdrop, the drawing, rendered.
template <typename Draw>
std::unique_ptr<Surface> rendered(int32_t w, int32_t h, Draw draw)
{
    auto s = std::make_unique<Surface>(1);
    s->setSize(w, h);
    s->begin();
    s->fillRectangle(0, 0, w, h, 0xFFE9EDF2u);
    draw(*s);
    s->render();
    return s;
}

TEST(ControlTheme, HotCloseButtonCheckMarkAndSizeGripPixels)
{
    ControlTheme theme;
    // The hot close button: its hot colour below the gloss, away from its edges and its cross.
    Surface frame(1);
    frame.setSize(300, 200);
    frame.begin();
    theme.drawFrame(frame, 300, 200, kFrame, true, 1, nullptr, nullptr);
    frame.render();
    int32_t closeLeft = 300 - 47, buttonBottom = 200 - 19;
    EXPECT_EQ(frame.pixel(closeLeft + 5, buttonBottom + 4), palette::kCloseHot);
    EXPECT_EQ(frame.pixel(closeLeft + 36, buttonBottom + 4), palette::kCloseHot);
    // Not hot: not that colour.
    Surface cold(1);
    cold.setSize(300, 200);
    cold.begin();
    theme.drawFrame(cold, 300, 200, kFrame, true, 0, nullptr, nullptr);
    cold.render();
    EXPECT_NE(cold.pixel(closeLeft + 5, buttonBottom + 4), palette::kCloseHot);

    // The check mark appears only when ticked: green pixels inside the box.
    auto greenPixels = [](const Surface& s) {
        int n = 0;
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x) {
                uint32_t p = s.pixel(x, y);
                n += ((p >> 8) & 0xFF) > ((p >> 16) & 0xFF) + 60;
            }
        return n;
    };
    auto ticked = rendered(30, 30, [&](Surface& s) { theme.drawCheckBox(s, {5, 4, 21, 26}, kTicked); });
    auto plain = rendered(30, 30, [&](Surface& s) { theme.drawCheckBox(s, {5, 4, 21, 26}, 0); });
    EXPECT_GT(greenPixels(*ticked), 8);
    EXPECT_EQ(greenPixels(*plain), 0);

    // The size grip: rings around the bottom-right corner, nothing beyond the largest.
    auto grip = rendered(60, 30, [&](Surface& s) { theme.drawStatusBar(s, {0, 0, 60, 30}, true); });
    auto bare = rendered(60, 30, [&](Surface& s) { theme.drawStatusBar(s, {0, 0, 60, 30}, false); });
    int changedNearRings = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            double distance = std::hypot(60 - (x + 0.5), y + 0.5);
            bool changed = grip->pixel(x, y) != bare->pixel(x, y);
            if (distance > 18.5) {
                EXPECT_FALSE(changed) << x << "," << y;
            }
            for (double radius : {4.0, 8.0, 12.0, 16.0})
                changedNearRings += changed && std::fabs(distance - radius) < 0.5;
        }
    EXPECT_GT(changedNearRings, 12);
    // Along the bottom row the grey rings darken the bar and the white rings lighten it.
    int darker = 0, lighter = 0;
    for (int x = 40; x < 60; ++x) {
        uint32_t g = grip->pixel(x, 0) & 0xFF, b = bare->pixel(x, 0) & 0xFF;
        darker += g < b;
        lighter += g > b;
    }
    EXPECT_GE(darker, 4);
    EXPECT_GE(lighter, 4);
}


// One-line labels of the theme (status panes, buttons, menu rows) too long for their room end in
// an ellipsis at the room's end instead of stopping at the last word that fits.
TEST(ControlTheme, AStatusPaneTextTooLongForItsPaneEndsInAnEllipsisAtItsEdge)
{
    ControlTheme theme;
    constexpr int32_t kWidth = 240, kHeight = 24;
    const IntRect pane{2, 2, 200, 21};
    const double textRight = pane.x1 - 5; // the pane's text inset
    auto draw = [&](const std::u16string& text) {
        auto s = std::make_unique<Surface>(1);
        EXPECT_TRUE(s->setSize(kWidth, kHeight));
        s->begin();
        s->fillRectangle(0, 0, kWidth, kHeight, 0xFFECECECu);
        theme.drawStatusPane(*s, pane, text.c_str(), int32_t(text.size()), -1);
        s->render();
        return s;
    };
    auto empty = draw(u"");
    // A word that runs past the edge: a line ended at the last space that fits stops far short.
    std::u16string text = u"Über Donaudampfschifffahrtsgesellschaftskapitänsmützen und Йошкар-Ола";
    auto full = draw(text);
    int32_t lastInked = -1;
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x)
            if (full->pixel(x, y) != empty->pixel(x, y) && x > lastInked)
                lastInked = x;
    EXPECT_LT(lastInked, int32_t(std::ceil(textRight)) + 1) << "ink past the pane's text room";
    EXPECT_GT(lastInked, int32_t(textRight) - 12) << "the text stops short of its room's end: no ellipsis";
}

} // namespace
} // namespace tonvane
