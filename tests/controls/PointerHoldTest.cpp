// Who holds the mouse, and for how long: a hovered control routes its window's pointer events
// without taking the window system's pointer; only a held button grabs it; every way a hover or
// press can end (disable, hide, destruction, focus loss, Esc, the pointer leaving the window)
// lets go. And a dialog that opens on its own gets the pointer even while a control is hovered.
#include "ControlsFixture.h"

#include "controls/button/PushButton.h"
#include "controls/dropdown/DropDownBox.h"
#include "controls/theme/StyleBits.h"
#include "windowing/message/KeyCodes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tonvane {
namespace {

using namespace style;
using testing::ControlsFixture;

struct PointerHold : ControlsFixture {
    std::unique_ptr<PushButton> button = std::make_unique<PushButton>(&content.root());
    DropDownBox box{&content.root()};
    int clicks = 0;

    void SetUp() override
    {
        ControlsFixture::SetUp();
        content.layout(kWidth, kHeight);
        button->create(20, 20, 100, 30, kVisible);
        button->setCaption(Caption::of(u"Convert"));
        button->setOnClick([this] { ++clicks; });
        box.create(20, 200, 150, 22, kVisible);
        box.setRowCount(2);
        box.setListHeight(44);
    }
    bool hovered(const Widget& w) { return ui.captureRoute().owner() == &w; }
};

TEST_F(PointerHold, HoverNeverGrabsAndAPressGrabsOnlyWhileHeld)
{
    pointer(msg::WM_MOUSEMOVE, 30, 30);
    EXPECT_TRUE(hovered(*button));
    EXPECT_EQ(button->interaction(), PushButton::kHotBit);
    EXPECT_EQ(backend.capture(), kNoWindow) << "a hover leaves the pointer to other programs";

    pointer(msg::WM_LBUTTONDOWN, 30, 30);
    EXPECT_EQ(backend.capture(), window.id()) << "a held button sees its release anywhere";
    pointer(msg::WM_MOUSEMOVE, 300, 280);
    EXPECT_EQ(backend.capture(), window.id());
    pointer(msg::WM_LBUTTONUP, 300, 280);
    EXPECT_EQ(backend.capture(), kNoWindow) << "released outside: the grab ends with the press";
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button->interaction(), 0);

    pointer(msg::WM_MOUSEMOVE, 40, 210);
    EXPECT_TRUE(hovered(box));
    EXPECT_TRUE(box.hovered());
    EXPECT_EQ(backend.capture(), kNoWindow);
    pointer(msg::WM_MOUSEMOVE, 300, 280);
    EXPECT_FALSE(box.hovered());
    EXPECT_EQ(ui.captureRoute().owner(), nullptr);
}

// Each way a hover ends, for a hovered button and a hovered drop-down box: the route lets go,
// nothing is grabbed, and the control no longer draws itself hot.
TEST_F(PointerHold, EveryEndOfAHoverLetsGo)
{
    struct End {
        const char* what;
        std::function<void(Widget&)> end;
        std::function<void(Widget&)> undo;
    };
    const End ends[] = {
        {"disabled (a disc swap)", [](Widget& w) { w.setEnabled(false); }, [](Widget& w) { w.setEnabled(true); }},
        {"hidden", [](Widget& w) { w.hide(); }, [](Widget& w) { w.show(); }},
        {"focus lost", [this](Widget&) { ui.dispatch(Message{window.id(), msg::WM_KILLFOCUS}); }, nullptr},
        {"Esc", [this](Widget&) { key(msg::WM_KEYDOWN, vk::VK_ESCAPE); }, nullptr},
        {"pointer left the window",
         [this](Widget&) {
             Message leave{window.id(), msg::WM_MOUSELEAVE};
             leave.x = -5; // the window system reports where it left, maybe still over us
             leave.y = 40;
             ui.dispatch(leave);
         },
         nullptr},
    };
    struct Target {
        Widget* widget;
        int32_t x, y; // a content point over it
        std::function<bool()> hot;
    };
    const Target targets[] = {
        {button.get(), 30, 30, [this] { return (button->interaction() & PushButton::kHotBit) != 0; }},
        {&box, 40, 210, [this] { return box.hovered(); }},
    };
    for (const Target& target : targets)
        for (const End& end : ends) {
            pointer(msg::WM_MOUSEMOVE, 300, 280);
            pointer(msg::WM_MOUSEMOVE, target.x, target.y);
            ASSERT_TRUE(hovered(*target.widget)) << end.what;
            end.end(*target.widget);
            EXPECT_EQ(ui.captureRoute().owner(), nullptr) << end.what;
            EXPECT_EQ(backend.capture(), kNoWindow) << end.what;
            EXPECT_FALSE(target.hot()) << end.what;
            if (end.undo)
                end.undo(*target.widget);
        }

    // A pressed button that goes away mid-press lets go of the grab too.
    pointer(msg::WM_MOUSEMOVE, 30, 30);
    pointer(msg::WM_LBUTTONDOWN, 30, 30);
    ASSERT_EQ(backend.capture(), window.id());
    button.reset();
    EXPECT_EQ(backend.capture(), kNoWindow);
    EXPECT_EQ(ui.captureRoute().owner(), nullptr);
}

// A dialog of our own opened by a posted request (no click of the user's) while the pointer
// rests on a control of the main window, or holds it pressed: its button takes the click.
TEST_F(PointerHold, ADialogOpenedWithoutAClickGetsThePointer)
{
    WidgetWindow dialogContent;
    LayeredWindow::Config dc = config();
    dc.kind = WindowKind::Dialog;
    dc.owner = window.id();
    LayeredWindow dialog(ui, dialogContent, dc);
    PushButton ok(&dialogContent.root());
    int okClicks = 0;
    ok.setOnClick([&] {
        ++okClicks;
        ui.postMessage(Message{dialog.id(), msg::WM_CLOSE});
    });
    auto inDialog = [&](uint32_t message) {
        Message event{dialog.id(), message};
        event.x = LayeredWindow::kMarginLeft + 60;
        event.y = LayeredWindow::kMarginTop + 100 - 40;
        backend.inject(event);
    };
    struct Start {
        const char* what;
        std::vector<uint32_t> onMain;
    };
    const Start starts[] = {
        {"hovered", {msg::WM_MOUSEMOVE}},
        {"held pressed", {msg::WM_MOUSEMOVE, msg::WM_LBUTTONDOWN}},
    };
    for (const Start& start : starts) {
        okClicks = 0;
        for (uint32_t message : start.onMain)
            pointer(message, 30, 30);
        ASSERT_TRUE(hovered(*button)) << start.what;
        dialogContent.attach(dialog); // again: a destroyed window lets go of its content
        ASSERT_TRUE(dialog.create(600, 300, 800, 400));
        dialogContent.layout(200, 100);
        ok.create(50, 30, 100, 30, kVisible);
        dialog.repaint();
        inDialog(msg::WM_MOUSEMOVE);
        inDialog(msg::WM_LBUTTONDOWN);
        inDialog(msg::WM_LBUTTONUP);
        backend.inject(Message{dialog.id(), msg::WM_CLOSE}); // ends the loop when the click went astray
        ui.runModal(dialog);
        EXPECT_EQ(okClicks, 1) << start.what;
        EXPECT_EQ(clicks, 0) << start.what << ": the main window's button saw nothing";
        EXPECT_EQ(button->interaction(), 0) << start.what << ": and no longer draws itself hot or pressed";
        EXPECT_EQ(backend.capture(), kNoWindow) << start.what;
        testing::drain(ui);
    }
}

} // namespace
} // namespace tonvane
