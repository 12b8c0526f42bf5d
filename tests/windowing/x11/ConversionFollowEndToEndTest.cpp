// A conversion followed and stopped from a person's seat, on the program's own X server, in
// English, German and Japanese. The image disc is read securely against an AccurateRip stand-in
// on 127.0.0.1; "xdg-open" is a script first on PATH that writes down what it was asked to open.
//   1. The stand-in knows no record (404) and the third track's temporary name is taken by a
//      folder, so that its file cannot be written: two rows "Not in the database", one "Failed"
//      with a red bar and its reason under the pointer.
//   2. The stand-in serves the disc's record: every row "Accurate (confidence 5)", the summary
//      in the status bar and the two links, which hand the log and the folder to xdg-open; the
//      log and the CUE sheet lie beside the files.
//   3. Stop pressed while the tracks are read: the rows it ended read "Stopped", no partial and
//      no temporary file is left.
// Every state is written to <build>/screens/ as en-follow-*.png, de-follow-*.png, ja-follow-*.png.
#include <gtest/gtest.h>
// Before the driver's X headers, which define None.
#include "app/AccurateRipRecord.h"
#include "app/FakeHttpServer.h"
#include "session/RipPreferences.h"

#include "windowing/x11/WindowProgramDriver.h"

#include <fstream>

namespace tonvane {
namespace {

using namespace e2e;

constexpr uint32_t kVerdictGood = 0x108A30; // the theme's colours of a row's state, opaque
constexpr uint32_t kVerdictNeutral = 0x707070;
constexpr uint32_t kVerdictBad = 0xC01818;
constexpr int32_t kMarkPixels = 6; // a drawn mark holds more pixels of its exact colour than this

bool reddish(uint32_t rgb) { return channel(rgb, 16) > channel(rgb, 8) + 60 && channel(rgb, 16) > channel(rgb, 0) + 60; }

class ConversionFollowEndToEnd : public WindowProgramEndToEnd {
protected:
    // Pixels of that colour on the line below row i's play time, where its state is drawn.
    int32_t statePixels(const Picture& picture, const Rows& r, size_t i, uint32_t colour) const
    {
        int32_t right = r.left() + pageWidth(r);
        return picture.count(right - 240, r.tops[i] + 8, right - 4, r.tops[i] + 30,
                             [colour](uint32_t rgb) { return near(rgb, colour); });
    }
    bool rowsShow(const Picture& picture, const std::vector<uint32_t>& colours) const
    {
        auto r = rows(picture);
        if (!r || r->tops.size() < colours.size())
            return false;
        for (size_t i = 0; i < colours.size(); ++i)
            if (statePixels(picture, *r, i, colours[i]) < kMarkPixels)
                return false;
        return true;
    }
    // Convert, our folder chooser accepted, and the question about files of the same names
    // answered with Return (keep both) when they are there.
    void startConversion(const Rows& r, bool filesExist)
    {
        int32_t pageTop = r.tops[0] - kListTop;
        click(r.left() + pageWidth(r) / 2 - 80, pageTop + 24);
        ASSERT_TRUE(windowOfSize(kDialogWidth, kFolderDialogHeight)) << "Convert showed no folder chooser";
        settle(); // the dialog drawn and holding the keys
        key({"Return"});
        if (filesExist) {
            ASSERT_TRUE(windowOfSize(kDialogWidth, kFilesExistDialogHeight)) << "no question about the files that exist";
            settle();
            key({"Return"});
        }
    }
    // A click on the main window made active first (a dialog of ours was the active window).
    void clickActive(int32_t x, int32_t y)
    {
        xdotool({"windowactivate", "--sync", window});
        click(x, y);
    }
    void useAccurateRipServer(const std::string& home, const std::string& address)
    {
        test::ScopedEnv config("XDG_CONFIG_HOME", home.c_str());
        settings::writeString(product::kProductKey, u"\\AccurateRip", u"Server",
                              std::u16string(WideString::fromUtf8(address).view()));
    }
};

std::vector<std::string> regularFiles(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

size_t countOf(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(ConversionFollowEndToEnd, SecureRipEveryRowAccurateAFailedRowItsReasonAndStopLeavesNoPartialFile)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built";
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";

    // The disc's record: its id from the sheet's layout, each track's checksums from its audio.
    std::vector<DiscIdTrack> layout;
    std::vector<std::string> tracks;
    std::string audio = test::readFile(bin);
    uint32_t start = 0;
    for (uint32_t sectors : kTrackSectors) {
        layout.push_back({start, true});
        tracks.push_back(audio.substr(size_t(start) * e2e::kSectorBytes, size_t(sectors) * e2e::kSectorBytes));
        start += sectors;
    }
    std::optional<AccurateRipDiscId> id = accurateRipDiscId(layout, start);
    ASSERT_TRUE(id);
    test::FakeHttpServer record(accurateRipPath(*id), test::accurateRipRecordOf(*id, tracks, 5));
    test::FakeHttpServer unknown("/no-such-record", "");
    // Each session opens the disc afresh, so the sheet's speed holds for the next conversion: the
    // first two read at the other stories' 4x; the stopped one at a third of 1x, so that its Stop
    // lands while the first track is read however slowly the window and this test run (the
    // sanitizer builds).
    const std::string fastSheet = kCueSheet;
    std::string slowSheet = kCueSheet;
    slowSheet.replace(slowSheet.find("SPEED 300"), 9, "SPEED 25");

    struct Language {
        const char* name;
        uint32_t id; // the language table's number
    };
    int lookups = 0;
    for (Language language : {Language{"en", 1}, Language{"de", 3}, Language{"ja", 5}}) {
        SCOPED_TRACE(language.name);
        const std::string l = language.name;
        test::writeFile(cue, fastSheet);
        test::TempDir home, cache, out, tools;
        std::filesystem::create_directories(home.path() + "/tonvane");
        test::writeFile(home.path() + "/tonvane/settings.reg", settingsWith(language.id));
        {
            test::ScopedEnv config("XDG_CONFIG_HOME", home.path().c_str());
            RipPreferences preferences;
            preferences.readMode = ReadMode::Secure;
            ASSERT_TRUE(storeRipPreferences(preferences));
        }
        useAccurateRipServer(home.path(), unknown.address());
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
        ++lookups;
        ASSERT_TRUE(test::Screen::waitFor([&] { return cddb->lookups() == lookups; }, 10000)) << "no automatic lookup";
        settle(&loaded);

        // 1. No record; the third track's temporary name is a folder: it cannot be written.
        const std::string blocker = out.file(".03 - Part 3 Finale.ogg.part");
        std::filesystem::create_directories(blocker);
        startConversion(*r, false);
        const std::vector<uint32_t> failedRun{kVerdictNeutral, kVerdictNeutral, kVerdictBad};
        Picture failed = waitForShot([&](const Picture& p) { return rowsShow(p, failedRun); }, 60000,
                                     "the rows never showed not in the database, not in the database, failed");
        int32_t barArea = (pageWidth(*r) - 80) * 16;
        EXPECT_GT(barPixels(failed, *r, 2, reddish), barArea * 4 / 10) << "the failed track's bar is red";
        EXPECT_EQ(barPixels(failed, *r, 2, greenish), 0) << "and never green";
        EXPECT_GT(barPixels(failed, *r, 0, greenish), barArea * 4 / 10);
        // The pointer on the failed row's state: its reason in a tip below it.
        int32_t right = r->left() + pageWidth(*r);
        xdotool({"mousemove", "--sync", std::to_string(right - 30), std::to_string(r->tops[2] + 20)});
        save(settle(&failed), l + "-follow-failed");
        pointerAway();
        std::filesystem::remove(blocker);

        // 2. The record served: every row accurate; the summary and the links.
        useAccurateRipServer(home.path(), record.address());
        Picture before = settle();
        startConversion(*r, true);
        const std::vector<uint32_t> accurateRun(3, kVerdictGood);
        Picture accurate = waitForShot([&](const Picture& p) { return p.pixels != before.pixels && rowsShow(p, accurateRun); },
                                       60000, "the rows never all showed accurate");
        pointerAway();
        // The "Show log" link sits right of the page's second button, "Open folder" left of the first.
        int32_t pageTop = r->tops[0] - kListTop;
        int32_t middle = r->left() + pageWidth(*r) / 2;
        xdotool({"mousemove", "--sync", std::to_string(middle + 172), std::to_string(pageTop + 24)});
        save(settle(&accurate), l + "-follow-accurate");
        clickActive(middle + 172, pageTop + 24);
        EXPECT_TRUE(test::Screen::waitFor([&] { return countOf(test::readFile(opened), "\n") == 1; }, 10000));
        clickActive(middle - 172, pageTop + 24);
        pointerAway();
        EXPECT_TRUE(test::Screen::waitFor([&] { return countOf(test::readFile(opened), "\n") == 2; }, 10000))
            << test::readFile(opened);
        std::string log, sheet;
        for (const std::string& name : regularFiles(out.path())) {
            if (name.ends_with(" (2).log"))
                log = test::readFile(out.file(name));
            if (name.ends_with(".cue"))
                sheet = test::readFile(out.file(name));
        }
        EXPECT_EQ(countOf(log, "accurate (confidence 5)"), 3u) << log;
        EXPECT_NE(log.find("Mode: secure"), std::string::npos) << log;
        EXPECT_NE(sheet.find("FILE \"03 - Part 3 Finale.ogg\" WAVE"), std::string::npos) << sheet;
        EXPECT_EQ(test::readFile(opened), out.file("Demo Album (2).log") + "\n" + out.path() + "\n");

        // 3. Stop while the tracks are read.
        test::writeFile(cue, slowSheet);
        size_t filesBefore = regularFiles(out.path()).size();
        before = settle();
        startConversion(*r, true);
        Picture running = waitForShot([this](const Picture& p) { return converting(p); }, 60000, "no progress shown");
        save(running, l + "-follow-converting");
        clickActive(r->left() + pageWidth(*r) / 2 - 80, pageTop + 24); // the button reads Stop now
        pointerAway();
        Picture stopped = waitForShot(
            [&](const Picture& p) {
                auto rr = rows(p);
                return rr && !converting(p) && statePixels(p, *rr, 2, kVerdictNeutral) >= kMarkPixels;
            },
            60000, "no row reads Stopped");
        stopped = settle(&before);
        save(stopped, l + "-follow-stopped");
        size_t whole = 0;
        for (size_t i = 0; i < 3; ++i)
            whole += statePixels(stopped, *r, i, kVerdictGood) >= kMarkPixels ? 1 : 0;
        std::vector<std::string> after = regularFiles(out.path());
        for (const std::string& name : after)
            EXPECT_FALSE(name.ends_with(".part")) << name;
        // The new files: one per track that ended whole, and the log (no CUE sheet: not complete).
        EXPECT_EQ(after.size(), filesBefore + whole + 1) << "a stopped track left a file";
        closeProgram();
    }
}

} // namespace
} // namespace tonvane
