// Presses where the pointer already rests, with no motion before them, in the window program on
// its own X server. Convert pressed twice at the same spot (the folder chooser answered with
// Return, the second time the question about the files that exist too): the second press comes
// where the pointer has rested since the first, under the dialogs that came and went. Then the
// pointer brought to the page's "Show log" link and left there: one press with no motion hands
// the log to "xdg-open" (a script first on PATH that writes down what it was asked to open).
#include <gtest/gtest.h>
// Before the driver's X headers, which define None.
#include "app/FakeHttpServer.h"

#include "windowing/x11/WindowProgramDriver.h"

namespace tonvane {
namespace {

using namespace e2e;

constexpr uint32_t kVerdictNeutral = 0x707070; // the theme's colour of "not in the database", opaque

class RestingPressEndToEnd : public WindowProgramEndToEnd {};

TEST_F(RestingPressEndToEnd, PressesWhereThePointerRestsConvertAgainAndOpenTheLog)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built";
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";

    test::writeFile(cue, kCueSheet);
    test::FakeHttpServer unknown("/no-such-record", "");
    test::TempDir home, cache, out, tools;
    std::filesystem::create_directories(home.path() + "/tonvane");
    test::writeFile(home.path() + "/tonvane/settings.reg", settingsWith(1));
    {
        test::ScopedEnv config("XDG_CONFIG_HOME", home.path().c_str());
        settings::writeString(product::kProductKey, u"\\AccurateRip", u"Server",
                              std::u16string(WideString::fromUtf8(unknown.address()).view()));
    }
    const std::string opened = tools.file("opened");
    test::writeFile(tools.file("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + opened + "'\n");
    std::filesystem::permissions(tools.file("xdg-open"), std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    std::vector<std::string> environment{"DISPLAY=" + screen.display(), "XDG_CONFIG_HOME=" + home.path(),
                                         "XDG_CACHE_HOME=" + cache.path(), "XDG_MUSIC_DIR=" + out.path(),
                                         "TONVANE_UPDATE_HOST=127.0.0.1:9", "TONVANE_FOLDER_CHOOSER=own",
                                         "PATH=" + tools.path() + ":" + (path != nullptr ? path : "/usr/bin:/bin")};
    ASSERT_TRUE(launch({"--drive", "image:" + cue, "--server", "127.0.0.1:" + std::to_string(cddb->port())},
                       environment));
    Picture loaded = waitForShot([this](const Picture& p) { return rows(p).has_value(); }, 15000, "no disc page");
    std::optional<Rows> r = rows(loaded);
    ASSERT_TRUE(r);
    ASSERT_TRUE(test::Screen::waitFor([&] { return cddb->lookups() == 1; }, 10000)) << "no automatic lookup";
    settle(&loaded);

    int32_t pageTop = r->tops[0] - kListTop;
    int32_t middle = r->left() + pageWidth(*r) / 2;
    auto done = [&](const Picture& p) {
        auto now = rows(p);
        if (!now || now->tops.size() < 3)
            return false;
        int32_t right = now->left() + pageWidth(*now);
        for (size_t i = 0; i < 3; ++i)
            if (p.count(right - 240, now->tops[i] + 8, right - 4, now->tops[i] + 30,
                        [](uint32_t rgb) { return near(rgb, kVerdictNeutral); })
                < 6)
                return false;
        return true;
    };
    // Twice: the second time the files are there and a question follows the folder chooser.
    Picture finished;
    for (bool filesExist : {false, true}) {
        Picture before = settle();
        click(middle - 80, pageTop + 24); // Convert
        ASSERT_TRUE(windowOfSize(kDialogWidth, kFolderDialogHeight)) << "Convert showed no folder chooser";
        settle();
        key({"Return"});
        if (filesExist) {
            ASSERT_TRUE(windowOfSize(kDialogWidth, kFilesExistDialogHeight)) << "no question about the files";
            settle();
            key({"Return"});
        }
        finished = waitForShot([&](const Picture& p) { return p.pixels != before.pixels && done(p); }, 60000,
                               "the conversion did not end");
    }
    pointerAway();
    settle(&finished);
    xdotool({"mousemove", "--sync", std::to_string(middle + 172), std::to_string(pageTop + 24)});
    save(settle(), "en-resting-press-hover");
    ASSERT_EQ(pointer(), (std::pair<int32_t, int32_t>{middle + 172, pageTop + 24}));
    xdotool({"click", "1"}); // no motion: the pointer rests on the link
    EXPECT_TRUE(test::Screen::waitFor([&] { return !test::readFile(opened).empty(); }, 10000))
        << "the press on the link where the pointer rested opened nothing";
    closeProgram();
}

} // namespace
} // namespace tonvane
