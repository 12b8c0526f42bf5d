// The pointer on a real X server belongs to everyone: while a control of ours is hovered, and
// after a hovered control is disabled, another client can still grab it. And a minimise that
// no window manager carries out brings the window back instead of leaving its transparent last
// animation frame on the screen.
#include <gtest/gtest.h> // before the X headers: they define None

#include "controls/button/PushButton.h"
#include "controls/dropdown/DropDownBox.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "core/foundation/Clock.h"
#include "support/TempDir.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"
#include "windowing/x11/X11Backend.h"
#include "windowing/x11/XvfbScreen.h" // X headers: after ours, which use None

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace tonvane {
namespace {

// Dispatches what arrives until done() or the time is up; false when it never came.
bool pumpUntil(UiThread& ui, const std::function<bool()>& done, int timeoutMs = 5000)
{
    uint64_t end = monotonicNs() + static_cast<uint64_t>(timeoutMs) * 1000000;
    Message message;
    while (!done() && monotonicNs() < end) {
        while (ui.peekMessage(message))
            ui.dispatch(message);
        sleepMs(5);
    }
    return done();
}

bool viewable(Display* connection, WindowId window)
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(connection, static_cast<Window>(window), &attributes);
    return attributes.map_state == IsViewable;
}

// Whether another client gets the pointer; let go at once.
bool otherClientCanGrab(Display* other)
{
    int answer = XGrabPointer(other, DefaultRootWindow(other), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                              None, None, CurrentTime);
    XUngrabPointer(other, CurrentTime);
    XSync(other, False);
    return answer == GrabSuccess;
}

struct X11Window : ::testing::Test {
    void SetUp() override
    {
        if (!std::filesystem::exists(test::kXvfb))
            GTEST_SKIP() << test::kXvfb << " is not installed (tools/install-deps.sh installs it)";
        setControlTheme(&theme);
    }
    void TearDown() override { setControlTheme(nullptr); }

    static LayeredWindow::Config frameless()
    {
        LayeredWindow::Config c;
        c.frame.captionHeight = 0;
        c.frame.buttons = 0;
        c.frame.border = 0;
        c.minTrackWidth = 200;
        c.minTrackHeight = 150;
        return c;
    }

    test::TempDir settings;
    test::ScopedEnv config{"XDG_CONFIG_HOME", settings.path().c_str()};
    ControlTheme theme;
};

TEST_F(X11Window, HoveredOrDisabledControlsLeaveThePointerToOtherClients)
{
    test::Screen screen;
    ASSERT_TRUE(screen.start(false, false)) << "Xvfb did not come up";
    std::unique_ptr<WindowBackend> backend = X11Backend::open(screen.display().c_str());
    ASSERT_NE(backend, nullptr);
    UiThread ui(*backend);
    WidgetWindow content;
    LayeredWindow window(ui, content, frameless());
    content.attach(window);
    PushButton button(&content.root());
    DropDownBox box(&content.root());
    ASSERT_TRUE(window.create(100, 300, 500, 600));
    content.layout(400, 300);
    button.create(20, 20, 100, 30, style::kVisible);
    box.create(20, 200, 150, 22, style::kVisible);
    box.setRowCount(2);
    box.setListHeight(44);
    ASSERT_TRUE(pumpUntil(ui, [&] { return viewable(screen.connection(), window.id()); })) << "the window never showed";
    window.repaint();

    // Root points (y down) of a content point (y up).
    ScreenRect placed = window.windowRect();
    auto warpTo = [&](int32_t x, int32_t y) {
        XWarpPointer(screen.connection(), None, DefaultRootWindow(screen.connection()), 0, 0, 0, 0,
                     placed.x + window.marginLeft() + x, placed.y + window.marginTop() + (300 - y));
        XSync(screen.connection(), False);
    };
    auto warpAway = [&] {
        XWarpPointer(screen.connection(), None, DefaultRootWindow(screen.connection()), 0, 0, 0, 0, 5, 5);
        XSync(screen.connection(), False);
    };
    struct Target {
        const char* what;
        Widget* widget;
        int32_t x, y;
    };
    const Target targets[] = {{"button", &button, 60, 35}, {"drop-down box", &box, 60, 211}};
    for (const Target& target : targets) {
        warpTo(target.x, target.y);
        ASSERT_TRUE(pumpUntil(ui, [&] { return ui.captureRoute().owner() == target.widget; }))
            << target.what << " never hovered";
        EXPECT_TRUE(otherClientCanGrab(screen.connection())) << target.what << ": hovered";

        warpAway();
        EXPECT_TRUE(pumpUntil(ui, [&] { return ui.captureRoute().owner() == nullptr; }))
            << target.what << ": the pointer left the window but the hover stayed";

        warpTo(target.x, target.y);
        ASSERT_TRUE(pumpUntil(ui, [&] { return ui.captureRoute().owner() == target.widget; }))
            << target.what << " never hovered again";
        target.widget->setEnabled(false); // a disc swap, a lookup with fewer matches
        EXPECT_EQ(ui.captureRoute().owner(), nullptr) << target.what;
        EXPECT_TRUE(otherClientCanGrab(screen.connection())) << target.what << ": disabled while hovered";
        target.widget->setEnabled(true);
        warpAway();
        pumpUntil(ui, [] { return false; }, 100);
    }
    window.destroy();
}

// Without a window manager an iconify request goes nowhere: the window comes back whole.
TEST_F(X11Window, MinimiseThatNoWindowManagerCarriesOutRestoresTheWindow)
{
    test::Screen screen;
    ASSERT_TRUE(screen.start(false, false)) << "Xvfb did not come up";
    std::unique_ptr<WindowBackend> backend = X11Backend::open(screen.display().c_str());
    ASSERT_NE(backend, nullptr);
    UiThread ui(*backend);
    WidgetWindow content;
    LayeredWindow::Config c = frameless();
    c.cornerRadius = 0;
    LayeredWindow window(ui, content, c);
    content.attach(window);
    PushButton button(&content.root());
    ASSERT_TRUE(window.create(100, 300, 500, 600));
    content.layout(400, 300);
    button.create(0, 0, 400, 300, style::kVisible); // fills the window with an opaque face
    ASSERT_TRUE(pumpUntil(ui, [&] { return viewable(screen.connection(), window.id()); })) << "the window never showed";
    window.repaint();
    pumpUntil(ui, [] { return false; }, 300);
    ScreenRect rect = window.windowRect();
    uint32_t shown = screen.grab({rect.width / 2, rect.height / 2, 1, 1}, static_cast<Window>(window.id())).at(0);

    window.minimise();
    ASSERT_NE(window.state() & LayeredWindow::kMinimised, 0u);
    EXPECT_TRUE(pumpUntil(ui, [&] { return (window.state() & LayeredWindow::kMinimised) == 0; }))
        << "nobody iconified the window and it never came back";
    pumpUntil(ui, [] { return false; }, 300);
    EXPECT_TRUE(viewable(screen.connection(), window.id()));
    EXPECT_EQ(screen.grab({rect.width / 2, rect.height / 2, 1, 1}, static_cast<Window>(window.id())).at(0), shown)
        << "the picture is back, not the last frame of the minimise";
    window.destroy();
}

} // namespace
} // namespace tonvane
