// The widget model's shared rules and the push button, check box and label state machines,
// driven through a headless window's real message path.
#include "ControlsFixture.h"

#include "controls/button/CheckBox.h"
#include "controls/button/PushButton.h"
#include "controls/label/Label.h"
#include "controls/theme/StyleBits.h"
#include "core/foundation/Utf.h"
#include "windowing/message/KeyCodes.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace tonvane {
namespace {

using namespace style;
using testing::ControlsFixture;

struct Widgets : ControlsFixture {
    PushButton button{&content.root()};
    PushButton other{&content.root()};
    CheckBox check{&content.root()};
    int clicks = 0;
    std::vector<bool> toggles;

    void SetUp() override
    {
        ControlsFixture::SetUp();
        content.layout(kWidth, kHeight);
        button.create(20, 20, 100, 30, kVisible);
        button.setCaption(Caption::of(u"Convert"));
        button.setOnClick([this] { ++clicks; });
        other.create(150, 20, 100, 30, kVisible);
        check.create(20, 100, 150, 22, kVisible);
        check.setOnToggle([this](bool on) { toggles.push_back(on); });
    }
};

TEST_F(Widgets, ShowingTwiceMovingInPlaceAndPendingFocus)
{
    uint32_t before = pushes();
    EXPECT_FALSE(button.show()) << "already visible: no change";
    EXPECT_FALSE(button.moveTo(20, 20));
    EXPECT_EQ(pushes(), before) << "neither repaints";
    EXPECT_TRUE(button.moveTo(25, 20));
    EXPECT_GT(pushes(), before);

    // Asking for the focus while hidden: remembered, given when shown.
    other.hide();
    other.takeFocus();
    EXPECT_FALSE(other.hasFocus());
    EXPECT_EQ(pendingFocusWidget(), &other);
    other.show();
    EXPECT_TRUE(other.hasFocus());
    EXPECT_EQ(pendingFocusWidget(), nullptr);
    // Disabled widgets are not interactive and do not take the focus.
    button.setEnabled(false);
    EXPECT_FALSE(button.isInteractive());
    EXPECT_EQ(button.takeFocus(), nullptr);
    EXPECT_TRUE(other.hasFocus());
    button.setEnabled(true);
    EXPECT_TRUE(button.hasFocus()) << "the pending focus comes with enabling";
}

TEST_F(Widgets, ButtonClicksOnlyWhenReleasedInsideAndSpaceRules)
{
    // Press, leave, release outside: no click.
    pointer(msg::WM_MOUSEMOVE, 30, 30);
    EXPECT_EQ(button.interaction(), PushButton::kHotBit);
    EXPECT_TRUE(button.hasCapture()) << "to see the pointer leave";
    pointer(msg::WM_LBUTTONDOWN, 30, 30);
    EXPECT_TRUE(button.hasFocus());
    EXPECT_EQ(button.themeState() & (kHot | kPressed), kHot | kPressed);
    pointer(msg::WM_MOUSEMOVE, 300, 200);
    EXPECT_EQ(button.themeState() & (kHot | kPressed), 0u) << "pressed but outside looks normal";
    pointer(msg::WM_LBUTTONUP, 300, 200);
    EXPECT_EQ(clicks, 0);
    pointer(msg::WM_MOUSEMOVE, 300, 210);
    EXPECT_FALSE(button.hasCapture());

    // Press, leave, come back, release inside: one click.
    pointer(msg::WM_MOUSEMOVE, 30, 30);
    pointer(msg::WM_LBUTTONDOWN, 30, 30);
    pointer(msg::WM_MOUSEMOVE, 300, 200);
    pointer(msg::WM_MOUSEMOVE, 40, 35);
    pointer(msg::WM_LBUTTONUP, 40, 35);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.hasCapture());

    // Space holds the button: mouse presses are ignored; Space up clicks; Esc cancels.
    key(msg::WM_KEYDOWN, vk::VK_SPACE);
    EXPECT_EQ(button.themeState() & kPressed, kPressed);
    pointer(msg::WM_LBUTTONDOWN, 30, 30);
    EXPECT_EQ(button.interaction() & PushButton::kMousePressed, 0);
    key(msg::WM_KEYUP, vk::VK_SPACE);
    EXPECT_EQ(clicks, 2);
    key(msg::WM_KEYDOWN, vk::VK_SPACE);
    key(msg::WM_KEYDOWN, vk::VK_ESCAPE);
    key(msg::WM_KEYUP, vk::VK_SPACE);
    EXPECT_EQ(clicks, 2) << "Esc after Space cancels";

    // Disabled: neither hot nor pressed.
    ui.captureRoute().clear();
    button.setEnabled(false);
    pointer(msg::WM_MOUSEMOVE, 30, 30);
    pointer(msg::WM_LBUTTONDOWN, 30, 30);
    pointer(msg::WM_LBUTTONUP, 30, 30);
    EXPECT_EQ(button.interaction(), 0);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(button.themeState() & kThemeDisabled, kThemeDisabled);
}

TEST_F(Widgets, CheckBoxTogglesAndTabWalksTheFocus)
{
    pointer(msg::WM_LBUTTONDOWN, 25, 110);
    pointer(msg::WM_LBUTTONDOWN, 100, 110);
    EXPECT_EQ(toggles, (std::vector<bool>{true, false}));
    EXPECT_FALSE(check.ticked());
    pointer(msg::WM_LBUTTONDOWN, 200, 110); // outside its rectangle
    EXPECT_EQ(toggles.size(), 2u);

    // Tab: button, other, check box, then around again.
    button.takeFocus();
    key(msg::WM_KEYDOWN, vk::VK_TAB);
    EXPECT_TRUE(other.hasFocus());
    key(msg::WM_KEYDOWN, vk::VK_TAB);
    EXPECT_TRUE(check.hasFocus());
    key(msg::WM_KEYDOWN, vk::VK_TAB);
    EXPECT_TRUE(button.hasFocus()) << "Tab wraps";
}

// A caption too long for its check box: on two lines when the box is tall enough (its last word
// drawn), cut with an ellipsis at the box's edge on one.
TEST_F(Widgets, CheckBoxCaptionsWrapWhenTallAndEndInAnEllipsisWhenNot)
{
    const std::u16string caption = u"Änderungen auf alle Tracks anwenden";
    const std::u16string shorter = caption.substr(0, caption.find_last_of(u' '));
    constexpr int32_t kBoxLeft = 20, kBoxBottom = 100, kBoxWidth = 150;
    // The caption's pixels (right of the box square) as rows of inked columns.
    auto captionPixels = [&](const std::u16string& text, int32_t height) {
        check.setRect(kBoxLeft, kBoxBottom, kBoxWidth, height);
        check.setCaption(Caption::of(text));
        window.repaint();
        HeadlessBackend::WindowRecord record = backend.window(window.id());
        std::vector<std::vector<uint32_t>> rows;
        for (int32_t y = kBoxBottom; y < kBoxBottom + height; ++y) {
            rows.emplace_back();
            for (int32_t x = kBoxLeft + metrics::kCheckBox + 2; x < kBoxLeft + kBoxWidth + 20; ++x)
                rows.back().push_back(record.pixel(LayeredWindow::kMarginLeft + x, LayeredWindow::kMarginTop + kHeight - 1 - y));
        }
        return rows;
    };
    auto background = captionPixels(u"", 34);
    auto inkedRows = [&](const std::vector<std::vector<uint32_t>>& rows) {
        std::vector<bool> inked;
        for (size_t r = 0; r < rows.size(); ++r)
            inked.push_back(rows[r] != background[r]);
        return inked;
    };
    auto tall = captionPixels(caption, 34);
    EXPECT_TRUE(tall != captionPixels(shorter, 34)) << "the last word is not drawn";
    std::vector<bool> inked = inkedRows(tall);
    int bands = 0;
    for (size_t r = 0; r < inked.size(); ++r)
        bands += inked[r] && (r == 0 || !inked[r - 1]);
    EXPECT_EQ(bands, 2) << "two lines of text";

    auto one = captionPixels(caption, 22);
    int32_t lastColumn = -1;
    for (size_t r = 0; r < one.size(); ++r)
        for (size_t x = 0; x < one[r].size(); ++x)
            if (one[r][x] != background[r][x])
                lastColumn = std::max(lastColumn, int32_t(x));
    int32_t edge = kBoxWidth - metrics::kCheckBox - 2; // the box's right edge in these columns
    EXPECT_LT(lastColumn, edge) << "ink past the box";
    EXPECT_GT(lastColumn, edge - 12) << "the line stops short of the edge: no ellipsis";
}

TEST_F(Widgets, LinkLabelsHoverAndOpenTheirAddress)
{
    std::vector<std::string> opened;
    setAddressOpener([&](const std::string& address) { opened.push_back(address); });
    Label link{&content.root()};
    link.create(20, 200, 120, 20, kVisible);
    link.setCaption(Caption::of(u"Tutorials"));
    link.setLink(kTextTutorialsAddress);
    pointer(msg::WM_MOUSEMOVE, 30, 205);
    EXPECT_TRUE(link.hovered());
    pointer(msg::WM_MOUSEMOVE, 300, 205);
    EXPECT_FALSE(link.hovered()) << "the label saw the pointer leave";
    pointer(msg::WM_LBUTTONDOWN, 30, 205);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], utf16ToUtf8(uiText(kTextTutorialsAddress).view()));
    link.setEnabled(false);
    pointer(msg::WM_LBUTTONDOWN, 30, 205);
    EXPECT_EQ(opened.size(), 1u) << "a disabled link opens nothing";
    setAddressOpener(nullptr);
}

TEST_F(Widgets, TheTreePaintsEachWidgetInsideItsRectangle)
{
    PushButton green{&content.root()};
    green.create(200, 150, 60, 40, kVisible);
    green.setFace(0xFF00C000u);
    window.repaint();
    HeadlessBackend::WindowRecord shown = backend.window(window.id());
    // Pixel (x, y up) of the content in the pushed top-down picture.
    auto at = [&](int32_t x, int32_t y) {
        return shown.pixel(LayeredWindow::kMarginLeft + x, LayeredWindow::kMarginTop + kHeight - 1 - y);
    };
    uint32_t inside = at(230, 155); // the lower part of the face, under the gloss
    EXPECT_GT((inside >> 8) & 0xFF, 0x80u) << std::hex << inside;
    EXPECT_LT((inside >> 16) & 0xFF, 0x40u) << std::hex << inside;
    EXPECT_EQ(at(270, 170), at(350, 280)) << "outside the widgets: the window's own background";
    EXPECT_NE(at(270, 170), inside);
}

// Widgets repaint only their own rectangles; after every kind of change the screen must hold
// exactly what a whole repaint shows (no trace of a widget where it was).
TEST_F(Widgets, RegionRepaintsLeaveNothingBehind)
{
    PushButton green{&content.root()};
    green.create(200, 150, 60, 40, kVisible);
    green.setFace(0xFF00C000u);
    window.repaint();
    struct Change {
        const char* name;
        std::function<void()> apply;
    };
    const Change changes[] = {
        {"moved down by less than its height", [&] { green.moveTo(200, 140); }},
        {"moved far", [&] { green.moveTo(40, 230); }},
        {"grown", [&] { green.setRect(40, 220, 90, 60); }},
        {"shrunk and moved", [&] { green.setRect(60, 200, 30, 20); }},
        {"face changed", [&] { green.setFace(0xFFC00000u); }},
        {"hidden", [&] { green.hide(); }},
        {"shown", [&] { green.show(); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        uint32_t before = pushes();
        change.apply();
        EXPECT_GT(pushes(), before);
        HeadlessBackend::WindowRecord partial = backend.window(window.id());
        EXPECT_LT(partial.lastPushed.width, kWidth) << "a region, not the whole window";
        window.repaint();
        EXPECT_EQ(partial.pixels, backend.window(window.id()).pixels);
    }
}

} // namespace
} // namespace tonvane
