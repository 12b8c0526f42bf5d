#pragma once
// Drives the window program on its own X server (Xvfb, openbox, xcompmgr) with xdotool: the disc
// image and a CDDB stand-in, screenshots, waits for what the screen shows, the rows and their
// progress bars found from their pixels, dialogs by their sizes. Shared by the end-to-end tests.
#include <gtest/gtest.h> // before the X headers: they define None

#include "app/FakeCddbServer.h"
#include "controls/theme/ControlTheme.h"
#include "core/foundation/WideString.h"
#include "core/settings/SettingsFile.h"
#include "graphics/image/PngEncoder.h"
#include "support/ChildProcess.h"
#include "support/MusicSignal.h"
#include "support/TempDir.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsStore.h"
#include "windowing/x11/XvfbScreen.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tonvane::e2e {

const std::string kProgram = std::string(TONVANE_BINARY_DIR) + "/app/tonvane";
const std::string kScreens = std::string(TONVANE_BINARY_DIR) + "/screens";
constexpr char kFlac[] = "/usr/bin/flac";
constexpr char kMetaflac[] = "/usr/bin/metaflac";
constexpr char kPython[] = "/usr/bin/python3";

constexpr int32_t kScreenWidth = 1024; // [pixels] XvfbScreen's screen
constexpr int32_t kScreenHeight = 768;
constexpr int32_t kShadow = 9; // [pixels] the window's margin left of and above its content
constexpr int32_t kContentWidth = 650; // [pixels] the main window's first size
constexpr int32_t kDialogWidth = 380; // [pixels] content of the dialogs
constexpr int32_t kDialogHeight = 200;
constexpr int32_t kFolderDialogHeight = 320;
constexpr int32_t kFilesExistDialogHeight = 170; // the question about files that exist
constexpr uint32_t kDialogFrameStyle = 0x6410;
constexpr int32_t kControlHeight = 22; // [pixels] a closed drop-down box

// The English button of the language page, from the content's top-left (y down).
constexpr int32_t kEnglishX = 421, kEnglishY = 120;
// The insert-disc page's ring of dots: centred on the page, radius 95 + 20; the first dot is
// opaque in the accent colour, so a page that shows the ring holds about 1 250 such pixels.
constexpr int32_t kRingCentreX = 325, kRingCentreY = 240, kRingReach = 125;
constexpr uint32_t kRingDot = 0xC0D0E0;
constexpr int32_t kRingPixelsShown = 900;

// Track rows: 64 pixels; the vertical separator runs 8 pixels in from the row's top and bottom
// at 64 pixels from the row's left, in 0xC0C0C0 (opaque, so the screen holds it exactly).
constexpr int32_t kRowHeight = 64;
constexpr uint32_t kSeparator = 0xC0C0C0;
constexpr int32_t kSeparatorRun = 40; // [pixels] of the 48 drawn
constexpr int32_t kListTop = 80; // [pixels] from the page's top to the first row

// The disc: three tracks of music [sectors], read by a 4x image drive so that a conversion
// lasts long enough to be seen (1 350 sectors at 300 a second: 4.5 s).
constexpr uint32_t kTrackSectors[] = {450, 375, 525};
constexpr uint32_t kSectorBytes = 2352;
constexpr char kCueSheet[] = "REM TONVANE SPEED 300\n"
                             "FILE \"disc.bin\" BINARY\n"
                             "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                             "  TRACK 02 AUDIO\n    INDEX 01 00:06:00\n"
                             "  TRACK 03 AUDIO\n    INDEX 01 00:11:00\n";
// Computed by hand: track offsets 150, 600, 975 and lead-out 1500 (LBA + 150) are at 2, 8, 13
// and 20 s; digit sums 2 + 8 + (1 + 3) = 14; 20 - 2 = 18 s = 0x12; three tracks: 0x0E001203.
constexpr char kCddbQuery[] = "cddb query 0e001203 3 150 600 975 20";
const std::vector<std::string> kTitles = {"Morning Light", "夜明けの歌", "Part 3: Finale"};
// File names drop ':' (so that rips copy to FAT media).
const std::vector<std::string> kFileNames = {"01 - Morning Light.flac", "02 - 夜明けの歌.ogg", "03 - Part 3 Finale.ogg"};

inline uint64_t nowMs() { return monotonicNs() / 1000000; }

struct Picture {
    std::vector<uint32_t> pixels; // top-down 0xFFRRGGBB, kScreenWidth wide
    uint32_t rgb(int32_t x, int32_t y) const
    {
        if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight)
            return 0;
        return pixels[size_t(y) * kScreenWidth + size_t(x)] & 0xFFFFFFu;
    }
    int32_t count(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const std::function<bool(uint32_t)>& test) const
    {
        int32_t n = 0;
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x)
                n += test(rgb(x, y)) ? 1 : 0;
        return n;
    }
};

inline bool near(uint32_t rgb, uint32_t want)
{
    for (int shift : {0, 8, 16})
        if (std::abs(int((rgb >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 2)
            return false;
    return true;
}
inline int channel(uint32_t rgb, int shift) { return int((rgb >> shift) & 0xFF); }
inline bool greenish(uint32_t rgb) { return channel(rgb, 8) > channel(rgb, 16) + 60 && channel(rgb, 8) > channel(rgb, 0) + 60; }
inline bool blueish(uint32_t rgb) { return channel(rgb, 0) > channel(rgb, 16) + 60 && channel(rgb, 0) > channel(rgb, 8) + 60; }

// Where the disc page's rows are, found from their separators.
struct Rows {
    int32_t separatorX = 0;
    std::vector<int32_t> tops; // of each row
    int32_t left() const { return separatorX - 64; } // the page's left edge
};

inline std::optional<Rows> findRows(const Picture& picture, int32_t left, int32_t top)
{
    for (int32_t x = left; x < left + kContentWidth; ++x) {
        Rows rows{x, {}};
        int32_t run = 0;
        for (int32_t y = top; y < kScreenHeight; ++y) {
            run = picture.rgb(x, y) == kSeparator ? run + 1 : 0;
            if (run == kSeparatorRun)
                rows.tops.push_back(y - kSeparatorRun + 1 - 8);
        }
        if (rows.tops.size() >= 3)
            return rows;
    }
    return std::nullopt;
}

class WindowProgramEndToEnd : public ::testing::Test {
protected:
    test::Screen screen;
    test::TempDir config, music, discFolder;
    std::string cue, bin;
    std::unique_ptr<test::FakeCddbServer> cddb;
    std::unique_ptr<test::RunningProcess> program;
    std::string window;
    int32_t left = 0, top = 0; // the main window's content, screen pixels

    std::vector<std::string> display() const { return {"DISPLAY=" + screen.display()}; }

    void SetUp() override
    {
        std::filesystem::create_directories(kScreens);
        cue = discFolder.file("disc.cue");
        bin = discFolder.file("disc.bin");
        std::string audio;
        uint32_t seed = 7;
        for (uint32_t sectors : kTrackSectors) {
            std::vector<uint8_t> track = test::musicSignal(sectors * kSectorBytes / 4, seed++);
            audio.append(track.begin(), track.end());
        }
        test::writeFile(bin, audio);
        cddb = std::make_unique<test::FakeCddbServer>(kTitles, false, kCddbQuery);
    }

    // The program started with these arguments and environment; its main window found (window,
    // left and top of its content). False when no main window came up.
    bool launch(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
    {
        program = std::make_unique<test::RunningProcess>(kProgram, arguments, environment);
        test::ProcessResult found
            = test::runProcess(test::kXdotool, {"search", "--sync", "--name", "^Tonvane 0\\.2\\.7$"}, display(), 20000);
        EXPECT_EQ(found.exitCode, 0) << "no main window: " << found.err;
        if (found.exitCode != 0)
            return false;
        window = found.out.substr(0, found.out.find('\n'));
        int32_t w = 0, h = 0;
        if (!geometry(window, left, top, w, h))
            return false;
        left += kShadow;
        top += kShadow;
        return true;
    }

    // Alt+F4 and the program's clean end.
    void closeProgram()
    {
        xdotool({"windowactivate", "--sync", window, "key", "alt+F4"});
        test::ProcessResult ended = program->wait(20000);
        EXPECT_FALSE(ended.timedOut) << "the program did not end after Alt+F4";
        EXPECT_EQ(ended.exitCode, 0) << ended.err;
    }

    bool xdotool(const std::vector<std::string>& arguments)
    {
        return test::runProcess(test::kXdotool, arguments, display(), 10000).exitCode == 0;
    }
    void key(const std::vector<std::string>& keys)
    {
        std::vector<std::string> arguments{"windowactivate", "--sync", window, "key", "--delay", "150"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        xdotool(arguments);
    }
    // xdotool's `mousemove --sync` to the spot where the pointer already is waits for a motion
    // that never comes until it is killed, and a click chained to it is never sent: the move
    // only when the pointer is elsewhere.
    void click(int32_t x, int32_t y)
    {
        if (pointer() != std::pair<int32_t, int32_t>{x, y})
            xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
        xdotool({"click", "1"});
    }
    // Where the pointer is on the screen (y down).
    std::pair<int32_t, int32_t> pointer() const
    {
        Display* d = screen.connection();
        Window root = 0, child = 0;
        int rootX = -1, rootY = -1, x = 0, y = 0;
        unsigned buttons = 0;
        XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rootX, &rootY, &x, &y, &buttons);
        return {rootX, rootY};
    }
    void pointerAway() { xdotool({"mousemove", "--sync", "2", "2"}); }

    Picture shot() { return {screen.grab({0, 0, kScreenWidth, kScreenHeight})}; }

    // Waits until the screen differs from `before` (when given), then until it holds still for
    // three looks 100 ms apart: animations (fades, the balloon) have ended.
    Picture settle(const Picture* before = nullptr, int timeoutMs = 15000)
    {
        uint64_t deadline = nowMs() + uint64_t(timeoutMs);
        Picture last = shot();
        while (before != nullptr && last.pixels == before->pixels && nowMs() < deadline) {
            sleepMs(50);
            last = shot();
        }
        for (int still = 0; still < 3 && nowMs() < deadline;) {
            sleepMs(100);
            Picture next = shot();
            still = next.pixels == last.pixels ? still + 1 : 0;
            last = std::move(next);
        }
        return last;
    }

    void save(const Picture& picture, const std::string& name)
    {
        std::vector<uint32_t> bottomUp(picture.pixels.size());
        for (int32_t y = 0; y < kScreenHeight; ++y)
            std::copy_n(picture.pixels.begin() + ptrdiff_t(y) * kScreenWidth, kScreenWidth,
                        bottomUp.begin() + ptrdiff_t(kScreenHeight - 1 - y) * kScreenWidth);
        EXPECT_TRUE(writeArgbPng(bottomUp.data(), kScreenWidth, kScreenHeight, kScreenWidth, PngChannels::Rgb,
                                 kScreens + "/" + name + ".png"))
            << name;
    }

    Picture waitForShot(const std::function<bool(const Picture&)>& condition, int timeoutMs, const char* what)
    {
        uint64_t deadline = nowMs() + uint64_t(timeoutMs);
        Picture picture = shot();
        while (!condition(picture) && nowMs() < deadline) {
            sleepMs(50);
            picture = shot();
        }
        EXPECT_TRUE(condition(picture)) << what;
        return picture;
    }

    int32_t ringPixels(const Picture& picture) const
    {
        int32_t cx = left + kRingCentreX, cy = top + kRingCentreY;
        return picture.count(cx - kRingReach, cy - kRingReach, cx + kRingReach, cy + kRingReach,
                             [](uint32_t rgb) { return near(rgb, kRingDot); });
    }
    bool insertDiscShown(const Picture& picture) const
    {
        return !findRows(picture, left, top) && ringPixels(picture) >= kRingPixelsShown;
    }
    std::optional<Rows> rows(const Picture& picture) const { return findRows(picture, left, top); }

    int32_t pageWidth(const Rows& r) const { return kContentWidth - 2 * (r.left() - left); }
    // The progress bar of row i: from 72 pixels in to 8 before the right, 8 to 24 above the bottom.
    int32_t barPixels(const Picture& picture, const Rows& r, size_t i, bool (*test)(uint32_t)) const
    {
        int32_t bottom = r.tops[i] + kRowHeight;
        return picture.count(r.left() + 72, bottom - 24, r.left() + pageWidth(r) - 8, bottom - 8,
                             [test](uint32_t rgb) { return test(rgb); });
    }
    bool converting(const Picture& picture) const
    {
        auto r = rows(picture);
        return r && barPixels(picture, *r, 0, blueish) + barPixels(picture, *r, 1, blueish) > 100;
    }
    bool done(const Picture& picture) const
    {
        auto r = rows(picture);
        if (!r)
            return false;
        int32_t barArea = (pageWidth(*r) - 80) * 16;
        for (size_t i = 0; i < 3; ++i)
            if (barPixels(picture, *r, i, greenish) < barArea * 4 / 10)
                return false;
        return true;
    }

    // A visible window of the program with that content size; its content's top-left.
    std::optional<std::pair<int32_t, int32_t>> windowOfSize(int32_t width, int32_t height, int timeoutMs = 10000)
    {
        uint64_t deadline = nowMs() + uint64_t(timeoutMs);
        do {
            test::ProcessResult found
                = test::runProcess(test::kXdotool, {"search", "--onlyvisible", "--class", "tonvane"}, display(), 5000);
            std::istringstream ids(found.out);
            for (std::string id; std::getline(ids, id);) {
                int32_t x = 0, y = 0, w = 0, h = 0;
                if (geometry(id, x, y, w, h) && w == width + 2 * kShadow + 1 && h == height + 2 * kShadow + 1)
                    return std::pair{x + kShadow, y + kShadow};
            }
            sleepMs(100);
        } while (nowMs() < deadline);
        return std::nullopt;
    }

    bool geometry(const std::string& id, int32_t& x, int32_t& y, int32_t& w, int32_t& h)
    {
        test::ProcessResult shell = test::runProcess(test::kXdotool, {"getwindowgeometry", "--shell", id}, display(), 5000);
        std::istringstream lines(shell.out);
        int found = 0;
        for (std::string line; std::getline(lines, line);) {
            for (auto [prefix, out] : {std::pair{"X=", &x}, std::pair{"Y=", &y}, std::pair{"WIDTH=", &w},
                                       std::pair{"HEIGHT=", &h}})
                if (line.rfind(prefix, 0) == 0) {
                    *out = std::stoi(line.substr(std::string(prefix).size()));
                    ++found;
                }
        }
        return found == 4;
    }

    // The inner rectangle of a dialog of that height: x from the left, y up from the bottom.
    static IntRect dialogInner(int32_t height)
    {
        ControlTheme theme;
        return theme.contentRect(kDialogWidth, height, kDialogFrameStyle);
    }

    // A screen point of a dialog at (x, y-up) of its inner rectangle.
    static std::pair<int32_t, int32_t> inDialog(std::pair<int32_t, int32_t> content, int32_t height, int32_t x, int32_t y)
    {
        IntRect inner = dialogInner(height);
        return {content.first + inner.x0 + x, content.second + height - (inner.y0 + y)};
    }

    // The encoder properties dialog of row 0 (its link), its format list open, closed by Cancel.
    void propertiesDialog(const Rows& r, const std::string& language)
    {
        Picture before = shot();
        click(r.separatorX + 42, r.tops[0] + 18);
        auto dialog = windowOfSize(kDialogWidth, kDialogHeight);
        ASSERT_TRUE(dialog) << "the encoder link opened no properties dialog";
        pointerAway();
        save(settle(&before), language + "-properties");
        IntRect inner = dialogInner(kDialogHeight);
        int32_t w = inner.x1 - inner.x0, h = inner.y1 - inner.y0;
        // The format box: its closed top 22 pixels sit 24 pixels below the inner top.
        auto box = inDialog(*dialog, kDialogHeight, w / 2 - 88, h - 24 - kControlHeight / 2);
        before = shot();
        click(box.first, box.second);
        save(settle(&before), language + "-dropdown");
        before = shot();
        key({"Escape"});
        settle(&before);
        auto cancel = inDialog(*dialog, kDialogHeight, w / 2 + 66, 32);
        click(cancel.first, cancel.second);
        EXPECT_TRUE(test::Screen::waitFor([&] { return !windowOfSize(kDialogWidth, kDialogHeight, 0); }, 10000))
            << "Cancel did not close the properties dialog";
    }

    void menusAndAbout(const std::string& language)
    {
        pointerAway();
        Picture before = settle();
        key({"F10"}); // the first menu, File
        save(settle(&before), language + "-menu-file");
        before = shot();
        key({"Escape"});
        before = settle(&before);
        key({"F10", "Left", "Up", "Return"}); // Help, its last row: About
        ASSERT_TRUE(windowOfSize(kDialogWidth, 250)) << "no About box";
        save(settle(&before), language + "-about");
        before = shot();
        key({"Return"}); // OK
        settle(&before);
        EXPECT_FALSE(windowOfSize(kDialogWidth, 250, 0)) << "Return did not close the About box";
    }

    // Convert, our folder chooser (accepted with Return), the question about files of the same
    // names when the folder holds them (Return: keep both), the conversion seen and waited for.
    void convert(const Rows& r, const std::string& language, bool filesExist)
    {
        Picture before = shot();
        int32_t pageTop = r.tops[0] - kListTop;
        click(r.left() + pageWidth(r) / 2 - 80, pageTop + 24);
        ASSERT_TRUE(windowOfSize(kDialogWidth, kFolderDialogHeight)) << "Convert showed no folder chooser";
        pointerAway();
        save(settle(&before), language + "-folder-chooser");
        before = shot();
        key({"Return"});
        if (filesExist) {
            ASSERT_TRUE(windowOfSize(kDialogWidth, kFilesExistDialogHeight)) << "no question about the files that exist";
            save(settle(&before), language + "-files-exist");
            key({"Return"});
        }
        save(waitForShot([this](const Picture& p) { return converting(p); }, 20000, "no progress shown"),
             language + "-converting");
        Picture finished = waitForShot([this](const Picture& p) { return done(p); }, 60000, "the bars never all turned green");
        save(settle(&finished), language + "-done");
    }

    // The files of a conversion; suffix (" (2)") is put before each extension when the folder
    // held files of the same names and both were kept.
    void checkFiles(const std::string& suffix)
    {
        auto named = [&](const std::string& name) {
            size_t dot = name.rfind('.');
            return music.file(name.substr(0, dot) + suffix + name.substr(dot));
        };
        // The FLAC track: its tags, and its audio decodes to the disc's first track exactly.
        std::string flacFile = named(kFileNames[0]);
        test::ProcessResult tags = test::runProcess(kMetaflac, {"--export-tags-to=-", flacFile}, {}, 10000);
        EXPECT_EQ(tags.exitCode, 0) << tags.err;
        for (const char* tag : {"TITLE=Morning Light\n", "ARTIST=Demo Artist\n", "ALBUM=Demo Album\n", "DATE=2024\n",
                                "GENRE=Rock\n", "TRACKNUMBER=1\n"})
            EXPECT_NE(tags.out.find(tag), std::string::npos) << tag << " not in\n" << tags.out;
        test::ProcessResult decoded = test::runProcess(
            kFlac, {"-d", "-s", "-c", "--force-raw-format", "--endian=little", "--sign=signed", flacFile}, {}, 30000);
        EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
        std::string disc = test::readFile(bin);
        EXPECT_TRUE(decoded.out == disc.substr(0, kTrackSectors[0] * kSectorBytes))
            << "the FLAC file's audio is not the track's (" << decoded.out.size() << " bytes)";
        // The log and the CUE sheet beside the files, named after the album.
        std::string log = test::readFile(named("Demo Album.log"));
        EXPECT_NE(log.find("3 of 3 track(s) ripped whole"), std::string::npos) << log;
        EXPECT_NE(log.find("Disc ID: 0e001203"), std::string::npos) << log;
        std::string cue = test::readFile(named("Demo Album.cue"));
        for (const std::string& name : kFileNames)
            EXPECT_NE(cue.find("FILE \"" + named(name).substr(music.path().size() + 1) + "\" WAVE"), std::string::npos)
                << cue;
        // The Vorbis tracks: their titles and lengths, read back by mutagen.
        for (size_t i = 1; i < 3; ++i) {
            test::ProcessResult read = test::runProcess(
                kPython,
                {"-c", "import sys, mutagen; f = mutagen.File(sys.argv[1]); print(f['title'][0]); print(round(f.info.length))",
                 named(kFileNames[i])},
                {}, 20000);
            EXPECT_EQ(read.out, kTitles[i] + "\n" + std::to_string(kTrackSectors[i] / 75) + "\n") << read.err;
        }
    }

    // View > Language: the open submenu, then Japanese (its last row, Up from none) or Esc.
    void languageMenu(const std::string& language, bool chooseJapanese)
    {
        pointerAway();
        Picture before = settle();
        key({"F10", "Right", "Down", "Return"}); // View, Language, its submenu
        save(settle(&before), language + "-menu-language");
        before = shot();
        // Esc closes one level at a time: the submenu, View, then the bar's keyboard navigation.
        key(chooseJapanese ? std::vector<std::string>{"Up", "Return"}
                           : std::vector<std::string>{"Escape", "Escape", "Escape"});
        settle(&before);
    }
};

// Never the internet: the MusicBrainz web service and the cover archive at a refused port
// unless a test names its stand-in.
constexpr char kRefusedWebService[] = "http://127.0.0.1:9";

// The settings a person who chose `language` (its table number) and automatic lookups has, with
// the web service and the cover archive at webService.
inline std::string settingsWith(uint32_t language, const std::string& webService = kRefusedWebService)
{
    settings::SettingsFile file;
    auto key = [](std::u16string_view suffix) {
        WideString path(u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2");
        path.joinKeyPath(suffix);
        return std::u16string(path.view());
    };
    file.setValue(key(u"\\Main"), {u"Lang", settings::SettingsFile::Type::Dword, language, {}});
    file.setValue(key(u"\\FreeDB"), {u"Auto", settings::SettingsFile::Type::Dword, 1, {}});
    std::u16string web(WideString::fromUtf8(webService).view());
    file.setValue(key(u"\\Options"), {u"MusicBrainzServer", settings::SettingsFile::Type::String, 0, web});
    file.setValue(key(u"\\Options"), {u"CoverArtServer", settings::SettingsFile::Type::String, 0, web});
    return file.serialize();
}

// The same two servers written into the settings of the current XDG_CONFIG_HOME.
inline void refuseWebServices()
{
    WideString web = WideString::fromUtf8(kRefusedWebService);
    settings::writeString(product::kProductKey, u"\\Options", u"MusicBrainzServer", web.view());
    settings::writeString(product::kProductKey, u"\\Options", u"CoverArtServer", web.view());
}

} // namespace tonvane::e2e
