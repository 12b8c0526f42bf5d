// The window program end to end on its own X server (Xvfb, openbox, xcompmgr), driven as a
// person would with xdotool: a fresh settings folder, the language page, English, the demo
// disc's page, Convert, the folder chooser accepted, the files written, the menus, Alt+F4
// closing the program cleanly.
#include <gtest/gtest.h> // before the X headers: they define None

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsStore.h"
#include "windowing/x11/XvfbScreen.h" // X headers: after ours, which use None

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

namespace tonvane {
namespace {

const std::string kProgram = std::string(TONVANE_BINARY_DIR) + "/app/tonvane";
constexpr int32_t kShadowLeft = 9; // [pixels] the window's margin left of and above its content
constexpr int32_t kShadowTop = 9;

// Content points (from the content's top-left, y down) of a 650 x 450 main window with the
// default fonts: the English button of the language page and the disc page's Convert button.
constexpr int32_t kEnglishX = 421, kEnglishY = 120;
constexpr int32_t kConvertX = 245, kConvertY = 82;
// The View menu's title, its Language row, and Deutsch in the submenu that opens beside it.
constexpr int32_t kViewX = 59, kViewY = 38;
constexpr int32_t kLanguageRowX = 99, kLanguageRowY = 85;
constexpr int32_t kGermanX = 200, kGermanY = 151;

size_t filesIn(const std::string& folder, const std::string& extension)
{
    size_t count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        count += entry.path().extension() == extension && entry.file_size() > 1000;
    return count;
}

// The lowest alpha inside the open popup menu (its 32-bit override-redirect window, the margin
// left out) as the window holds it; -1 when no popup is shown.
int popupInteriorAlpha(Display* display)
{
    constexpr int kInset = 12; // [pixels] past the margin and the rounded border
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    int lowest = -1;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a{};
        XGetWindowAttributes(display, children[i], &a);
        if (!a.override_redirect || a.map_state != IsViewable || a.depth != 32 || a.width <= 2 * kInset
            || a.height <= 2 * kInset)
            continue;
        XImage* image = XGetImage(display, children[i], kInset, kInset, unsigned(a.width - 2 * kInset),
                                  unsigned(a.height - 2 * kInset), AllPlanes, ZPixmap);
        if (image == nullptr)
            continue;
        lowest = 255;
        for (int y = 0; y < image->height; ++y)
            for (int x = 0; x < image->width; ++x)
                lowest = std::min(lowest, int((XGetPixel(image, x, y) >> 24) & 0xFF));
        XDestroyImage(image);
    }
    if (children != nullptr)
        XFree(children);
    return lowest;
}

TEST(WindowProgram, ChooseEnglishConvertTheDemoDiscAndClose)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    if (!std::filesystem::exists(kProgram))
        GTEST_SKIP() << kProgram << " is not built";
    test::Screen screen;
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    test::TempDir config, music;
    {
        // The conversion asks AccurateRip: a refused local port instead of the internet.
        test::ScopedEnv home("XDG_CONFIG_HOME", config.path().c_str());
        settings::writeString(product::kProductKey, u"\\AccurateRip", u"Server", u"127.0.0.1:9");
    }
    // The update check, 6 s after the start, asks a refused local port instead of the internet.
    std::vector<std::string> environment{"DISPLAY=" + screen.display(), "XDG_CONFIG_HOME=" + config.path(),
                                         "XDG_MUSIC_DIR=" + music.path(), "TONVANE_UPDATE_HOST=127.0.0.1:9",
                                         "TONVANE_FOLDER_CHOOSER=own"}; // our chooser even where zenity is installed
    test::RunningProcess program(kProgram, {"--drive", "demo:"}, environment);

    std::vector<std::string> display{"DISPLAY=" + screen.display()};
    test::ProcessResult found
        = test::runProcess(test::kXdotool, {"search", "--sync", "--name", "^Tonvane 0\\.2\\.7$"}, display, 15000);
    ASSERT_EQ(found.exitCode, 0) << "no main window: " << found.err;
    std::string window = found.out.substr(0, found.out.find('\n'));
    test::ProcessResult geometry
        = test::runProcess(test::kXdotool, {"getwindowgeometry", "--shell", window}, display, 5000);
    int32_t x = 0, y = 0;
    std::istringstream lines(geometry.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("X=", 0) == 0)
            x = std::stoi(line.substr(2));
        if (line.rfind("Y=", 0) == 0)
            y = std::stoi(line.substr(2));
    }
    auto click = [&](int32_t cx, int32_t cy) {
        std::string px = std::to_string(x + kShadowLeft + cx), py = std::to_string(y + kShadowTop + cy);
        return test::runProcess(test::kXdotool, {"mousemove", "--sync", px, py, "click", "1"}, display, 5000).exitCode;
    };
    test::Screen::waitFor([] { return false; }, 1500); // the show animation

    auto shownWindows = [&] {
        test::ProcessResult listed
            = test::runProcess(test::kXdotool, {"search", "--onlyvisible", "--classname", "tonvane"}, display, 5000);
        return static_cast<size_t>(std::count(listed.out.begin(), listed.out.end(), '\n'));
    };
    auto settle = [] { test::Screen::waitFor([] { return false; }, 300); }; // the popup's fade-in
    EXPECT_EQ(click(kEnglishX, kEnglishY), 0);
    test::Screen::waitFor([] { return false; }, 1500); // the drive scan and the disc page
    EXPECT_EQ(click(kConvertX, kConvertY), 0);
    // The folder chooser opens on the music folder; Return accepts it.
    EXPECT_TRUE(test::Screen::waitFor([&] { return shownWindows() >= 2; }, 20000)) << "no folder chooser";
    settle();
    test::runProcess(test::kXdotool, {"key", "Return"}, display, 5000);
    EXPECT_TRUE(test::Screen::waitFor([&] { return filesIn(music.path(), ".ogg") == 4; }, 30000))
        << filesIn(music.path(), ".ogg") << " files in " << music.path();

    // Menus are popup windows of their own, run modally: View, Language, Deutsch. Each click
    // waits until the popup it needs is on screen (a sanitizer build may take seconds).
    EXPECT_EQ(click(kViewX, kViewY), 0);
    EXPECT_TRUE(test::Screen::waitFor([&] { return shownWindows() >= 2; }, 20000)) << "the View menu did not open";
    settle();
    int byMouse = popupInteriorAlpha(screen.connection());
    EXPECT_EQ(click(kLanguageRowX, kLanguageRowY), 0);
    EXPECT_TRUE(test::Screen::waitFor([&] { return shownWindows() >= 3; }, 20000)) << "the Language menu did not open";
    settle();
    EXPECT_EQ(click(kGermanX, kGermanY), 0);
    EXPECT_TRUE(test::Screen::waitFor([&] { return shownWindows() == 1; }, 20000)) << "the menus did not close";

    // A menu opened from the keys is as solid as one opened by the mouse: nothing below shows
    // through either: every pixel inside the border has alpha 255 (a compositor blends anything
    // less with the windows beneath).
    test::runProcess(test::kXdotool, {"key", "F10"}, display, 5000);
    EXPECT_TRUE(test::Screen::waitFor([&] { return shownWindows() >= 2; }, 20000)) << "F10 opened no menu";
    settle();
    int byKeys = popupInteriorAlpha(screen.connection());
    test::runProcess(test::kXdotool, {"key", "Escape"}, display, 5000);
    EXPECT_TRUE(test::Screen::waitFor([&] { return shownWindows() == 1; }, 20000)) << "Esc did not close the menu";
    EXPECT_EQ(byMouse, 0xFF) << "the menu opened by the mouse lets what is below show through";
    EXPECT_EQ(byKeys, 0xFF) << "the menu opened from the keys lets what is below show through";

    // Alt+F4 through the window manager: the program ends cleanly and kept its settings.
    test::runProcess(test::kXdotool, {"windowactivate", "--sync", window, "key", "alt+F4"}, display, 5000);
    test::ProcessResult ended = program.wait(15000);
    EXPECT_FALSE(ended.timedOut) << "the program did not end after Alt+F4";
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    std::string settings = config.path() + "/tonvane/settings.reg";
    ASSERT_TRUE(std::filesystem::exists(settings));
    test::ProcessResult grep = test::runProcess("/bin/grep", {"-c", "\"Lang\"=dword:00000003", settings}, {}, 5000);
    EXPECT_EQ(grep.out, "1\n") << "German, chosen in the menu, is stored";
}

} // namespace
} // namespace tonvane
