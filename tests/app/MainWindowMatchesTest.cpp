// The disc page's matches on the headless backend: a MusicBrainz stand-in with two releases and
// a cover beside the CDDB stand-in; the album box's entries in order with their labels and
// source marks, its rule of one (MusicBrainz) or two (CDDB alone), what applying a match writes
// into the tracks, the cover on the page and in the files, stale lookups dropped; the drive box
// with two image drives.
#include "FakeCddbServer.h"
#include "FakeMusicBrainzServer.h"
#include "MainWindowFixture.h"
#include "core/disc/EncoderFormat.h"
#include "core/settings/SettingsDefaults.h"
#include "session/DiscLookup.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <jpeglib.h>
#include <thread>

namespace tonvane {
namespace {

struct MainWindowMatches : test::MainWindowFixture {
    // Runs the window's messages until done() or the time is up.
    template <typename Done>
    bool pumpUntil(Done done, int seconds = 20)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            Message message;
            if (ui.peekMessage(message))
                ui.dispatch(message);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }
    void englishWithoutAuto()
    {
        settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
        settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    }
    // The window's last picture at a content point (y up from the content's bottom), as 0xRRGGBB.
    uint32_t shownPixel(int32_t x, int32_t y)
    {
        const HeadlessBackend::WindowRecord& record = backend.window(window->id());
        int32_t yDown = window->marginTop() + window->height() - 1 - y;
        return record.pixel(window->marginLeft() + x, yDown) & 0xFFFFFF;
    }
};

// A solid colour picture, w x h, as a JPEG.
std::vector<uint8_t> solidJpeg(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row;
    for (int x = 0; x < width; ++x)
        row.insert(row.end(), {r, g, b});
    while (info.next_scanline < info.image_height) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

const char kFirstRelease[] = "60000001-0001-4005-8001-abc000000001";
const char kSecondRelease[] = "60000002-0002-4005-8002-abc000000002";

// Two releases of the demo disc: the first with a country and a cover, the second a reissue
// without a country, on the first of two discs, whose cover the archive does not have.
std::map<std::string, test::FakeHttpServer::Reply> demoReleases(const std::vector<uint8_t>& cover)
{
    DiscIdentity identity;
    EXPECT_TRUE(identifyDisc("demo:", identity));
    test::FakeRelease first{kFirstRelease, "Harbour Lights", "Nadia Ko", "2019-04-02", "GB", "CD", 1, 1,
                            {"North", "East", "South", "West"}};
    test::FakeRelease second{kSecondRelease, "Harbour Lights", "Nadia Ko", "2021", "", "Enhanced CD", 1, 2,
                             {"North (2021)", "East (2021)", "South (2021)", "West (2021)"}};
    return test::musicBrainzReplies(identity.musicBrainzId, {first, second}, kFirstRelease,
                                    std::string(cover.begin(), cover.end()));
}

std::u16string text(const WideString& value) { return std::u16string(value.view()); }

TEST_F(MainWindowMatches, BothSourcesAreListedLabelledAndEachChoiceFillsTheTracksAndTheCover)
{
    std::vector<uint8_t> cover = solidJpeg(200, 150, 200, 40, 40);
    test::FakeHttpServer web(demoReleases(cover));
    test::FakeCddbServer cddb({"Alpha", "Beta", "Gamma", "Delta"});
    server = "127.0.0.1:" + std::to_string(cddb.port());
    runOptions.musicBrainzServer = web.url();
    runOptions.coverArtServer = web.url();
    englishWithoutAuto();
    open();
    ASSERT_EQ(content->page(), MainContent::Page::Disc);
    DiscPage& page = content->discPage();
    click(page.lookupButton(), 70, 12);
    ASSERT_TRUE(pumpUntil([&] { return !page.lookingUp() && !page.fetchingCover(); }));
    EXPECT_EQ(cddb.lookups(), 1);
    EXPECT_EQ(content->statusBar().paneText(0), uiText(kTextDownloadComplete).view());

    // MusicBrainz first, in its order; then CDDB. Each told apart by year, country or format, disc.
    ASSERT_EQ(page.matchCount(), 3);
    const MatchList& list = *page.matches().list();
    std::u16string labels[] = {u"Nadia Ko / Harbour Lights (2019, GB)",
                               u"Nadia Ko / Harbour Lights (2021, Enhanced CD, disc 1/2)",
                               u"Demo Artist / Demo Album (2024)"};
    std::u16string badges[] = {u"MB", u"MB", u"CDDB"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(MatchBox::label(list, i), labels[i]) << i;
        EXPECT_EQ(MatchBox::badge(list, i), badges[i]) << i;
    }
    EXPECT_TRUE(page.albumBox().isInteractive());
    EXPECT_EQ(page.albumBox().chosen(), 0);

    // The first release applied: titles, album artist, year, disc, ids, and its cover.
    const TrackEntry& first = page.job().tracks[0];
    EXPECT_EQ(text(first.title), u"North");
    EXPECT_EQ(text(page.job().tracks[3].title), u"West");
    EXPECT_EQ(text(first.tags.albumArtist), u"Nadia Ko");
    EXPECT_EQ(text(first.tags.year), u"2019-04-02");
    EXPECT_EQ(text(first.tags.discNumber), u"1");
    EXPECT_EQ(text(first.tags.musicBrainzAlbumId), u"60000001-0001-4005-8001-abc000000001");
    EXPECT_FALSE(first.tags.musicBrainzRecordingId.view().empty());
    ASSERT_TRUE(first.tags.cover);
    EXPECT_EQ(first.tags.cover->bytes, cover) << "the files get the archive's bytes";
    EXPECT_EQ(page.job().tracks[3].tags.cover, first.tags.cover);
    ASSERT_TRUE(page.coverView().showing());
    EXPECT_EQ(page.coverView().picture()->width, 96);
    EXPECT_EQ(page.coverView().picture()->height, 72);
    // On the screen: the cover's red at its centre, the rows below it, the album box left of it.
    window->repaint();
    IntRect shown = page.coverView().windowRect();
    uint32_t centre = shownPixel((shown.x0 + shown.x1) / 2, (shown.y0 + shown.y1) / 2);
    EXPECT_NEAR(int(centre >> 16), 200, 6);
    EXPECT_NEAR(int((centre >> 8) & 0xFF), 40, 6);
    EXPECT_NEAR(int(centre & 0xFF), 40, 6);
    EXPECT_LE(page.trackList().windowRect().y1, shown.y0) << "the cover overlaps the rows";
    EXPECT_LE(page.albumBox().windowRect().x1, shown.x0) << "the cover overlaps the album box";

    // The CDDB entry: its titles, and no cover (the last one is not carried over).
    page.albumBox().choose(2);
    EXPECT_EQ(text(first.title), u"Alpha");
    EXPECT_FALSE(first.tags.cover);
    EXPECT_FALSE(page.coverView().showing());
    EXPECT_GE(page.trackList().windowRect().y1, page.albumBox().windowRect().y0 - 20) << "the rows move back up";

    // The reissue: disc 1 of 2; the archive has no cover for it (asked once, not again).
    page.albumBox().choose(1);
    ASSERT_TRUE(pumpUntil([&] { return !page.fetchingCover(); }));
    EXPECT_EQ(text(first.title), u"North (2021)");
    EXPECT_EQ(text(first.tags.discTotal), u"2");
    EXPECT_EQ(text(first.tags.year), u"2021");
    EXPECT_FALSE(first.tags.cover);
    EXPECT_FALSE(page.coverView().showing());
    // Back to the first: its cover comes from what was fetched, without a new request.
    size_t coverRequests = web.asked("/release/");
    page.albumBox().choose(0);
    EXPECT_TRUE(page.coverView().showing());
    ASSERT_TRUE(first.tags.cover);
    EXPECT_EQ(web.asked("/release/"), coverRequests);
    EXPECT_EQ(web.asked(std::string("/release/") + kSecondRelease), 1u);
}

// One MusicBrainz release is a choice to offer; CDDB alone needs two, as before.
TEST_F(MainWindowMatches, TheAlbumBoxOpensFromOneMusicBrainzMatchOrTwoFromCddb)
{
    DiscIdentity identity;
    ASSERT_TRUE(identifyDisc("demo:", identity));
    test::FakeRelease only{kFirstRelease, "Harbour Lights", "Nadia Ko", "2019", "GB", "CD", 1, 1, {"N", "E", "S", "W"}};
    test::FakeHttpServer web(test::musicBrainzReplies(identity.musicBrainzId, {only}, {}, {}));
    struct Case {
        const char* what;
        bool musicBrainz; // the stand-in answers (else a refused port)
        bool cddb;
        int32_t matches;
        bool choosable;
    };
    for (Case c : {Case{"one MusicBrainz release", true, false, 1, true},
                   Case{"one CDDB match", false, true, 1, false},
                   Case{"one of each", true, true, 2, true}}) {
        SCOPED_TRACE(c.what);
        test::FakeCddbServer cddb({"Alpha", "Beta", "Gamma", "Delta"});
        server = c.cddb ? "127.0.0.1:" + std::to_string(cddb.port()) : "127.0.0.1:9";
        runOptions.musicBrainzServer = c.musicBrainz ? web.url() : "http://127.0.0.1:9";
        englishWithoutAuto();
        open();
        DiscPage& page = content->discPage();
        click(page.lookupButton(), 70, 12);
        ASSERT_TRUE(pumpUntil([&] { return !page.lookingUp(); }));
        EXPECT_EQ(page.matchCount(), c.matches);
        EXPECT_EQ(page.albumBox().isInteractive(), c.choosable);
        EXPECT_EQ(content->statusBar().paneText(0), uiText(kTextDownloadComplete).view());
        content->stopWorkers();
        window.reset();
        content.reset();
    }
}

// Neither source answers: the design's connection error, the titles kept, the buttons back.
TEST_F(MainWindowMatches, NoSourceAnsweringIsAConnectionErrorAndAStaleListIsDropped)
{
    englishWithoutAuto();
    open();
    DiscPage& page = content->discPage();
    click(page.lookupButton(), 70, 12);
    EXPECT_TRUE(page.lookingUp());
    EXPECT_EQ(content->statusBar().paneText(0), uiText(kTextConnecting).view());
    ASSERT_TRUE(pumpUntil([&] { return !page.lookingUp(); }));
    EXPECT_EQ(content->statusBar().paneText(0), uiText(kTextConnectError).view());
    EXPECT_EQ(page.matchCount(), 0);
    EXPECT_TRUE(page.lookupButton().isInteractive());
    EXPECT_TRUE(page.job().tracks[0].title.view().empty());

    // A list that arrives for an earlier generation changes nothing.
    auto stale = std::make_shared<MatchList>();
    stale->anySourceAnswered = true;
    stale->cddb.ok = true;
    stale->cddb.matchTitles = {"Old / Disc"};
    stale->cddb.matchYears = {""};
    stale->entries.push_back({false, 0});
    page.lookupFinished(page.lookupGeneration() - 1, stale);
    EXPECT_EQ(page.matchCount(), 0);
    EXPECT_EQ(content->statusBar().paneText(0), uiText(kTextConnectError).view());
}

// The CDDB half's steps show in the status bar as its client reports them; a step reported for
// an earlier lookup shows nothing.
TEST_F(MainWindowMatches, TheCddbStepsShowAsTheyHappen)
{
    test::FakeCddbServer cddb({"Alpha", "Beta", "Gamma", "Delta"});
    cddb.hold(true); // connected (the listen queue takes it), never greeted
    server = "127.0.0.1:" + std::to_string(cddb.port());
    englishWithoutAuto();
    open();
    DiscPage& page = content->discPage();
    StatusBar& status = content->statusBar();
    click(page.lookupButton(), 70, 12);
    ASSERT_TRUE(pumpUntil([&] { return status.paneText(0) == uiText(kTextConnected).view(); }));
    page.lookupStep(page.lookupGeneration() - 1, 5);
    EXPECT_EQ(status.paneText(0), uiText(kTextConnected).view()) << "a step of an earlier lookup";
    page.lookupStep(page.lookupGeneration(), 5);
    EXPECT_EQ(status.paneText(0), uiText(kTextReceiving).view());
    cddb.hold(false);
    ASSERT_TRUE(pumpUntil([&] { return !page.lookingUp(); }, 60));
    EXPECT_EQ(status.paneText(0), uiText(kTextDownloadComplete).view());
    EXPECT_EQ(text(page.job().tracks[0].title), u"Alpha");
}

// The cover of the chosen release goes into the FLAC file as its front cover picture.
TEST_F(MainWindowMatches, TheConvertedFileCarriesTheChosenReleasesCover)
{
    if (!std::filesystem::exists("/usr/bin/metaflac"))
        GTEST_SKIP() << "metaflac is not installed (tools/install-deps.sh installs it)";
    std::vector<uint8_t> cover = solidJpeg(120, 120, 30, 90, 200);
    test::FakeHttpServer web(demoReleases(cover));
    runOptions.musicBrainzServer = web.url();
    runOptions.coverArtServer = web.url();
    englishWithoutAuto();
    open();
    DiscPage& page = content->discPage();
    click(page.lookupButton(), 70, 12);
    ASSERT_TRUE(pumpUntil([&] { return !page.lookingUp() && !page.fetchingCover(); }));
    ASSERT_TRUE(page.job().tracks[0].tags.cover);
    for (int32_t i = 0; i < page.job().count; ++i)
        page.job().tracks[size_t(i)].selected = i == 0 ? 1 : 0;
    page.job().tracks[0].format = kFormatFlac;
    test::TempDir music;
    ASSERT_TRUE(page.startConversionIn(music.path()));
    ASSERT_TRUE(pumpUntil([&] { return !page.converting(); }, 120));
    std::string file = music.path() + "/01 - North.flac";
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    std::string picture = music.path() + "/picture.jpg";
    test::ProcessResult exported
        = test::runProcess("/usr/bin/metaflac", {"--export-picture-to=" + picture, file}, {}, 20000);
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    std::string bytes = test::readFile(picture);
    EXPECT_TRUE(bytes == std::string(cover.begin(), cover.end())) << "the file's picture is not the cover";
    test::ProcessResult blocks = test::runProcess("/usr/bin/metaflac", {"--list", "--block-type=PICTURE", file}, {}, 20000);
    EXPECT_NE(blocks.out.find("type: 3 (Cover (front))"), std::string::npos) << blocks.out;
    EXPECT_TRUE(test::readFile(music.path() + "/cover.jpg") == std::string(cover.begin(), cover.end()))
        << "the cover is kept beside the files";
    // A cover.jpg of the person's own is never replaced.
    test::TempDir own;
    test::writeFile(own.path() + "/cover.jpg", "mine");
    ASSERT_TRUE(page.startConversionIn(own.path()));
    ASSERT_TRUE(pumpUntil([&] { return !page.converting(); }, 120));
    EXPECT_EQ(test::readFile(own.path() + "/cover.jpg"), "mine");
}

// Two image drives with discs: the drive box lists both and loads the one chosen; when a drive
// goes, the box goes with it.
TEST_F(MainWindowMatches, TheDriveBoxChoosesAmongDrivesHoldingADisc)
{
    test::TempDir discs;
    std::string bin = discs.path() + "/second.bin";
    std::string cue = discs.path() + "/second.cue";
    test::writeFile(bin, std::string(size_t(600) * 2352, '\x11'));
    test::writeFile(cue, "FILE \"second.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                         "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n");
    std::string image = "image:" + cue;
    drives.imageDrives = {"demo:", image};
    englishWithoutAuto();
    open();
    ASSERT_EQ(content->page(), MainContent::Page::Disc);
    DiscPage& page = content->discPage();
    DriveBox& box = page.driveBox();
    EXPECT_EQ(page.drivePath(), "demo:") << "the first drive holding a disc is shown";
    ASSERT_EQ(box.drives(), (std::vector<std::string>{"demo:", image}));
    EXPECT_TRUE(box.visibleInWindow());
    EXPECT_TRUE(box.box().isInteractive());
    EXPECT_EQ(box.box().chosen(), 0);
    EXPECT_EQ(DriveBox::driveLabel(image), u"second.cue");
    // Above the rows, below the album box.
    EXPECT_LE(page.trackList().windowRect().y1, box.windowRect().y0);
    EXPECT_LE(box.windowRect().y1, page.albumBox().windowRect().y0);

    box.box().choose(1);
    settle();
    EXPECT_EQ(page.drivePath(), image);
    EXPECT_EQ(page.job().count, 2);
    EXPECT_EQ(box.box().chosen(), 1);

    // The second drive's disc goes: the first drive's disc is shown again, and the box hides.
    content->onMediaRemoved(image);
    settle();
    EXPECT_EQ(content->page(), MainContent::Page::Disc);
    EXPECT_EQ(page.drivePath(), "demo:");
    EXPECT_EQ(page.job().count, 4);
    EXPECT_FALSE(box.visibleInWindow());
    EXPECT_GE(page.trackList().windowRect().y1, page.albumBox().windowRect().y0 - 20) << "the rows move back up";
}

} // namespace
} // namespace tonvane
