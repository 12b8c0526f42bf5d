// The scrolling item list: scroll bars coming and going, wheel, rows from the top, hit tests,
// selection rules, thumb drags, keys and middle-button panning, through a headless window.
#include "ControlsFixture.h"

#include "controls/list/ItemList.h"
#include "controls/theme/StyleBits.h"
#include "windowing/message/KeyCodes.h"

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace tonvane {
namespace {

using namespace style;
using testing::ControlsFixture;

constexpr int32_t kListLeft = 20;
constexpr int32_t kListBottom = 20;

struct ItemLists : ControlsFixture {
    ItemList list{&content.root()};
    std::vector<std::pair<int32_t, bool>> changes;
    std::vector<int32_t> clicked;

    void SetUp() override
    {
        ControlsFixture::SetUp();
        content.layout(kWidth, kHeight);
        list.create(kListLeft, kListBottom, 200, 100, kVisible);
        list.setCellSize(200, 20);
        list.setLineStep(10);
        ItemList::Routines routines;
        routines.onSelection = [this](int32_t i, bool on) { changes.emplace_back(i, on); };
        routines.onItemClick = [this](int32_t i, uint32_t, int32_t, int32_t) { clicked.push_back(i); };
        list.setRoutines(routines);
    }
    // A pointer message at a point of the list.
    void at(uint32_t message, int32_t x, int32_t y, uint64_t wParam = 0)
    {
        pointer(message, kListLeft + x, kListBottom + y, wParam);
    }
};

TEST_F(ItemLists, BarsComeWithContentThatOutgrowsTheViewportAndGoWithIt)
{
    list.setItemCount(5); // 100 pixels: fits exactly
    EXPECT_EQ(list.style() & kVerticalScrollBar, 0u);
    EXPECT_EQ(list.viewport(), (IntRect{0, 0, 200, 100}));
    list.setItemCount(6);
    EXPECT_EQ(list.style() & kVerticalScrollBar, kVerticalScrollBar);
    EXPECT_EQ(list.viewport(), (IntRect{0, 0, 184, 100})) << "the cells lose 16 pixels";
    list.setPositions(0, 0.3);
    list.setItemCount(5);
    EXPECT_EQ(list.style() & kVerticalScrollBar, 0u);
    EXPECT_EQ(list.verticalPosition(), 1.0) << "hiding the bar scrolls to the top";
    list.setContentWidth(250);
    EXPECT_EQ(list.style() & kHorizontalScrollBar, kHorizontalScrollBar);
    EXPECT_EQ(list.viewport(), (IntRect{0, 16, 200, 100}));

    list.setItemCount(0);
    list.setContentWidth(0);
    EXPECT_EQ(list.style() & (kVerticalScrollBar | kHorizontalScrollBar), 0u);
    EXPECT_EQ(list.itemAt(50, 50), -1);
    at(msg::WM_LBUTTONDOWN, 50, 50);
    EXPECT_EQ(clicked, (std::vector<int32_t>{-1}));
}

TEST_F(ItemLists, WheelRowsFromTheTopAndKeys)
{
    list.setItemCount(10); // 200 pixels in a 100-pixel viewport: a 10-pixel step is 0.1
    uint32_t before = pushes();
    wheel(kListLeft + 50, kListBottom + 50, 120);
    EXPECT_EQ(list.verticalPosition(), 1.0);
    EXPECT_EQ(pushes(), before) << "at the top the wheel does nothing";
    list.setPositions(0, 0.95);
    wheel(kListLeft + 50, kListBottom + 50, 120);
    EXPECT_EQ(list.verticalPosition(), 1.0) << "stops exactly at the top";
    wheel(kListLeft + 50, kListBottom + 50, -240);
    EXPECT_NEAR(list.verticalPosition(), 0.8, 1e-12);

    // Rows count from the top: at 1 the first row touches the top, at 0 the last the bottom.
    list.setPositions(0, 1);
    EXPECT_EQ(list.itemRect(0), (IntRect{0, 80, 184, 100}));
    EXPECT_EQ(list.itemAt(10, 99), 0);
    EXPECT_EQ(list.itemAt(10, 0), 4);
    list.setPositions(0, 0);
    EXPECT_EQ(list.itemRect(9), (IntRect{0, 0, 184, 20}));
    EXPECT_EQ(list.itemAt(10, 5), 9);
    EXPECT_EQ(list.itemAt(190, 5), -1) << "over the scroll bar";
    list.setPositions(0, 0.5);
    EXPECT_EQ(list.itemAt(10, 99), 2);

    list.takeFocus();
    key(msg::WM_KEYDOWN, vk::VK_HOME);
    EXPECT_EQ(list.verticalPosition(), 1.0);
    key(msg::WM_KEYDOWN, vk::VK_DOWN);
    EXPECT_NEAR(list.verticalPosition(), 0.9, 1e-12);
    key(msg::WM_KEYDOWN, vk::VK_NEXT);
    EXPECT_EQ(list.verticalPosition(), 0.0) << "a page is the viewport height, clamped";
    key(msg::WM_KEYDOWN, vk::VK_HOME);
    key(msg::WM_KEYDOWN, vk::VK_END);
    EXPECT_EQ(list.verticalPosition(), 0.0);
}

TEST_F(ItemLists, SelectionRules)
{
    list.setListFlags(ItemList::kSingleSelection);
    list.setItemCount(8);
    list.toggleSelection(2);
    backend.setModifiers(mod::kCtrl);
    list.toggleSelection(5);
    EXPECT_FALSE(list.selected(2));
    EXPECT_TRUE(list.selected(5));
    EXPECT_EQ(changes, (std::vector<std::pair<int32_t, bool>>{{2, true}, {-1, false}, {2, false}, {5, true}, {-1, false}}))
        << "without multiple selection Ctrl changes nothing";

    changes.clear();
    list.setListFlags(0); // multiple with Ctrl
    list.toggleSelection(2);
    EXPECT_TRUE(list.selected(2));
    EXPECT_TRUE(list.selected(5));
    EXPECT_EQ(changes, (std::vector<std::pair<int32_t, bool>>{{2, true}, {-1, false}}));
    backend.setModifiers(0);
    list.toggleSelection(7);
    EXPECT_FALSE(list.selected(2));
    EXPECT_FALSE(list.selected(5));
    EXPECT_TRUE(list.selected(7));
    changes.clear();
    list.toggleSelection(8); // beyond the count
    EXPECT_TRUE(changes.empty());
}

TEST_F(ItemLists, ThumbDragsPinAtTheEndsAndPanningScrolls)
{
    list.setItemCount(20); // 400 pixels in 100
    list.setPositions(0, 0.5);
    IntRect thumb = list.thumbRect(true);
    ASSERT_FALSE(thumb.empty());
    int32_t tx = (thumb.x0 + thumb.x1) / 2, ty = (thumb.y0 + thumb.y1) / 2;
    at(msg::WM_LBUTTONDOWN, tx, ty);
    EXPECT_EQ(list.drag(), ItemList::Drag::VerticalThumb);
    at(msg::WM_MOUSEMOVE, tx, ty + 1000);
    EXPECT_EQ(list.verticalPosition(), 1.0);
    at(msg::WM_MOUSEMOVE, tx, ty - 1000);
    EXPECT_EQ(list.verticalPosition(), 0.0);
    at(msg::WM_LBUTTONUP, tx, ty - 1000);
    EXPECT_EQ(list.drag(), ItemList::Drag::None);

    // Middle button: the pointer 40 pixels above the anchor pans upwards, tick by tick.
    list.setPositions(0, 0.2);
    at(msg::WM_MBUTTONDOWN, 50, 50);
    EXPECT_EQ(list.drag(), ItemList::Drag::Panning);
    at(msg::WM_MOUSEMOVE, 50, 90);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (list.verticalPosition() <= 0.2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        testing::drain(ui);
    }
    EXPECT_GT(list.verticalPosition(), 0.2);
    double during = list.verticalPosition();
    wheel(kListLeft + 50, kListBottom + 90, 120);
    EXPECT_GE(list.verticalPosition(), during) << "the wheel is ignored while panning";
    at(msg::WM_MBUTTONUP, 50, 90);
    EXPECT_EQ(list.drag(), ItemList::Drag::None);
    EXPECT_FALSE(list.hasCapture());
}

} // namespace
} // namespace tonvane
