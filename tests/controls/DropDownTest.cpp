// The drop-down box: its popup below the box, run modally; choosing by click and by keys,
// closing without a change by a press outside and by Esc.
#include "ControlsFixture.h"

#include "controls/dropdown/DropDownBox.h"
#include "controls/dropdown/DropDownPopup.h"
#include "controls/theme/StyleBits.h"
#include "windowing/message/KeyCodes.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace tonvane {
namespace {

using namespace style;
using testing::ControlsFixture;

struct DropDowns : ControlsFixture {
    DropDownBox box{&content.root()};
    std::vector<int32_t> chosen;

    void SetUp() override
    {
        ControlsFixture::SetUp();
        content.layout(kWidth, kHeight);
        box.create(50, 200, 180, 22, kVisible);
        box.setRowCount(5);
        box.setListHeight(5 * 22);
        box.setRowText([](int32_t row) { return u"Match " + std::u16string(1, char16_t(u'1' + row)); });
        box.setOnChoose([this](int32_t row) { chosen.push_back(row); });
    }

    // Runs `inside` on the window's thread once the popup is open (the modal loop runs it).
    void whileOpen(std::function<void(DropDownPopup&)> inside)
    {
        ui.post(window.id(), [this, inside] {
            ASSERT_NE(box.popup(), nullptr);
            inside(*box.popup());
        });
    }
    // A pointer message at a point of the popup's content (y up).
    void popupPointer(DropDownPopup& popup, uint32_t message, int32_t x, int32_t y)
    {
        LayeredWindow& w = popup.popupWindow();
        Message event{w.id(), message};
        event.x = w.marginLeft() + x;
        event.y = w.marginTop() + w.height() - y;
        backend.inject(event);
    }
};

TEST_F(DropDowns, ClickingARowChoosesItAndTheSameRowCallsNothing)
{
    IntRect placed;
    whileOpen([&](DropDownPopup& popup) {
        LayeredWindow& w = popup.popupWindow();
        placed = {w.left(), w.bottom(), w.left() + w.width(), w.bottom() + w.height()};
        EXPECT_TRUE(box.isOpen());
        popupPointer(popup, msg::WM_MOUSEMOVE, 20, 110 - 22 * 2 - 5); // row 2
        popupPointer(popup, msg::WM_LBUTTONDOWN, 20, 110 - 22 * 2 - 5);
    });
    pointer(msg::WM_LBUTTONDOWN, 60, 210);
    EXPECT_EQ(chosen, (std::vector<int32_t>{2}));
    EXPECT_EQ(box.chosen(), 2);
    EXPECT_FALSE(box.isOpen());
    // Below the box, as wide as it, its top 4 pixels under the box.
    int32_t boxBottom = kBottom + 200;
    EXPECT_EQ(placed, (IntRect{kLeft + 50, boxBottom - 4 - 110, kLeft + 230, boxBottom - 4}));

    whileOpen([&](DropDownPopup& popup) {
        EXPECT_EQ(popup.hot(), 2) << "the hot row starts at the chosen one";
        popupPointer(popup, msg::WM_LBUTTONDOWN, 20, 110 - 22 * 2 - 5);
    });
    pointer(msg::WM_LBUTTONDOWN, 60, 210);
    EXPECT_EQ(chosen.size(), 1u) << "choosing the chosen row calls nothing";
}

TEST_F(DropDowns, LeavingAndPressingOutsideOrEscChangesNothing)
{
    box.setChosen(1);
    whileOpen([&](DropDownPopup& popup) {
        popupPointer(popup, msg::WM_MOUSEMOVE, 20, 30); // over row 3
        popupPointer(popup, msg::WM_MOUSEMOVE, 20, 300); // out of the popup
        popupPointer(popup, msg::WM_LBUTTONDOWN, 20, 300);
    });
    pointer(msg::WM_LBUTTONDOWN, 60, 210);
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(box.chosen(), 1);

    // Down opens it from the keyboard; Down moves the hot row, Esc closes without a change.
    box.takeFocus();
    whileOpen([&](DropDownPopup& popup) {
        backend.inject(Message{popup.popupWindow().id(), msg::WM_KEYDOWN, vk::VK_DOWN});
        backend.inject(Message{popup.popupWindow().id(), msg::WM_KEYDOWN, vk::VK_ESCAPE});
    });
    key(msg::WM_KEYDOWN, vk::VK_DOWN);
    EXPECT_TRUE(chosen.empty());
    // F4 and Enter choose the row below.
    whileOpen([&](DropDownPopup& popup) {
        backend.inject(Message{popup.popupWindow().id(), msg::WM_KEYDOWN, vk::VK_DOWN});
        backend.inject(Message{popup.popupWindow().id(), msg::WM_KEYDOWN, vk::VK_RETURN});
    });
    key(msg::WM_KEYDOWN, vk::VK_F1 + 3);
    EXPECT_EQ(chosen, (std::vector<int32_t>{2}));

    // No rows: nothing opens.
    box.setRowCount(0);
    pointer(msg::WM_LBUTTONDOWN, 60, 210);
    EXPECT_FALSE(box.isOpen());
}

// The list opens below the box where the work area has room, else above it, and where neither
// side has room on the roomier side, shortened to fit (y-up pixels; the box's bottom edge is at
// the window's bottom + its y, its top 22 higher).
TEST_F(DropDowns, TheListStaysInsideTheWorkArea)
{
    struct Case {
        const char* what;
        int32_t areaHeight, boxY, listHeight;
        int32_t bottom, top; // of the open list
    } cases[] = {
        {"room below", 1024, 200, 110, 396 - 110, 396},
        {"above: 206 below, 788 above", 1024, 10, 300, 236, 536},
        {"neither: 206 below, 164 above", 400, 10, 300, 0, 206},
        {"neither: 46 below, 224 above", 300, -150, 300, 76, 300},
    };
    for (const Case& c : cases) {
        backend.setWorkArea({0, 0, 1280, c.areaHeight});
        box.setRect(50, c.boxY, 180, 22);
        box.setListHeight(c.listHeight);
        IntRect placed;
        whileOpen([&](DropDownPopup& popup) {
            LayeredWindow& w = popup.popupWindow();
            placed = {w.left(), w.bottom(), w.left() + w.width(), w.bottom() + w.height()};
            backend.inject(Message{w.id(), msg::WM_KEYDOWN, vk::VK_ESCAPE});
        });
        box.open(true);
        EXPECT_EQ(placed, (IntRect{kLeft + 50, c.bottom, kLeft + 230, c.top})) << c.what;
    }
    backend.setWorkArea({0, 0, 1280, 1024});
}

// Two rows in a list five rows high: under a compositor every pixel of the open popup is opaque
// (any lower alpha blends the window beneath into it), and the part below the last row shows the
// list background, the colour of a row's empty right end.
TEST_F(DropDowns, TheOpenListIsOpaqueBelowItsLastRow)
{
    backend.setCompositor(true);
    box.setRowCount(2);
    box.setListHeight(5 * 22);
    HeadlessBackend::WindowRecord shown;
    int32_t left = 0, top = 0; // [pixels] the shadow margin before the content, y down
    whileOpen([&](DropDownPopup& popup) {
        LayeredWindow& w = popup.popupWindow();
        shown = backend.window(w.id());
        left = w.marginLeft();
        top = w.marginTop();
        ASSERT_EQ(shown.pushedWidth, 180 + w.marginTotal());
        ASSERT_EQ(shown.pushedHeight, 110 + w.marginTotal());
        backend.inject(Message{w.id(), msg::WM_KEYDOWN, vk::VK_ESCAPE});
    });
    box.open(true);
    ASSERT_FALSE(shown.pixels.empty());
    EXPECT_EQ(shown.pushedAlpha, 255);
    int32_t seeThrough = 0;
    for (int32_t y = top; y < top + 110; ++y)
        for (int32_t x = left; x < left + 180; ++x)
            seeThrough += (shown.pixel(x, y) >> 24) != 0xFF;
    EXPECT_EQ(seeThrough, 0) << "pixels of the open list with alpha below 255";
    // Rows from the top (y down): 0..21 row 1, 22..43 row 2, 44..109 empty, inside the border
    // and its rounded corners.
    constexpr int32_t kCorner = 4; // [pixels]
    // The rows' translucent white over the opaque face rounds to one level below it.
    auto near = [](uint32_t a, uint32_t b) {
        for (int shift = 0; shift < 32; shift += 8)
            if (std::abs(int32_t((a >> shift) & 0xFF) - int32_t((b >> shift) & 0xFF)) > 2)
                return false;
        return true;
    };
    uint32_t rowEnd = shown.pixel(left + 170, top + 22 + 11);
    EXPECT_TRUE(near(rowEnd, PopupWindow::faceColour())) << std::hex << rowEnd;
    int32_t unlike = 0;
    for (int32_t y = top + 45; y < top + 110 - kCorner; ++y)
        for (int32_t x = left + kCorner; x < left + 180 - kCorner; ++x)
            unlike += !near(shown.pixel(x, y), rowEnd);
    EXPECT_EQ(unlike, 0) << "pixels below the last row unlike the list background";
}

TEST_F(DropDowns, UpAndDownStopAtTheEndsOfTheList)
{
    auto text = [](int32_t) { return std::u16string(u"row"); };
    DropDownPopup list(ui, window.id(), 3, 1, text);
    list.moveHot(1);
    list.moveHot(1);
    EXPECT_EQ(list.hot(), 2) << "a list stops at its end";
    list.moveHot(-1);
    EXPECT_EQ(list.hot(), 1);
    DropDownPopup fresh(ui, window.id(), 3, -1, text);
    fresh.moveHot(-1);
    EXPECT_EQ(fresh.hot(), 2) << "Up with no hot row starts at the bottom";
}

} // namespace
} // namespace tonvane
