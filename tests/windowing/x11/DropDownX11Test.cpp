// A drop-down box on a real X server: a click opens its list in a popup window of its own (an
// override-redirect window with the pointer grabbed), a click on a row chooses it.
#include <gtest/gtest.h> // before the X headers: they define None

#include "controls/dropdown/DropDownBox.h"
#include "controls/dropdown/DropDownPopup.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "graphics/surface/Surface.h"
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

// A plain rectangle of one colour, changed while the list is open.
class Backdrop final : public Widget {
public:
    using Widget::Widget;
    void setColour(uint32_t colour)
    {
        m_colour = colour;
        requestRepaint();
    }
    void paint(Surface& surface) override { surface.fillRectangle(0, 0, width(), height(), m_colour); }

private:
    uint32_t m_colour = 0xFF000000u;
};

// Two rows in a list five rows high, over a black and then a white rectangle of the window
// below: with a compositor, the screen under the list's empty part is the same both times (the
// list is opaque there), while beside the list the change shows.
TEST(DropDownX11, TheEmptyPartOfAnOpenListHidesWhatIsBelowIt)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    test::TempDir settings;
    test::ScopedEnv config("XDG_CONFIG_HOME", settings.path().c_str());
    test::Screen screen;
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    std::unique_ptr<WindowBackend> backend = X11Backend::open(screen.display().c_str());
    ASSERT_NE(backend, nullptr);
    ASSERT_TRUE(backend->compositorPresent());
    UiThread ui(*backend);
    ControlTheme theme;
    setControlTheme(&theme);
    WidgetWindow content;
    LayeredWindow::Config c;
    c.quitOnDestroy = true;
    c.frame.captionHeight = 0;
    c.frame.buttons = 0;
    c.frame.border = 0;
    LayeredWindow window(ui, content, c);
    content.attach(window);
    Backdrop backdrop(&content.root());
    DropDownBox box(&content.root());
    box.setRowCount(2);
    box.setListHeight(5 * kRow);
    box.setRowText([](int32_t row) { return u"Match " + std::u16string(1, char16_t(u'1' + row)); });
    ASSERT_TRUE(window.create(100, 300, 500, 600));
    content.layout(400, 300);
    backdrop.create(0, 10, 400, 120, style::kVisible); // below the open list's empty part and beside it
    box.create(20, 150, 200, 22, style::kVisible);
    window.repaint();

    // Window-system rectangles (y down): the list's empty part inside its border and corners,
    // and a strip of the backdrop to the right of the list.
    constexpr int32_t kInset = 4; // [pixels]
    ScreenRect empty{}, beside{};
    std::vector<uint32_t> overBlack, overWhite, besideBlack, besideWhite;
    std::thread person([&] {
        test::Screen::waitFor([] { return false; }, 1500); // the window shows
        ui.post(window.id(), [&] { box.open(true); });
        test::Screen::waitFor([&] { return ui.send(window.id(), [&] { return int64_t(box.popup() != nullptr); }) == 1; });
        test::Screen::waitFor([] { return false; }, 1000); // the list has faded in
        ui.send(window.id(), [&] {
            LayeredWindow& list = box.popup()->popupWindow();
            ScreenRect at = list.windowRect();
            int32_t left = at.x + list.marginLeft(), top = at.y + list.marginTop();
            empty = {left + kInset, top + 2 * kRow + kInset, list.width() - 2 * kInset, 3 * kRow - 2 * kInset};
            ScreenRect main = window.windowRect();
            beside = {main.x + window.marginLeft() + 300, empty.y, 60, empty.height};
            return int64_t(0);
        });
        overBlack = screen.grab(empty);
        besideBlack = screen.grab(beside);
        ui.send(window.id(), [&] {
            backdrop.setColour(0xFFFFFFFFu);
            window.repaint();
            return int64_t(0);
        });
        test::Screen::waitFor([] { return false; }, 1000); // the compositor has drawn it
        overWhite = screen.grab(empty);
        besideWhite = screen.grab(beside);
        ui.post(window.id(), [&] {
            if (box.popup() != nullptr)
                box.popup()->close();
        });
        test::Screen::waitFor([&] { return ui.send(window.id(), [&] { return int64_t(box.isOpen()); }) == 0; });
        ui.postQuit(0);
    });
    ui.runMainLoop(&window);
    person.join();
    ASSERT_FALSE(overBlack.empty());
    ASSERT_EQ(overBlack.size(), overWhite.size());
    EXPECT_NE(besideBlack, besideWhite) << "the backdrop did not change on the screen";
    int32_t differing = 0;
    for (size_t i = 0; i < overBlack.size(); ++i)
        differing += overBlack[i] != overWhite[i];
    EXPECT_EQ(differing, 0) << "pixels under the list's empty part that follow what is below it (of "
                            << overBlack.size() << ")";
    window.destroy();
    setControlTheme(nullptr);
}

} // namespace
} // namespace tonvane
