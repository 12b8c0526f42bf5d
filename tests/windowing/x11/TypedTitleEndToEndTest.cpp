// Typed titles from a person's seat, on our own X server driven with xdotool: F2 on a row opens
// the entry over its title, the keyboard types a new title (an accented one, through the input
// method), Shift+Home selects it, Return keeps it; the album dialog from the link beside the
// album box; the conversion names the file after the typed title and tags it so. In English,
// German, Russian and Japanese, with screenshots of the open entry, a selection and the album dialog as
// <language>-title-editor.png, -title-selection.png and -album-details.png in <build>/screens/.
#include "windowing/x11/WindowProgramDriver.h"

#include <X11/keysym.h>

#include <utility>
#include <vector>

namespace tonvane {
namespace {

using namespace e2e;

constexpr int32_t kAlbumDialogHeight = 210; // [pixels] content of the album dialog
constexpr int32_t kTitleRoomLeft = 32; // [pixels] right of the rows' separator: inside the title
constexpr int32_t kTitleLineFromTop = 32; // [pixels] the title's line, from the row's top

// The entry over a row's title: its white field.
bool entryShown(const Picture& p, const Rows& r, size_t row)
{
    int32_t y0 = r.tops[row] + 20, y1 = r.tops[row] + 44;
    int32_t white = p.count(r.separatorX + 8, y0, r.separatorX + 500, y1, [](uint32_t c) { return c == 0xFFFFFF; });
    return white > 2000;
}

// Pixels of the selection's pale blue in a row's title room.
int32_t selectionPixels(const Picture& p, const Rows& r, size_t row)
{
    return p.count(r.separatorX + 8, r.tops[row] + 20, r.separatorX + 400, r.tops[row] + 44, [](uint32_t c) {
        uint32_t b = c & 0xFF, g = (c >> 8) & 0xFF, red = (c >> 16) & 0xFF;
        return b > 0x90 && b < 0xF0 && b > g && g > red;
    });
}

// The accented letters the story types, each on a key of its own with its capital on Shift, as a
// keyboard of that language has them. xdotool would otherwise map a spare key for each letter and
// take the mapping back right after the press, and a program that looks the key up after that
// finds nothing on it.
void mapAccentedKeys(Display* display)
{
    int low = 0, high = 0;
    XDisplayKeycodes(display, &low, &high);
    int perCode = 0;
    KeySym* map = XGetKeyboardMapping(display, KeyCode(low), high - low + 1, &perCode);
    std::vector<std::pair<KeySym, KeySym>> letters{{XK_eacute, XK_Eacute}, {XK_adiaeresis, XK_Adiaeresis}};
    for (int code = high; code >= low && map != nullptr && !letters.empty(); --code) {
        bool empty = true;
        for (int i = 0; i < perCode; ++i)
            empty = empty && map[(code - low) * perCode + i] == NoSymbol;
        if (!empty)
            continue;
        KeySym pair[2] = {letters.back().first, letters.back().second};
        XChangeKeyboardMapping(display, code, 2, pair, 1);
        letters.pop_back();
    }
    if (map != nullptr)
        XFree(map);
    XSync(display, False);
}

TEST_F(WindowProgramEndToEnd, TitlesTypedWithTheKeyboardNameTheFiles)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built";
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    mapAccentedKeys(screen.connection());
    test::writeFile(cue, kCueSheet);
    struct Language {
        const char* name;
        uint32_t id;
        bool convert; // the whole story, down to the files; the others only show their states
    };
    int lookups = 0;
    for (Language language : {Language{"en", 1, true}, Language{"de", 3, false}, Language{"ru", 7, false},
                              Language{"ja", 5, false}}) {
        SCOPED_TRACE(language.name);
        test::TempDir home, cache, folder;
        std::filesystem::create_directories(home.path() + "/tonvane");
        test::writeFile(home.path() + "/tonvane/settings.reg", settingsWith(language.id));
        {
            test::ScopedEnv configHome("XDG_CONFIG_HOME", home.path().c_str());
            settings::writeString(product::kProductKey, u"\\AccurateRip", u"Server", u"127.0.0.1:9");
        }
        std::vector<std::string> environment{"DISPLAY=" + screen.display(), "XDG_CONFIG_HOME=" + home.path(),
                                             "XDG_CACHE_HOME=" + cache.path(), "XDG_MUSIC_DIR=" + folder.path(),
                                             "TONVANE_UPDATE_HOST=127.0.0.1:9", "TONVANE_FOLDER_CHOOSER=own"};
        ASSERT_TRUE(launch({"--drive", "image:" + cue, "--server", "127.0.0.1:" + std::to_string(cddb->port())},
                           environment));
        Picture loaded = waitForShot([this](const Picture& p) { return rows(p).has_value(); }, 15000, "no disc page");
        std::optional<Rows> r = rows(loaded);
        ASSERT_TRUE(r);
        ++lookups;
        EXPECT_TRUE(test::Screen::waitFor([&] { return cddb->lookups() == lookups; }, 10000)) << "no automatic lookup";
        settle(&loaded);

        // A click on the first row's title gives the list the focus and the row; F2 opens it.
        click(r->separatorX + kTitleRoomLeft + 100, r->tops[0] + kTitleLineFromTop);
        pointerAway();
        settle();
        key({"F2"});
        Picture opened = waitForShot([&](const Picture& p) { return entryShown(p, *r, 0); }, 10000, "F2 opened no entry");
        if (!entryShown(opened, *r, 0)) {
            save(opened, std::string(language.name) + "-title-editor-missing");
            FAIL();
        }
        // Typing replaces the selected title; End, then Shift+Home selects what was typed.
        xdotool({"windowactivate", "--sync", window, "type", "--delay", "60", "Sunrise Caf\xC3\xA9"});
        Picture typed = settle(&opened);
        // The focused field's accent ring has the selection's hue too: compare with it alone.
        int32_t ringOnly = selectionPixels(typed, *r, 0);
        EXPECT_GT(selectionPixels(opened, *r, 0), ringOnly + 300) << "the old title was not selected";
        save(typed, std::string(language.name) + "-title-editor");
        key({"shift+Home"});
        Picture selected = settle(&typed);
        EXPECT_GT(selectionPixels(selected, *r, 0), ringOnly + 300) << "Shift+Home selected nothing";
        save(selected, std::string(language.name) + "-title-selection");
        key({"End", "Return"});
        Picture kept = waitForShot([&](const Picture& p) { return !entryShown(p, *r, 0); }, 10000,
                                   "Return did not close the entry");

        // The album dialog from the link at the right of the album box.
        int32_t pageRight = r->left() + pageWidth(*r);
        click(pageRight - 72 - 12, r->tops[0] - kListTop + 63);
        std::optional<std::pair<int32_t, int32_t>> dialog = windowOfSize(kDialogWidth, kAlbumDialogHeight);
        ASSERT_TRUE(dialog) << "the link opened no album dialog";
        pointerAway();
        settle(); // the dialog drawn and holding the keys: in a slow build a key sent sooner is lost
        xdotool({"type", "--delay", "60", "Die \xC3\x84rzte"});
        save(settle(&kept), std::string(language.name) + "-album-details");
        key({language.convert ? "Return" : "Escape"});
        EXPECT_TRUE(test::Screen::waitFor([&] { return !windowOfSize(kDialogWidth, kAlbumDialogHeight, 200); }, 10000))
            << "the album dialog stayed open";

        if (language.convert) {
            // Convert into the folder the chooser offers (the music folder).
            settle();
            int32_t pageTop = r->tops[0] - kListTop;
            click(r->left() + pageWidth(*r) / 2 - 80, pageTop + 24);
            ASSERT_TRUE(windowOfSize(kDialogWidth, kFolderDialogHeight)) << "Convert showed no folder chooser";
            pointerAway();
            settle();
            key({"Return"});
            Picture finished = waitForShot([this](const Picture& p) { return done(p); }, 60000, "the bars never all turned green");
            save(finished, std::string(language.name) + "-typed-title-converted");
            std::string file = folder.file("01 - Sunrise Caf\xC3\xA9.ogg");
            ASSERT_TRUE(test::Screen::waitFor([&] { return std::filesystem::exists(file); }, 10000))
                << "no file named after the typed title";
            test::ProcessResult read = test::runProcess(
                kPython,
                {"-c", "import sys, mutagen; f = mutagen.File(sys.argv[1]); print(f['title'][0]); print(f['albumartist'][0])",
                 file},
                {}, 20000);
            EXPECT_EQ(read.out, "Sunrise Caf\xC3\xA9\nDie \xC3\x84rzte\n") << read.err;
            EXPECT_TRUE(std::filesystem::exists(folder.file("02 - " + kTitles[1] + ".ogg"))) << "the other titles stay";
        }
        closeProgram();
    }
}

} // namespace
} // namespace tonvane
