// The window program from a person's seat, on its own X server (Xvfb, openbox, xcompmgr) and
// driven with xdotool: a fresh settings folder, the language page, English; an image drive whose
// CUE sheet appears (a media arrival), the titles from a CDDB server on 127.0.0.1, one track
// made FLAC with its logo, Convert, our own folder chooser, the files with their names, tags and
// audio; the sheet deleted (a removal); then the same in Japanese. Every page, dialog, menu and
// drop-down is written to <build>/screens/ as en-*.png and ja-*.png for a person to look at.
// A shorter run per language with accented labels (Spanish, German, French, Russian) shows the
// disc page with accented and over-long titles, the menus, the properties dialog and the About
// box as es-*.png, de-*.png, fr-*.png and ru-*.png.
#include "windowing/x11/WindowProgramDriver.h"

namespace tonvane {
namespace {

using namespace e2e;

// Spanish, German, French and Russian: the disc page looked up at start with accented titles and
// one far too long for its row (the pointer resting on it), the properties dialog and its
// drop-down, the File menu, the About box and the Language menu. No conversion: the long run
// above covers that.
TEST_F(WindowProgramEndToEnd, AccentedLanguagesScreenshots)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built";
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    std::string longTitle = "Ángeles sobre Núñez, Über den Wolken, À propos de l'été, Ёлка и Йошкар-Ола";
    longTitle += " – " + longTitle + " – the end";
    cddb = std::make_unique<test::FakeCddbServer>(
        std::vector<std::string>{"Álbum: Über À propos Ñandú", "Йошкар-Ола: Ёлка, Çà et là", longTitle}, false, kCddbQuery);
    test::writeFile(cue, kCueSheet);
    struct Language {
        const char* name;
        uint32_t id; // the language table's number
    };
    int lookups = 0;
    for (Language language : {Language{"es", 8}, Language{"de", 3}, Language{"fr", 2}, Language{"ru", 7}}) {
        SCOPED_TRACE(language.name);
        test::TempDir home, cache;
        std::filesystem::create_directories(home.path() + "/tonvane");
        test::writeFile(home.path() + "/tonvane/settings.reg", settingsWith(language.id));
        std::vector<std::string> environment{"DISPLAY=" + screen.display(), "XDG_CONFIG_HOME=" + home.path(),
                                             "XDG_CACHE_HOME=" + cache.path(), "XDG_MUSIC_DIR=" + music.path(),
                                             "TONVANE_UPDATE_HOST=127.0.0.1:9", "TONVANE_FOLDER_CHOOSER=own"};
        ASSERT_TRUE(launch({"--drive", "image:" + cue, "--server", "127.0.0.1:" + std::to_string(cddb->port())},
                           environment));
        Picture loaded = waitForShot([this](const Picture& p) { return rows(p).has_value(); }, 15000, "no disc page");
        std::optional<Rows> r = rows(loaded);
        ASSERT_TRUE(r);
        ++lookups;
        EXPECT_TRUE(test::Screen::waitFor([&] { return cddb->lookups() == lookups; }, 10000)) << "no automatic lookup";
        // The pointer rests on the third row's title, which is cut: the status bar shows it whole.
        xdotool({"mousemove", "--sync", std::to_string(r->separatorX + 200), std::to_string(r->tops[2] + 32)});
        save(settle(&loaded), std::string(language.name) + "-disc-page");
        pointerAway();
        propertiesDialog(*r, language.name);
        menusAndAbout(language.name);
        languageMenu(language.name, false);
        closeProgram();
    }
}

TEST_F(WindowProgramEndToEnd, EnglishThenJapaneseFromArrivalToRemovalWithScreenshots)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built";
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    test::TempDir cache;
    {
        // Conversions ask AccurateRip: a refused local port instead of the internet.
        test::ScopedEnv home("XDG_CONFIG_HOME", config.path().c_str());
        settings::writeString(product::kProductKey, u"\\AccurateRip", u"Server", u"127.0.0.1:9");
        // The files are looked for in the folder chosen, not in a folder per album below it.
        settings::writeDword(product::kProductKey, u"\\Options", u"FolderPerAlbum", 0);
        refuseWebServices();
    }
    std::vector<std::string> environment{"DISPLAY=" + screen.display(), "XDG_CONFIG_HOME=" + config.path(),
                                         "XDG_CACHE_HOME=" + cache.path(), "XDG_MUSIC_DIR=" + music.path(),
                                         "TONVANE_UPDATE_HOST=127.0.0.1:9", // never the internet
                                         "TONVANE_FOLDER_CHOOSER=own"}; // even where zenity is installed
    // The sheet does not exist yet: the drive is empty until the test copies it in.
    ASSERT_TRUE(
        launch({"--drive", "image:" + cue, "--server", "127.0.0.1:" + std::to_string(cddb->port())}, environment));

    // English: the language page, a click on English, the insert-disc page.
    pointerAway();
    save(settle(), "en-language");
    click(left + kEnglishX, top + kEnglishY);
    pointerAway();
    save(waitForShot([this](const Picture& p) { return insertDiscShown(p); }, 10000, "no insert-disc page"),
         "en-insert-disc");

    // The sheet arrives: the disc page, not looked up (a fresh install stores "Auto" first).
    test::writeFile(cue, kCueSheet);
    Picture loaded = waitForShot([this](const Picture& p) { return rows(p).has_value(); }, 15000, "no disc page");
    std::optional<Rows> r = rows(loaded);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->tops.size(), 3u);
    EXPECT_LT(ringPixels(loaded), kRingPixelsShown / 2) << "the ring of the insert-disc page still shows";
    loaded = settle();
    EXPECT_EQ(cddb->lookups(), 0) << "the first disc of a fresh install was looked up";

    // Consult FreeDB: the server answers only this disc's query; the titles replace "Track n".
    int32_t pageTop = r->tops[0] - kListTop;
    click(r->left() + pageWidth(*r) / 2 + 80, pageTop + 24);
    pointerAway();
    EXPECT_TRUE(test::Screen::waitFor([&] { return cddb->lookups() == 1; }, 10000));
    Picture titled = settle(&loaded);
    auto titleLine = [&](const Picture& p) {
        std::vector<uint32_t> line;
        for (int32_t y = r->tops[0] + 24; y < r->tops[0] + 40; ++y)
            for (int32_t x = r->separatorX + 32; x < r->separatorX + 300; ++x)
                line.push_back(p.rgb(x, y));
        return line;
    };
    EXPECT_NE(titleLine(titled), titleLine(loaded)) << "the first row's title did not change";
    save(titled, "en-disc-page");

    // Row 0's logo: Vorbis (the default) becomes FLAC.
    click(r->separatorX - 32, r->tops[0] + 32);
    propertiesDialog(*r, "en");
    menusAndAbout("en");
    convert(*r, "en", false);
    checkFiles("");
    languageMenu("en", true);

    // Japanese: the sheet deleted (removal: the insert-disc page), copied back (arrival: the disc
    // page, looked up at once now that "Auto" is stored).
    std::filesystem::remove(cue);
    save(waitForShot([this](const Picture& p) { return insertDiscShown(p); }, 15000, "no insert-disc page after removal"),
         "ja-insert-disc");
    Picture empty = shot();
    test::writeFile(cue, kCueSheet);
    waitForShot([this](const Picture& p) { return rows(p).has_value(); }, 15000, "no disc page after arrival");
    EXPECT_TRUE(test::Screen::waitFor([&] { return cddb->lookups() == 2; }, 10000)) << "no automatic lookup";
    save(settle(&empty), "ja-disc-page");
    click(r->separatorX - 32, r->tops[0] + 32);
    pointerAway();
    propertiesDialog(*r, "ja");
    menusAndAbout("ja");
    languageMenu("ja", false); // its row is disabled now
    convert(*r, "ja", true);
    checkFiles(" (2)");

    // Removal at the end, then Alt+F4: the program ends cleanly.
    std::filesystem::remove(cue);
    waitForShot([this](const Picture& p) { return insertDiscShown(p); }, 15000, "no insert-disc page after the last removal");
    closeProgram();
    std::string settings = test::readFile(config.file("tonvane/settings.reg"));
    EXPECT_NE(settings.find("\"Lang\"=dword:00000005"), std::string::npos) << "Japanese is stored";
}

} // namespace
} // namespace tonvane
