// A press where the pointer already rests, with no motion before it, on a real X server with a
// window manager: it reaches the button under the pointer however the pointer came to rest there
// (a dialog closed over the button, the window appeared under it).
#include <gtest/gtest.h> // before the X headers: they define None

#include "controls/button/PushButton.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/Message.h"
#include "windowing/window/LayeredWindow.h"
#include "windowing/x11/X11Backend.h"
#include "windowing/x11/XvfbScreen.h" // X headers: after ours, which use None

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace tonvane {
namespace {

// How the pointer came to rest on the button before the one press.
enum class Rest {
    DialogClosedOverIt, // a modal dialog over the button, the pointer on it, closed by a message
    WindowCameUnderIt, // the pointer placed first, the window shown beneath it
    Hovered, // moved onto the button, left resting there
    HoveredWhileAnotherWindowIsActive, // moved onto the button, then another window of ours activated
};

struct RestCase {
    const char* what;
    Rest rest;
};

LayeredWindow::Config plainConfig(WindowKind kind, WindowId owner)
{
    LayeredWindow::Config c;
    c.kind = kind;
    c.owner = owner;
    c.quitOnDestroy = kind == WindowKind::Main;
    c.minTrackWidth = 0;
    c.minTrackHeight = 0;
    c.frame.captionHeight = 0;
    c.frame.buttons = 0;
    c.frame.border = 0;
    return c;
}

std::string nameOf(const ::testing::TestParamInfo<RestCase>& info)
{
    switch (info.param.rest) {
    case Rest::DialogClosedOverIt:
        return "DialogClosed";
    case Rest::WindowCameUnderIt:
        return "WindowCameUnder";
    case Rest::Hovered:
        return "Hovered";
    case Rest::HoveredWhileAnotherWindowIsActive:
        return "HoveredOtherActive";
    }
    return "Unknown";
}

class RestingPress : public ::testing::TestWithParam<RestCase> {};

TEST_P(RestingPress, AClickWithoutMotionReachesTheButtonUnderThePointer)
{
    const RestCase& c = GetParam();
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    test::TempDir settings;
    test::ScopedEnv config("XDG_CONFIG_HOME", settings.path().c_str());
    test::Screen screen;
    ASSERT_TRUE(screen.start(false)) << "Xvfb or openbox did not come up";
    std::unique_ptr<WindowBackend> backend = X11Backend::open(screen.display().c_str());
    ASSERT_NE(backend, nullptr);
    UiThread ui(*backend);
    ControlTheme theme;
    setControlTheme(&theme);
    WidgetWindow content;
    LayeredWindow window(ui, content, plainConfig(WindowKind::Main, kNoWindow));
    content.attach(window);
    PushButton button(&content.root());
    std::atomic<int> clicks{0};
    button.setOnClick([&] { ++clicks; });
    std::vector<std::string> display{"DISPLAY=" + screen.display()};
    auto xdotool = [&](std::vector<std::string> arguments) {
        test::runProcess(test::kXdotool, std::move(arguments), display, 5000);
    };
    auto pause = [](int ms) { test::Screen::waitFor([] { return false; }, ms); };

    // The button's middle on the screen (y down): the window's content is 400 x 300 pixels with
    // its bottom-left corner at (200, 300) of the y-up screen, the button at (100, 100) in it.
    constexpr int32_t kScreenHeight = 768; // [pixels] of test::Screen
    int32_t buttonX = 200 + 100 + 60, buttonY = kScreenHeight - (300 + 100 + 12);
    if (c.rest == Rest::WindowCameUnderIt) {
        xdotool({"mousemove", "--sync", std::to_string(buttonX), std::to_string(buttonY)});
        pause(300);
    }
    ASSERT_TRUE(window.create(200, 300, 600, 600));
    content.layout(400, 300);
    button.create(100, 100, 120, 24, style::kVisible);
    button.setCaption(Caption::of(u"Press"));
    window.repaint();
    // The window may have been placed elsewhere by the window manager: the button's middle where
    // it shows.
    ScreenRect placed = window.windowRect();
    buttonX = placed.x + window.marginLeft() + 100 + 60;
    buttonY = placed.y + window.marginTop() + (300 - 100 - 12);

    WidgetWindow dialogContent;
    LayeredWindow dialog(ui, dialogContent, plainConfig(WindowKind::Dialog, window.id()));
    dialogContent.attach(dialog);
    WidgetWindow otherContent;
    LayeredWindow other(ui, otherContent, plainConfig(WindowKind::Main, kNoWindow));
    otherContent.attach(other);
    std::thread person([&] {
        pause(1500); // the window shows
        if (c.rest == Rest::DialogClosedOverIt) {
            xdotool({"mousemove", "--sync", std::to_string(buttonX), std::to_string(buttonY)});
            pause(300);
            test::ProcessResult active = test::runProcess(test::kXdotool, {"getactivewindow"}, display, 5000);
            std::string mainId = active.out.substr(0, active.out.find('\n'));
            ui.post(window.id(), [&] {
                int32_t left = window.left() + 50, bottom = window.bottom() + 50;
                if (dialog.create(left, bottom, left + 300, bottom + 200)) {
                    dialog.repaint();
                    ui.runModal(dialog);
                }
            });
            pause(1000); // the dialog shows
            // As a person's keys reach it: the main window activated while its dialog is up.
            xdotool({"windowactivate", "--sync", mainId});
            pause(300);
            ui.send(window.id(), [&] { return int64_t(dialog.id()); }); // the dialog is up
            ui.postMessage(Message{dialog.id(), msg::WM_CLOSE});
            test::Screen::waitFor([&] { return ui.send(window.id(), [&] { return int64_t(dialog.id()); }) == kNoWindow; });
            pause(800); // the window manager has given the main window back its focus
        }
        if (c.rest == Rest::Hovered || c.rest == Rest::HoveredWhileAnotherWindowIsActive) {
            xdotool({"mousemove", "--sync", std::to_string(buttonX), std::to_string(buttonY)});
            pause(500);
        }
        if (c.rest == Rest::HoveredWhileAnotherWindowIsActive) {
            ui.send(window.id(), [&] {
                if (other.create(700, 100, 900, 300))
                    other.repaint();
                return int64_t(0);
            });
            pause(1000); // shown and active
        }
        xdotool({"click", "1"}); // a press and a release, no motion
        test::Screen::waitFor([&] { return clicks.load() > 0; }, 3000);
        ui.postQuit(0);
    });
    ui.runMainLoop(&window);
    person.join();
    EXPECT_EQ(clicks.load(), 1) << c.what;
    other.destroy();
    window.destroy();
    setControlTheme(nullptr);
}

INSTANTIATE_TEST_SUITE_P(X11, RestingPress,
                         ::testing::Values(RestCase{"a dialog closed over the button", Rest::DialogClosedOverIt},
                                           RestCase{"the window shown under the pointer", Rest::WindowCameUnderIt},
                                           RestCase{"hovered", Rest::Hovered},
                                           RestCase{"hovered, another window active", Rest::HoveredWhileAnotherWindowIsActive}),
                         nameOf);

} // namespace
} // namespace tonvane
