// A drop-down box on a real X server: a click opens its list in a popup window of its own (an
// override-redirect window with the pointer grabbed), a click on a row chooses it.
#include <gtest/gtest.h> // before the X headers: they define None

#include "controls/dropdown/DropDownBox.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"
#include "windowing/window/ShadowObject.h"
#include "windowing/x11/X11Backend.h"
#include "windowing/x11/XvfbScreen.h" // X headers: after ours, which use None

#include <filesystem>
#include <thread>
#include <vector>

namespace tonvane {
namespace {

constexpr int32_t kRow = 22; // [pixels] one row of the open list

TEST(DropDownX11, AClickOpensThePopupAndAClickOnARowChoosesIt)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    test::TempDir settings;
    test::ScopedEnv config("XDG_CONFIG_HOME", settings.path().c_str());
    test::Screen screen;
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    std::unique_ptr<WindowBackend> backend = X11Backend::open(screen.display().c_str());
    ASSERT_NE(backend, nullptr);
    UiThread ui(*backend);
    ControlTheme theme;
    setControlTheme(&theme);
    ShadowObject shadow(8);
    WidgetWindow content;
    LayeredWindow::Config c;
    c.shadow = &shadow;
    c.quitOnDestroy = true;
    c.frame.captionHeight = 0;
    c.frame.buttons = 0;
    c.frame.border = 0;
    LayeredWindow window(ui, content, c);
    content.attach(window);
    DropDownBox box(&content.root());
    std::vector<int32_t> chosen;
    box.setRowCount(3);
    box.setListHeight(3 * kRow);
    box.setRowText([](int32_t row) { return u"Match " + std::u16string(1, char16_t(u'1' + row)); });
    box.setOnChoose([&](int32_t row) {
        chosen.push_back(row);
        ui.postQuit(0);
    });
    ASSERT_TRUE(window.create(100, 300, 500, 600));
    content.layout(400, 300);
    box.create(20, 150, 200, 22, style::kVisible);
    window.repaint();

    // Window-system points (y down) of the box's middle and of the open list's third row.
    ScreenRect placed = window.windowRect();
    int32_t contentTop = placed.y + window.marginTop();
    int32_t contentLeft = placed.x + window.marginLeft();
    int32_t boxX = contentLeft + 20 + 100, boxY = contentTop + (300 - 161);
    int32_t listTop = contentTop + (300 - (150 - DropDownBox::kPopupGap));
    int32_t rowY = listTop + 2 * kRow + kRow / 2;
    std::vector<std::string> display{"DISPLAY=" + screen.display()};
    std::thread person([&] {
        test::Screen::waitFor([] { return false; }, 1500); // the window shows
        test::runProcess(test::kXdotool, {"mousemove", "--sync", std::to_string(boxX), std::to_string(boxY), "click", "1"},
                         display, 5000);
        test::Screen::waitFor([] { return false; }, 800); // the popup shows
        test::runProcess(test::kXdotool, {"mousemove", "--sync", std::to_string(boxX), std::to_string(rowY)}, display, 5000);
        test::Screen::waitFor([] { return false; }, 300);
        test::runProcess(test::kXdotool, {"click", "1"}, display, 5000);
        test::Screen::waitFor([] { return false; }, 3000);
        ui.postQuit(1); // in case nothing was chosen
    });
    ui.runMainLoop(&window);
    person.join();
    EXPECT_EQ(chosen, (std::vector<int32_t>{2}));
    EXPECT_EQ(box.chosen(), 2);
    EXPECT_FALSE(box.isOpen());
    window.destroy();
    setControlTheme(nullptr);
}

} // namespace
} // namespace tonvane
