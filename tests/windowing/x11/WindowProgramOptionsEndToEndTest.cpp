// View > Options from a person's seat, in English, German, Japanese and Russian (the longest
// labels): the dialog as it opens, its read-mode drop-down open, Detect while AccurateRip (a
// stand-in on 127.0.0.1 named with --accuraterip-server, which holds its answer) is asked, and
// the answer for the demo drive that delivers its samples 6 late; OK stores the offset for the
// drive's model; then a server that does not know the disc ("No answer"), closed with Esc.
// Screenshots go to <build>/screens/ as en-options*.png and the same with de-, ja- and ru-.
// Then the server entries in English, German, Japanese and Russian: the run's --server shown, the
// others empty with the built-in server in grey, a port out of range and a MusicBrainz server
// that is no URL (the longest reason) refused with their reasons.
#include "windowing/x11/WindowProgramDriver.h"

#include "app/FakeHttpServer.h"
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"

#include <atomic>

namespace tonvane {
namespace {

using namespace e2e;

constexpr int32_t kOptionsWidth = 500; // [pixels] the Options dialog's content
constexpr int32_t kOptionsHeight = 532;
constexpr int32_t kDriveOffset = 6; // [samples] the demo drive's lateness
// Inner positions of the dialog's controls (x from the left, y down from the inner top).
constexpr int32_t kReadModeX = 16 + 150 + 8 + 40, kReadModeY = 14 + 11;
constexpr int32_t kDetectFromRight = 16 + 50, kDetectY = 14 + 12 * 28 + 11;
constexpr int32_t kEntryX = 16 + 150 + 8 + 40, kMusicBrainzEntryY = 14 + 3 * 28 + 11,
                  kAccurateRipEntryY = 14 + 5 * 28 + 11;

void putLe32(std::string& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
}

AccurateRipDiscId demoId()
{
    std::vector<DiscIdTrack> tracks;
    for (const EmulatedTrack& track : demoDrive()->disc()->tracks())
        tracks.push_back({track.start, track.kind == TrackKind::Audio});
    return *accurateRipDiscId(tracks, demoDrive()->disc()->leadOut());
}

// One pressing of the demo disc: each track's sector-450 checksum of the original audio.
std::string demoRecord(const AccurateRipDiscId& id)
{
    std::string block;
    block.push_back(static_cast<char>(id.audioTracks));
    putLe32(block, id.id1);
    putLe32(block, id.id2);
    putLe32(block, id.id3);
    for (const EmulatedTrack& track : demoDrive()->disc()->tracks()) {
        std::vector<uint8_t> sector(2352);
        demoDrive()->disc()->readSectors(track.start + kOffsetFindingSector, 1, sector.data());
        block.push_back(3);
        putLe32(block, 0);
        putLe32(block, sectorChecksum(sector.data()));
    }
    return block;
}

// A person who chose `language` (its table number) and no automatic lookups.
std::string settingsOf(uint32_t language)
{
    settings::SettingsFile file;
    auto key = [](std::u16string_view suffix) {
        WideString path(u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2");
        path.joinKeyPath(suffix);
        return std::u16string(path.view());
    };
    file.setValue(key(u"\\Main"), {u"Lang", settings::SettingsFile::Type::Dword, language, {}});
    file.setValue(key(u"\\FreeDB"), {u"Auto", settings::SettingsFile::Type::Dword, 0, {}});
    return file.serialize();
}

class WindowProgramOptions : public WindowProgramEndToEnd {
protected:
    // A screen point of the Options dialog at (x, y down from its inner top).
    static std::pair<int32_t, int32_t> at(std::pair<int32_t, int32_t> content, int32_t x, int32_t yDown)
    {
        ControlTheme theme;
        IntRect inner = theme.contentRect(kOptionsWidth, kOptionsHeight, kDialogFrameStyle);
        return {content.first + inner.x0 + x, content.second + (kOptionsHeight - inner.y1) + yDown};
    }
    static int32_t innerWidth()
    {
        ControlTheme theme;
        IntRect inner = theme.contentRect(kOptionsWidth, kOptionsHeight, kDialogFrameStyle);
        return inner.x1 - inner.x0;
    }
};

TEST_F(WindowProgramOptions, OptionsDialogDetectsTheOffsetInFourLanguages)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built";
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    const AccurateRipDiscId id = demoId();
    std::atomic<bool> answer{false}; // outlives the stand-in that reads it
    test::FakeHttpServer accurateRip(accurateRipPath(id), demoRecord(id));
    accurateRip.holdAnswersUntil([&] { return answer.load(); }, 20000);
    test::FakeHttpServer unknown("/nothing", "");
    struct Language {
        const char* name;
        uint32_t id; // the language table's number
    };
    for (Language language : {Language{"en", 1}, Language{"de", 3}, Language{"ja", 5}, Language{"ru", 7}}) {
        SCOPED_TRACE(language.name);
        std::string prefix = std::string(language.name) + "-options";
        answer = false;
        test::TempDir home, cache;
        std::filesystem::create_directories(home.path() + "/tonvane");
        test::writeFile(home.path() + "/tonvane/settings.reg", settingsOf(language.id));
        std::vector<std::string> environment{"DISPLAY=" + screen.display(), "XDG_CONFIG_HOME=" + home.path(),
                                             "XDG_CACHE_HOME=" + cache.path(), "XDG_MUSIC_DIR=" + music.path(),
                                             "TONVANE_UPDATE_HOST=127.0.0.1:9", "TONVANE_FOLDER_CHOOSER=own"};
        ASSERT_TRUE(launch({"--drive", "demo:offset=" + std::to_string(kDriveOffset), "--accuraterip-server",
                            accurateRip.address(), "--server", "127.0.0.1:9"},
                           environment));
        Picture loaded = waitForShot([this](const Picture& p) { return rows(p).has_value(); }, 15000, "no disc page");
        pointerAway();
        Picture before = settle(&loaded, 2000);
        key({"F10", "Right", "Return"}); // View, its first row: Options
        auto dialog = windowOfSize(kOptionsWidth, kOptionsHeight);
        ASSERT_TRUE(dialog) << "View > Options opened no dialog";
        before = settle(&before);
        save(before, prefix);

        auto box = at(*dialog, kReadModeX, kReadModeY);
        click(box.first, box.second);
        pointerAway();
        save(settle(&before), prefix + "-dropdown");
        before = shot();
        key({"Escape"}); // the list closes, the dialog stays
        before = settle(&before);
        ASSERT_TRUE(windowOfSize(kOptionsWidth, kOptionsHeight, 0)) << "Esc on the open list closed the dialog";

        size_t asked = accurateRip.paths().size();
        auto detect = at(*dialog, innerWidth() - kDetectFromRight, kDetectY);
        click(detect.first, detect.second);
        pointerAway();
        EXPECT_TRUE(test::Screen::waitFor([&] { return accurateRip.paths().size() > asked; }, 10000))
            << "Detect asked no AccurateRip server";
        save(settle(&before), prefix + "-asking");
        before = shot();
        answer = true;
        save(settle(&before), prefix + "-detected");

        key({"Return"}); // OK: the offset stored for the drive's model
        EXPECT_TRUE(test::Screen::waitFor([&] { return !windowOfSize(kOptionsWidth, kOptionsHeight, 0); }, 10000))
            << "Return did not close the dialog";
        closeProgram();
        std::string stored = test::readFile(home.path() + "/tonvane/settings.reg");
        EXPECT_NE(stored.find("\"ReadOffset\"=dword:00000006"), std::string::npos) << stored;

        // A server that does not know the disc: "No answer" and why; Esc stores nothing.
        test::TempDir freshCache;
        environment[2] = "XDG_CACHE_HOME=" + freshCache.path();
        ASSERT_TRUE(launch({"--drive", "demo:offset=" + std::to_string(kDriveOffset), "--accuraterip-server",
                            unknown.address(), "--server", "127.0.0.1:9"},
                           environment));
        loaded = waitForShot([this](const Picture& p) { return rows(p).has_value(); }, 15000, "no disc page");
        pointerAway();
        before = settle(&loaded, 2000);
        key({"F10", "Right", "Return"});
        dialog = windowOfSize(kOptionsWidth, kOptionsHeight);
        ASSERT_TRUE(dialog) << "View > Options opened no dialog";
        before = settle(&before);
        detect = at(*dialog, innerWidth() - kDetectFromRight, kDetectY);
        click(detect.first, detect.second);
        pointerAway();
        save(settle(&before), prefix + "-no-answer");
        EXPECT_FALSE(unknown.paths().empty()) << "Detect asked no AccurateRip server";
        key({"Escape"});
        EXPECT_TRUE(test::Screen::waitFor([&] { return !windowOfSize(kOptionsWidth, kOptionsHeight, 0); }, 10000))
            << "Esc did not close the dialog";
        closeProgram();
        EXPECT_EQ(test::readFile(home.path() + "/tonvane/settings.reg"), stored) << "Esc stored something";
    }
}

TEST_F(WindowProgramOptions, ServerEntriesShowTheRunsServerAndRefuseABadPort)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built";
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    struct Language {
        const char* name;
        uint32_t id; // the language table's number
    };
    for (Language language : {Language{"en", 1}, Language{"de", 3}, Language{"ja", 5}, Language{"ru", 7}}) {
        SCOPED_TRACE(language.name);
        std::string prefix = std::string(language.name) + "-options-servers";
        test::TempDir home, cache;
        std::filesystem::create_directories(home.path() + "/tonvane");
        test::writeFile(home.path() + "/tonvane/settings.reg", settingsOf(language.id));
        std::vector<std::string> environment{"DISPLAY=" + screen.display(), "XDG_CONFIG_HOME=" + home.path(),
                                             "XDG_CACHE_HOME=" + cache.path(), "XDG_MUSIC_DIR=" + music.path(),
                                             "TONVANE_UPDATE_HOST=127.0.0.1:9", "TONVANE_FOLDER_CHOOSER=own"};
        ASSERT_TRUE(launch({"--drive", "demo:", "--server", "127.0.0.1:9"}, environment));
        Picture loaded = waitForShot([this](const Picture& p) { return rows(p).has_value(); }, 15000, "no disc page");
        pointerAway();
        Picture before = settle(&loaded, 2000);
        key({"F10", "Right", "Return"}); // View > Options
        auto dialog = windowOfSize(kOptionsWidth, kOptionsHeight);
        ASSERT_TRUE(dialog) << "View > Options opened no dialog";
        before = settle(&before);
        save(before, prefix);

        auto entry = at(*dialog, kEntryX, kAccurateRipEntryY);
        click(entry.first, entry.second);
        xdotool({"type", "--delay", "15", "ar.test:99999"});
        key({"Return"}); // OK, refused: the dialog stays with the reason
        pointerAway();
        before = settle(&before);
        save(before, prefix + "-refused");
        EXPECT_TRUE(windowOfSize(kOptionsWidth, kOptionsHeight, 0)) << "a port out of range closed the dialog";

        key({"BackSpace"}); // the selected text goes: the built-in server again
        entry = at(*dialog, kEntryX, kMusicBrainzEntryY);
        click(entry.first, entry.second);
        xdotool({"type", "--delay", "15", "musicbrainz.org"});
        key({"Return"});
        pointerAway();
        before = settle(&before);
        save(before, prefix + "-not-url");
        EXPECT_TRUE(windowOfSize(kOptionsWidth, kOptionsHeight, 0)) << "a server without http:// closed the dialog";

        key({"Escape"});
        EXPECT_TRUE(test::Screen::waitFor([&] { return !windowOfSize(kOptionsWidth, kOptionsHeight, 0); }, 10000))
            << "Esc did not close the dialog";
        closeProgram();
        std::string after = test::readFile(home.path() + "/tonvane/settings.reg");
        EXPECT_EQ(after.find("99999"), std::string::npos) << after;
        EXPECT_EQ(after.find("musicbrainz.org"), std::string::npos) << after;
        EXPECT_EQ(after.find("127.0.0.1:9\""), std::string::npos) << "the run's server was stored: " << after;
    }
}

} // namespace
} // namespace tonvane
