// The X11 backend on a real X server: Xvfb with openbox and, for the first tests, xcompmgr.
// What reaches the screen is read back with XGetImage on the root window.
#include <gtest/gtest.h> // before the X headers: they define None

#include "core/ProductConfig.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Event.h"
#include "core/settings/SettingsStore.h"
#include "graphics/surface/Surface.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "windowing/backend/FrameCopy.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"
#include "windowing/window/PositionStore.h"
#include "windowing/window/ShadowObject.h"
#include "windowing/x11/X11Backend.h"
#include "windowing/x11/XvfbScreen.h" // X headers: after ours, which use None

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tonvane {
namespace {

using test::kCompositor;
using test::kOpenbox;
using test::kXdotool;
using test::kXvfb;
using test::Screen;

class Content final : public WindowContent {
public:
    void paint(Surface& surface) override
    {
        surface.fillRectangle(0, 0, 4000, 4000, 0xFF3060C0u); // cut to the content
        surface.fillRectangle(20, 20, 80, 60, inner.load());
    }
    std::atomic<uint32_t> inner{0x80FFFFFFu};
};

// The region around the inner rectangle (content pixels, y up).
constexpr IntRect kInnerRegion{10, 10, 90, 70};

struct X11Smoke : ::testing::Test {
    void SetUp() override
    {
        for (const char* tool : {kXvfb, kOpenbox, kCompositor, kXdotool})
            if (!std::filesystem::exists(tool))
                GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
        setenv("XDG_CONFIG_HOME", settingsDir.path().c_str(), 1);
        unsetenv("DISPLAY"); // the children take ours from their environment entries
    }

    // Dispatches what arrives until the window is on screen (at most 5 s).
    bool pumpUntilViewable(UiThread& ui, Display* connection, WindowId window)
    {
        return pumpUntil(ui, [&] { return viewable(connection, window); }, 5000);
    }

    // Dispatches what arrives until done() or timeoutMs have passed; false when it never came.
    bool pumpUntil(UiThread& ui, const std::function<bool()>& done, int timeoutMs = 10000)
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

    static bool viewable(Display* connection, WindowId window)
    {
        XWindowAttributes attributes{};
        XGetWindowAttributes(connection, static_cast<Window>(window), &attributes);
        return attributes.map_state == IsViewable;
    }

    // Runs the main loop until the window is gone, or fails after timeoutMs instead of hanging.
    static int64_t runMainLoopFor(UiThread& ui, LayeredWindow& window, int timeoutMs, const char* waitingFor)
    {
        Event ended;
        std::atomic<bool> timedOut{false};
        std::thread watchdog([&] {
            if (!ended.waitFor(std::chrono::milliseconds(timeoutMs))) {
                timedOut = true;
                ui.postQuit(1);
            }
        });
        int64_t code = ui.runMainLoop(&window);
        ended.set();
        watchdog.join();
        EXPECT_FALSE(timedOut.load()) << "the main loop did not end within " << timeoutMs << " ms: " << waitingFor;
        return code;
    }

    // Dispatches whatever arrives for about ms milliseconds.
    void pump(UiThread& ui, int ms)
    {
        uint64_t end = monotonicNs() + static_cast<uint64_t>(ms) * 1000000;
        Message message;
        while (monotonicNs() < end) {
            while (ui.peekMessage(message))
                ui.dispatch(message);
            sleepMs(5);
        }
    }

    // The picture the window pushed, top-down, as the screen shows it over the root's colour
    // (flattened over the window's backdrop when there is no compositor).
    static std::vector<uint32_t> expectedScreen(LayeredWindow& window, bool compositor, uint32_t root = 0xFF000000u)
    {
        ScreenRect rect = window.windowRect();
        std::vector<uint32_t> pixels(static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height));
        Frame frame;
        frame.surface = &window.surface();
        frame.width = rect.width;
        frame.height = rect.height;
        frame.flattenOver = compositor ? 0 : window.config().backdrop;
        copyFrame(frame, pixels.data(), static_cast<size_t>(rect.width));
        for (uint32_t& pixel : pixels)
            pixel = flattenPixel(pixel, root);
        return pixels;
    }

    static size_t mismatches(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
    {
        if (a.size() != b.size())
            return std::max(a.size(), b.size());
        size_t count = 0;
        for (size_t i = 0; i < a.size(); ++i)
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF)) > 1) {
                    if (count++ == 0)
                        ADD_FAILURE() << "first difference at word " << i << ": " << std::hex << a[i] << " vs " << b[i];
                    break;
                }
        return count;
    }

    test::TempDir settingsDir;
    ShadowObject shadow{8};
};

TEST_F(X11Smoke, ComposedWindowShowsWhatWasPushedMovesIconifiesAndCloses)
{
    Screen screen;
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    std::unique_ptr<WindowBackend> backend = X11Backend::open(screen.display().c_str());
    ASSERT_NE(backend, nullptr);
    ASSERT_TRUE(backend->compositorPresent());
    UiThread ui(*backend);
    Content content;
    LayeredWindow::Config config;
    config.shadow = &shadow;
    config.quitOnDestroy = true;
    config.minTrackWidth = 200; // the window manager holds windows to their minimum size
    config.minTrackHeight = 150;
    LayeredWindow window(ui, content, config);
    window.addPositionListener(storeMainWindowPosition(product::kProductKey));
    ASSERT_TRUE(window.create(100, 300, 400, 500));
    ASSERT_TRUE(pumpUntilViewable(ui, screen.connection(), window.id())) << "the window never showed";
    window.repaint(); // plays the show animation
    pump(ui, 500);
    window.repaint();
    pump(ui, 200);

    ScreenRect rect = window.windowRect();
    std::vector<uint32_t> onScreen = screen.grab(rect);
    uint32_t root = screen.grab({1000, 740, 1, 1}).at(0); // the compositor's root fill
    std::vector<uint32_t> pushed = expectedScreen(window, true, root);
    EXPECT_EQ(mismatches(onScreen, pushed), 0u) << "at " << rect.x << "," << rect.y;
    ASSERT_EQ(onScreen.size(), pushed.size());
    size_t shadowRow = static_cast<size_t>(rect.height - 7) * static_cast<size_t>(rect.width);
    EXPECT_NE(onScreen[shadowRow + static_cast<size_t>(rect.width / 2)], root) << "no shadow";

    // A region repaint puts only its part of the image; the screen then shows the whole new picture.
    content.inner = 0xC0FF8000u;
    window.repaint(kInnerRegion);
    pump(ui, 200);
    EXPECT_EQ(mismatches(screen.grab(rect), expectedScreen(window, true, root)), 0u) << "after a region repaint";

    // Drag the caption 100 pixels right and 60 down.
    int32_t grabX = rect.x + LayeredWindow::kMarginLeft + 60;
    int32_t grabY = rect.y + LayeredWindow::kMarginTop + 10;
    int32_t startLeft = window.left();
    int32_t startBottom = window.bottom();
    test::RunningProcess drag(kXdotool,
                              {"mousemove", std::to_string(grabX), std::to_string(grabY), "sleep", "0.3",
                               "mousedown", "1", "sleep", "0.3", "mousemove", std::to_string(grabX + 50),
                               std::to_string(grabY + 30), "sleep", "0.3", "mousemove", std::to_string(grabX + 100),
                               std::to_string(grabY + 60), "sleep", "0.3", "mouseup", "1"},
                              {"DISPLAY=" + screen.display()});
    pump(ui, 2000);
    drag.wait(5000);
    pump(ui, 300);
    EXPECT_EQ(window.left(), startLeft + 100);
    EXPECT_EQ(window.bottom(), startBottom - 60);
    // Stored once the drag has ended and settled.
    settings::WindowRect stored;
    EXPECT_TRUE(pumpUntil(ui, [&] {
        return settings::readWindowRect(product::kProductKey, stored) && stored.left == window.left()
               && stored.bottom == window.bottom();
    })) << "the place after the drag was not stored: " << stored.left << "," << stored.bottom;

    // A taskbar tells where our button is through _NET_WM_ICON_GEOMETRY.
    long geometry[4] = {300, 740, 48, 28};
    XChangeProperty(screen.connection(), static_cast<Window>(window.id()),
                    XInternAtom(screen.connection(), "_NET_WM_ICON_GEOMETRY", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(geometry), 4);
    XSync(screen.connection(), False);
    TaskbarButton button = backend->taskbarButton(window.id());
    EXPECT_EQ(button.rect, (ScreenRect{300, 740, 48, 28}));
    EXPECT_EQ(button.state, 0u);

    // A busy window manager iconifies late: wait for it (within the time the backend gives it
    // before it shows the window again) instead of looking once.
    window.minimise();
    EXPECT_TRUE(pumpUntil(ui, [&] { return !viewable(screen.connection(), window.id()); }, 1800))
        << "the window manager did not iconify the window";
    window.restore();
    EXPECT_TRUE(pumpUntil(ui, [&] { return viewable(screen.connection(), window.id()); }))
        << "the window did not come back from iconic";
    EXPECT_EQ(window.state() & LayeredWindow::kMinimised, 0u);

    // The window manager's close: WM_DELETE_WINDOW.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = static_cast<Window>(window.id());
    close.xclient.message_type = XInternAtom(screen.connection(), "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(screen.connection(), "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(screen.connection(), static_cast<Window>(window.id()), False, NoEventMask, &close);
    XFlush(screen.connection());
    EXPECT_EQ(runMainLoopFor(ui, window, 20000, "WM_DELETE_WINDOW closing the window"), 0);
    EXPECT_EQ(window.id(), kNoWindow);
}

TEST_F(X11Smoke, WithoutCompositorTheWindowIsOpaqueAndHasNoMargin)
{
    Screen screen;
    ASSERT_TRUE(screen.start(false)) << "Xvfb or openbox did not come up";
    std::unique_ptr<WindowBackend> backend = X11Backend::open(screen.display().c_str());
    ASSERT_NE(backend, nullptr);
    ASSERT_FALSE(backend->compositorPresent());
    UiThread ui(*backend);
    Content content;
    LayeredWindow::Config config;
    config.shadow = &shadow;
    config.cornerRadius = 0; // the comparison covers every pixel of the rectangle
    config.quitOnDestroy = true;
    config.minTrackWidth = 200;
    config.minTrackHeight = 150;
    LayeredWindow window(ui, content, config);
    ASSERT_TRUE(window.create(100, 300, 400, 500));
    ASSERT_TRUE(pumpUntilViewable(ui, screen.connection(), window.id())) << "the window never showed";
    window.repaint();
    pump(ui, 500);
    window.repaint();
    pump(ui, 200);
    ScreenRect rect = window.windowRect();
    EXPECT_EQ(rect.width, 300);
    EXPECT_EQ(rect.height, 200);
    XWindowAttributes attributes{};
    XGetWindowAttributes(screen.connection(), static_cast<Window>(window.id()), &attributes);
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_EQ(attributes.width, 300);
    EXPECT_EQ(attributes.height, 200);
    EXPECT_EQ(mismatches(screen.grab({0, 0, rect.width, rect.height}, static_cast<Window>(window.id())),
                         expectedScreen(window, false)),
              0u);
    content.inner = 0xC0FF8000u;
    window.repaint(kInnerRegion);
    pump(ui, 200);
    EXPECT_EQ(mismatches(screen.grab({0, 0, rect.width, rect.height}, static_cast<Window>(window.id())),
                         expectedScreen(window, false)),
              0u)
        << "after a region repaint";

    // The default window cuts its corners away with the Shape extension.
    Content roundContent;
    LayeredWindow::Config roundConfig;
    roundConfig.minTrackWidth = 200;
    roundConfig.minTrackHeight = 150;
    LayeredWindow round(ui, roundContent, roundConfig);
    ASSERT_TRUE(round.create(500, 300, 800, 500));
    ASSERT_TRUE(pumpUntilViewable(ui, screen.connection(), round.id())) << "the window never showed";
    round.repaint();
    pump(ui, 400);
    int count = 0;
    int ordering = 0;
    XRectangle* shape = XShapeGetRectangles(screen.connection(), static_cast<Window>(round.id()), ShapeBounding,
                                            &count, &ordering);
    bool cornerShown = false;
    bool centreShown = false;
    for (int i = 0; i < count; ++i) {
        auto inside = [&](int x, int y) {
            return x >= shape[i].x && x < shape[i].x + shape[i].width && y >= shape[i].y && y < shape[i].y + shape[i].height;
        };
        cornerShown = cornerShown || inside(0, 0);
        centreShown = centreShown || inside(150, 100);
    }
    if (shape != nullptr)
        XFree(shape);
    EXPECT_GT(count, 1);
    EXPECT_FALSE(cornerShown);
    EXPECT_TRUE(centreShown);
    round.destroy();

    // A compositing manager that starts later is followed: the margin comes back.
    ASSERT_TRUE(screen.startCompositor());
    window.repaint();
    pump(ui, 500);
    window.repaint();
    pump(ui, 200);
    EXPECT_EQ(window.windowRect().width, 319);

    // A lost connection closes the main window the orderly way instead of exiting the process.
    screen.killServer();
    EXPECT_EQ(runMainLoopFor(ui, window, 10000, "the lost connection closing the window"), 0);
    EXPECT_EQ(window.id(), kNoWindow);
}

TEST_F(X11Smoke, WithoutWindowManagerTheCaptionDragIsOurOwn)
{
    Screen screen;
    ASSERT_TRUE(screen.start(false, false)) << "Xvfb did not come up";
    std::unique_ptr<WindowBackend> backend = X11Backend::open(screen.display().c_str());
    ASSERT_NE(backend, nullptr);
    UiThread ui(*backend);
    Content content;
    LayeredWindow::Config config;
    LayeredWindow window(ui, content, config);
    ASSERT_TRUE(window.create(100, 300, 400, 500));
    ASSERT_TRUE(pumpUntilViewable(ui, screen.connection(), window.id())) << "the window never showed";
    window.repaint();
    pump(ui, 500);
    ScreenRect rect = window.windowRect();
    int32_t grabX = rect.x + 60;
    int32_t grabY = rect.y + 10;
    int32_t startLeft = window.left();
    test::RunningProcess drag(kXdotool,
                              {"mousemove", std::to_string(grabX), std::to_string(grabY), "sleep", "0.3", "mousedown",
                               "1", "sleep", "0.3", "mousemove", std::to_string(grabX + 40), std::to_string(grabY + 20),
                               "sleep", "0.3", "mousemove", std::to_string(grabX + 80), std::to_string(grabY + 40),
                               "sleep", "0.3", "mouseup", "1"},
                              {"DISPLAY=" + screen.display()});
    pump(ui, 2000);
    drag.wait(5000);
    pump(ui, 300);
    EXPECT_EQ(window.left(), startLeft + 80);
    XWindowAttributes attributes{};
    XGetWindowAttributes(screen.connection(), static_cast<Window>(window.id()), &attributes);
    EXPECT_EQ(attributes.x, rect.x + 80);
    EXPECT_EQ(attributes.y, rect.y + 40);
}

} // namespace
} // namespace tonvane
