// The disc page's matches from a person's seat, on its own X server: two image drives holding
// discs, a MusicBrainz stand-in on 127.0.0.1 with two releases of the first disc and a JPEG
// front cover for one, and the CDDB stand-in. The automatic lookup fills the album box with both
// sources, the cover shows at the page's top-right corner, the drive box lists both drives. In
// English, German and Japanese, each state is written to <build>/screens/ as
// <language>-matches-cover.png, -matches-open.png and -drive-box.png.
#include "windowing/x11/WindowProgramDriver.h"

#include "app/FakeMusicBrainzServer.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace tonvane {
namespace {

using namespace e2e;

// The cover: deep teal with a yellow disc in the middle, 300 x 300.
constexpr uint32_t kCoverTeal = 0x146E82;
constexpr uint32_t kCoverYellow = 0xF0C828;

std::string coverJpeg()
{
    constexpr int kSide = 300;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = kSide;
    info.image_height = kSide;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(kSide * 3);
    while (info.next_scanline < info.image_height) {
        int y = int(info.next_scanline) - kSide / 2;
        for (int x = 0; x < kSide; ++x) {
            int dx = x - kSide / 2;
            uint32_t colour = dx * dx + y * y < 70 * 70 ? kCoverYellow : kCoverTeal;
            row[size_t(x) * 3] = JSAMPLE(colour >> 16);
            row[size_t(x) * 3 + 1] = JSAMPLE((colour >> 8) & 0xFF);
            row[size_t(x) * 3 + 2] = JSAMPLE(colour & 0xFF);
        }
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<char*>(out), size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

inline bool nearish(uint32_t rgb, uint32_t want)
{
    for (int shift : {0, 8, 16})
        if (std::abs(channel(rgb, shift) - channel(want, shift)) > 12)
            return false;
    return true;
}

// The page's parts below the menu bar, from the first row's top (y down): the buttons, the
// album box, the drive box, then the rows 114 pixels below the page's top.
constexpr int32_t kHeaderWithDriveBox = kListTop + 34;
constexpr int32_t kAlbumBoxY = 63; // [pixels] from the page's top to the album box's middle
constexpr int32_t kDriveBoxY = kAlbumBoxY + 34;
constexpr int32_t kCoverBox = 100; // [pixels] the cover with its frame, 8 from the page's corner

TEST_F(WindowProgramEndToEnd, MatchesFromBothSourcesTheCoverAndTheDriveBox)
{
    for (const char* tool : {test::kXvfb, test::kOpenbox, test::kCompositor, test::kXdotool})
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built";
    ASSERT_TRUE(screen.start(true)) << "Xvfb, openbox or xcompmgr did not come up";
    test::writeFile(cue, kCueSheet);
    // A second drive with a disc of two silent tracks.
    std::string secondCue = discFolder.file("second.cue");
    test::writeFile(discFolder.file("second.bin"), std::string(size_t(600) * kSectorBytes, '\0'));
    test::writeFile(secondCue, "FILE \"second.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                               "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n");

    // The first disc's MusicBrainz id, as the program computes it.
    test::ProcessResult identity = test::runProcess(kProgram, {"info", "--drive", "image:" + cue, "--no-lookup"}, {}, 20000);
    size_t at = identity.out.find("MusicBrainz disc ID: ");
    ASSERT_NE(at, std::string::npos) << identity.out << identity.err;
    std::string discId = identity.out.substr(at + 21, 28);
    const char* firstRelease = "70000001-0001-4005-8001-abc000000001";
    test::FakeRelease first{firstRelease, "Morning Suite", "Lena Hartmann", "2018-09-14", "DE", "CD", 1, 1,
                            {"Morning Light", "夜明けの歌", "Part 3: Finale"}};
    test::FakeRelease second{"70000002-0002-4005-8002-abc000000002", "Morning Suite (Deluxe)", "Lena Hartmann",
                             "2020", "", "Enhanced CD", 1, 2, {"Morning Light", "夜明けの歌", "Finale (2020 mix)"}};
    test::FakeHttpServer web(test::musicBrainzReplies(discId, {first, second}, firstRelease, coverJpeg()));

    struct Language {
        const char* name;
        uint32_t id; // the language table's number
    };
    int lookups = 0;
    for (Language language : {Language{"en", 1}, Language{"de", 3}, Language{"ja", 5}}) {
        SCOPED_TRACE(language.name);
        test::TempDir home, cache;
        std::filesystem::create_directories(home.path() + "/tonvane");
        test::writeFile(home.path() + "/tonvane/settings.reg", settingsWith(language.id, web.url()));
        std::vector<std::string> environment{"DISPLAY=" + screen.display(), "XDG_CONFIG_HOME=" + home.path(),
                                             "XDG_CACHE_HOME=" + cache.path(), "XDG_MUSIC_DIR=" + music.path(),
                                             "TONVANE_UPDATE_HOST=127.0.0.1:9", "TONVANE_FOLDER_CHOOSER=own"};
        ASSERT_TRUE(launch({"--drive", "image:" + cue, "--drive", "image:" + secondCue, "--server",
                            "127.0.0.1:" + std::to_string(cddb->port())},
                           environment));
        ++lookups;
        EXPECT_TRUE(test::Screen::waitFor([&] { return cddb->lookups() == lookups; }, 15000)) << "no automatic lookup";
        // The cover comes after the lookup: the rows are found once it shows.
        Picture shown = waitForShot(
            [this](const Picture& p) {
                int32_t coverLeft = left + kContentWidth - 8 - kCoverBox;
                return rows(p).has_value()
                    && p.count(coverLeft, top, coverLeft + kCoverBox, top + 200,
                               [](uint32_t rgb) { return nearish(rgb, kCoverTeal); }) > 3000;
            },
            20000, "no cover on the disc page");
        std::optional<Rows> r = rows(shown);
        ASSERT_TRUE(r);
        shown = settle();
        save(shown, std::string(language.name) + "-matches-cover");
        int32_t pageTop = r->tops[0] - kHeaderWithDriveBox;
        int32_t pageLeft = r->left();
        // The cover at the page's top-right corner, scaled whole: teal around, the yellow disc
        // in the middle; and above the first row.
        int32_t coverLeft = pageLeft + kContentWidth - 8 - kCoverBox, coverTop = pageTop + 8;
        int32_t teal = shown.count(coverLeft, coverTop, coverLeft + kCoverBox, coverTop + kCoverBox,
                                   [](uint32_t rgb) { return nearish(rgb, kCoverTeal); });
        int32_t yellow = shown.count(coverLeft, coverTop, coverLeft + kCoverBox, coverTop + kCoverBox,
                                     [](uint32_t rgb) { return nearish(rgb, kCoverYellow); });
        // 96 x 96: the disc of radius 70 / 300 x 96 = 22.4 covers about 1 570 pixels, teal the rest.
        EXPECT_GT(teal, 6500) << "the cover's background";
        EXPECT_GT(yellow, 1300) << "the cover's disc";
        EXPECT_LT(yellow, 1800) << "the cover's disc";
        EXPECT_LE(coverTop + kCoverBox, r->tops[0]) << "the cover reaches into the rows";
        EXPECT_EQ(web.asked("/release/"), size_t(lookups)) << "one cover request per lookup";

        // The album box open: the two releases marked MB, then the CDDB match.
        Picture before = shot();
        click(pageLeft + 200, pageTop + kAlbumBoxY);
        Picture open = settle(&before);
        EXPECT_NE(open.pixels, before.pixels) << "the album box did not open";
        save(open, std::string(language.name) + "-matches-open");
        before = open;
        key({"Escape"});
        settle(&before);

        // The drive box open: both drives.
        before = shot();
        click(pageLeft + 200, pageTop + kDriveBoxY);
        open = settle(&before);
        EXPECT_NE(open.pixels, before.pixels) << "the drive box did not open";
        save(open, std::string(language.name) + "-drive-box");
        before = open;
        key({"Escape"});
        settle(&before);
        pointerAway();
        closeProgram();
    }
}

} // namespace
} // namespace tonvane
