// The window program's main window on the headless backend: the first-run language page, the
// drive scan that finds the demo disc, the track rows' check boxes and logos, media removal.
#include "app/window/EncoderPropertiesDialog.h"
#include "app/window/FolderDialog.h"
#include "app/window/MainContent.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "controls/label/Label.h"
#include "controls/theme/ControlTheme.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "FakeCddbServer.h"
#include "support/TempDir.h"
#include "windowing/headless/HeadlessBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/window/LayeredWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <optional>
#include <thread>

namespace tonvane {
namespace {

struct MainWindow : ::testing::Test {
    test::TempDir config;
    test::TempDir noDrives; // an empty /sys/block: no real drives
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", config.path().c_str()};
    HeadlessBackend backend;
    UiThread ui{backend};
    ControlTheme theme;
    std::unique_ptr<MainContent> content;
    std::unique_ptr<LayeredWindow> window;

    void SetUp() override
    {
        backend.setWorkArea({0, 0, 1280, 1000});
        setControlTheme(&theme);
    }
    void TearDown() override
    {
        if (content)
            content->stopWorkers();
        window.reset();
        content.reset();
        setControlTheme(nullptr);
    }
    std::string server = "127.0.0.1:9"; // never the internet: a refused port
    std::optional<std::string> folderAnswer; // what the folder chooser answers
    std::string offeredFolder;

    void open()
    {
        MainContent::Options options;
        options.drives.sysfsRoot = noDrives.path();
        options.drives.imageDrives = {"demo:"};
        options.watchMedia = false;
        options.tutorialsBalloon = false;
        options.chooseFolder = [this](const std::string& start) {
            offeredFolder = start;
            return folderAnswer;
        };
        options.server = server;
        content = std::make_unique<MainContent>(options);
        LayeredWindow::Config c;
        c.renderBands = 1;
        window = std::make_unique<LayeredWindow>(ui, *content, c);
        ASSERT_TRUE(window->create(100, 100, 750, 550));
        content->start(*window);
        window->repaint();
    }
    // A left click at a content point of a widget (x from its left, y up from its bottom).
    void click(const Widget& widget, int32_t x, int32_t y, uint32_t keys = 0)
    {
        IntRect r = widget.windowRect();
        for (uint32_t message : {msg::WM_MOUSEMOVE, msg::WM_LBUTTONDOWN, msg::WM_LBUTTONUP}) {
            Message event{window->id(), message, keys};
            event.x = window->marginLeft() + r.x0 + x;
            event.y = window->marginTop() + window->height() - (r.y0 + y);
            ui.dispatch(event);
        }
    }
};

TEST_F(MainWindow, FirstRunChoosesALanguageThenFindsTheDisc)
{
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    EXPECT_EQ(content->page(), MainContent::Page::Language);
    EXPECT_EQ(content->discPage().job().count, 0) << "no drive is touched before a language is chosen";
    ASSERT_EQ(content->languagePage().buttons().size(), 8u);
    // "English" is the second button of the top row.
    click(*content->languagePage().buttons()[1], 80, 24);
    EXPECT_EQ(currentLanguage(), kEnglish);
    uint32_t stored = 0;
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, stored));
    EXPECT_EQ(stored, uint32_t(kEnglish));
    EXPECT_EQ(content->page(), MainContent::Page::Disc);
    EXPECT_EQ(content->discPage().job().count, 4);
    EXPECT_EQ(content->discPage().trackList().itemCount(), 4);
    // Loading the disc enabled Convert and Consult FreeDB in the menus.
    EXPECT_TRUE(findMenuEntry(content->menuBar().tree(), kTextConvert)->enabled);
    EXPECT_TRUE(findMenuEntry(content->menuBar().tree(), kTextConsultFreeDb)->enabled);
    EXPECT_FALSE(findMenuEntry(content->menuBar().tree(), kTextOptions)->enabled);
}

TEST_F(MainWindow, RowCheckBoxesLogosAndMediaRemoval)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    ASSERT_EQ(content->page(), MainContent::Page::Disc);
    DiscPage& page = content->discPage();
    ItemList& list = page.trackList();
    ConversionJob& job = page.job();
    // Row 0's check box, then Ctrl on row 2's: every row takes the clicked row's new state.
    IntRect row0 = list.itemRect(0);
    click(list, row0.x0 + 80, row0.y0 + 38);
    EXPECT_EQ(job.tracks[0].selected, 0);
    EXPECT_EQ(job.tracks[1].selected, 1);
    IntRect row2 = list.itemRect(2);
    click(list, row2.x0 + 80, row2.y0 + 38, 0);
    EXPECT_EQ(job.tracks[2].selected, 0);
    backend.setModifiers(mod::kCtrl);
    click(list, row2.x0 + 80, row2.y0 + 38, 0);
    for (int32_t i = 0; i < job.count; ++i)
        EXPECT_EQ(job.tracks[size_t(i)].selected, 1) << i;
    // A logo click advances the format; with Ctrl every row and the stored default follow.
    backend.setModifiers(0);
    int32_t before = job.tracks[1].format;
    IntRect row1 = list.itemRect(1);
    click(list, row1.x0 + 30, row1.y0 + 30);
    EXPECT_EQ(job.tracks[1].format, (before + 1) % 4);
    EXPECT_EQ(job.tracks[0].format, before);
    backend.setModifiers(mod::kCtrl);
    click(list, row1.x0 + 30, row1.y0 + 30);
    for (int32_t i = 0; i < job.count; ++i)
        EXPECT_EQ(job.tracks[size_t(i)].format, (before + 2) % 4) << i;
    uint32_t stored = 99;
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueDefaultFormat, stored));
    EXPECT_EQ(stored, uint32_t((before + 2) % 4));
    backend.setModifiers(0);

    // Removal of another drive changes nothing; of the loaded one, back to the insert page.
    content->onMediaRemoved("image:/elsewhere.cue");
    EXPECT_EQ(content->page(), MainContent::Page::Disc);
    content->onMediaRemoved("demo:");
    EXPECT_EQ(content->page(), MainContent::Page::InsertDisc);
    EXPECT_TRUE(content->insertDiscPage().animating());
    EXPECT_FALSE(findMenuEntry(content->menuBar().tree(), kTextConvert)->enabled);
    content->onMediaArrived("demo:");
    EXPECT_EQ(content->page(), MainContent::Page::Disc);
    EXPECT_FALSE(content->insertDiscPage().animating());
}

// Runs the window's messages until done() or the time is up.
template <typename Done>
bool pumpUntil(UiThread& ui, Done done, int seconds = 10)
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

// "Auto" missing: the first disc stores it as 1 and is not looked up; the next disc is. An
// arrival that names the disc already shown (the scan found it before the watcher did) changes
// nothing.
TEST_F(MainWindow, FirstDiscOfAFreshInstallIsNotLookedUpTheNextIs)
{
    test::FakeCddbServer cddb({"Alpha", "Beta", "Gamma", "Delta"});
    server = "127.0.0.1:" + std::to_string(cddb.port());
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    open();
    ASSERT_EQ(content->page(), MainContent::Page::Disc);
    DiscPage& page = content->discPage();
    EXPECT_FALSE(page.lookingUp());
    uint32_t stored = 0;
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, stored));
    EXPECT_EQ(stored, 1u);

    page.job().tracks[0].format = kFormatWav;
    content->onMediaArrived("demo:");
    EXPECT_FALSE(page.lookingUp());
    EXPECT_EQ(page.job().tracks[0].format, kFormatWav) << "the disc shown was loaded again";

    content->onMediaRemoved("demo:");
    content->onMediaArrived("demo:");
    EXPECT_TRUE(page.lookingUp());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !page.lookingUp(); }));
    EXPECT_EQ(cddb.lookups(), 1);
    EXPECT_EQ(page.job().tracks[0].title.view(), u"Alpha");
}

TEST_F(MainWindow, ConsultFreeDbFillsTheTitlesAndReportsEachStep)
{
    test::FakeCddbServer cddb({"Alpha", "Beta", "Gamma", "Delta"});
    server = "127.0.0.1:" + std::to_string(cddb.port());
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    ASSERT_EQ(content->page(), MainContent::Page::Disc);
    DiscPage& page = content->discPage();
    click(page.lookupButton(), 70, 12);
    EXPECT_FALSE(findMenuEntry(content->menuBar().tree(), kTextConvert)->enabled) << "off while looking up";
    EXPECT_FALSE(page.lookupButton().isInteractive());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !page.lookingUp(); }));
    EXPECT_EQ(cddb.lookups(), 1);
    EXPECT_EQ(page.job().tracks[0].title.view(), u"Alpha");
    EXPECT_EQ(page.job().tracks[3].title.view(), u"Delta");
    EXPECT_EQ(content->statusBar().paneText(0), uiText(kTextDownloadComplete).view());
    EXPECT_EQ(page.matchCount(), 1);
    EXPECT_FALSE(page.albumBox().isInteractive()) << "one match keeps the album box disabled";
    EXPECT_TRUE(page.lookupButton().isInteractive());
    EXPECT_TRUE(findMenuEntry(content->menuBar().tree(), kTextConvert)->enabled);

    // A server that refuses: "Error connecting to FreeDB", the buttons back, the titles kept.
    server = "127.0.0.1:9";
    content->stopWorkers();
    window.reset();
    content.reset();
    open();
    DiscPage& again = content->discPage();
    click(again.lookupButton(), 70, 12);
    ASSERT_TRUE(pumpUntil(ui, [&] { return !again.lookingUp(); }));
    EXPECT_EQ(content->statusBar().paneText(0), uiText(kTextConnectError).view());
    EXPECT_TRUE(again.lookupButton().isInteractive());
}

TEST_F(MainWindow, PropertiesDialogStoresChoicesAsTheyAreMadeAndCancelChangesNoTrack)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, settings::kValueFlacQuality, 5);
    open();
    EncoderPropertiesDialog dialog(*window, 1, -1);
    EXPECT_EQ(dialog.qualityBox().rowCount(), 12) << "Vorbis";
    uint32_t value = 0;
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueApplyAll, value));
    EXPECT_EQ(value, 1u) << "missing ApplyAll is written as 1";
    EXPECT_TRUE(dialog.applyToAll());

    // FLAC: eight rows with its stored quality; WAV: one disabled row, no quality stored.
    dialog.formatBox().choose(2);
    EXPECT_EQ(dialog.qualityBox().rowCount(), 8);
    EXPECT_EQ(dialog.qualityBox().chosen(), 5);
    dialog.formatBox().choose(3);
    EXPECT_EQ(dialog.qualityBox().rowCount(), 1);
    EXPECT_FALSE(dialog.qualityBox().isInteractive());
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueDefaultFormat, value));
    EXPECT_EQ(value, 3u);
    dialog.qualityBox().choose(0);
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueFlacQuality, value));
    EXPECT_EQ(value, 5u) << "WAV stores no quality";

    // ApplyAll toggled is stored at once; Cancel then sets result 1.
    dialog.applyAllBox().onMouse(MouseAction::LeftDown, 4, 4);
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueApplyAll, value));
    EXPECT_EQ(value, 0u);
    dialog.cancelButton().onMouse(MouseAction::LeftDown, 10, 10);
    dialog.cancelButton().onMouse(MouseAction::LeftUp, 10, 10);
    EXPECT_EQ(dialog.result, EncoderPropertiesDialog::kCancel);
    for (int32_t i = 0; i < content->discPage().job().count; ++i)
        EXPECT_EQ(content->discPage().job().tracks[size_t(i)].format, 1) << "no track changed";
}

// Esc is Cancel and Return OK (Cancel when that button has the focus); the folder chooser takes
// the folder on Return and nothing on Esc.
TEST_F(MainWindow, DialogKeysEscDismissesReturnAccepts)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    struct Case {
        uint32_t key;
        bool cancelFocused;
        int32_t result;
    };
    for (Case c : {Case{vk::VK_ESCAPE, false, EncoderPropertiesDialog::kCancel}, Case{vk::VK_RETURN, false, EncoderPropertiesDialog::kOk},
                   Case{vk::VK_RETURN, true, EncoderPropertiesDialog::kCancel}}) {
        EncoderPropertiesDialog dialog(*window, 1, -1);
        dialog.result = -1;
        if (c.cancelFocused)
            dialog.cancelButton().takeFocus();
        dialog.keyDown(c.key);
        EXPECT_EQ(dialog.result, c.result) << c.key << (c.cancelFocused ? " on Cancel" : "");
    }
    test::TempDir start;
    for (auto [key, accepted] : {std::pair{vk::VK_RETURN, true}, std::pair{vk::VK_ESCAPE, false}}) {
        FolderDialog chooser(*window, start.path());
        chooser.keyDown(key);
        EXPECT_EQ(chooser.accepted, accepted) << key;
        EXPECT_EQ(chooser.folder(), start.path());
    }
}

// A row's encoder link is underlined while hovered; the dialog it opens (closed here with Esc,
// which the modal loop hands to the dialog) takes the underline with it.
TEST_F(MainWindow, TheLinkUnderlineEndsWithItsDialog)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    DiscPage& page = content->discPage();
    ItemList& list = page.trackList();
    const LinkRect& link = page.job().tracks[0].link;
    ASSERT_TRUE(link.set);
    IntRect row = list.itemRect(0);
    int32_t x = row.x0 + link.left + 4, y = row.y0 + (link.bottom + link.top) / 2;
    IntRect r = list.windowRect();
    Message move{window->id(), msg::WM_MOUSEMOVE, 0};
    move.x = window->marginLeft() + r.x0 + x;
    move.y = window->marginTop() + window->height() - (r.y0 + y);
    ui.dispatch(move);
    EXPECT_EQ(page.hoveredRow(), 0);
    backend.inject(Message{window->id(), msg::WM_KEYDOWN, vk::VK_ESCAPE});
    click(list, x, y);
    EXPECT_EQ(page.hoveredRow(), -1);
    EXPECT_EQ(page.job().tracks[0].format, 1) << "Esc is Cancel: the row keeps its format";
}

TEST_F(MainWindow, AfterAnUpdateOnlyOurOwnDownloadIsDeletedAndTheValueGoesEitherWay)
{
    test::TempDir cache;
    test::ScopedEnv cacheHome("XDG_CACHE_HOME", cache.path().c_str());
    std::filesystem::create_directories(cache.path() + "/tonvane");
    std::string installer = cache.path() + "/tonvane/tonvane-setup.run";
    std::string elsewhere = config.path() + "/precious.txt";
    std::vector<std::string> opened;
    setAddressOpener([&](const std::string& address) { opened.push_back(address); });
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    for (const std::string& path : {installer, elsewhere}) {
        test::writeFile(path, "bytes");
        ASSERT_TRUE(settings::writeUpdateFileValue(product::kProductKey, WideString::fromUtf8(path).view()));
        open();
        WideString left;
        EXPECT_FALSE(settings::readString(product::kProductKey, u"", settings::kValueDeleteUpdateFile, left));
        EXPECT_EQ(std::filesystem::exists(path), path == elsewhere) << path;
        content->stopWorkers();
        window.reset();
        content.reset();
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"https://tonvane.org/", "https://tonvane.org/"}));
    setAddressOpener(nullptr);
}

TEST_F(MainWindow, TheTutorialsBalloonRisesHoldsAndSinks)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    TutorialsBalloon& balloon = content->balloon();
    balloon.start(ui, window->id());
    balloon.stop(); // the steps below stand in for the 40 ms ticks
    EXPECT_EQ(balloon.bottom(), -TutorialsBalloon::kHeight) << "starts just below the page area";
    EXPECT_TRUE(balloon.style() & 0x4);
    for (int i = 0; i < 25; ++i)
        balloon.step();
    EXPECT_EQ(balloon.bottom(), 16);
    EXPECT_NEAR(balloon.opacity(), 1.0, 1e-9);
    EXPECT_EQ(balloon.left(), balloon.parent()->width() - TutorialsBalloon::kWidth - 16);
    for (int i = 0; i < 500; ++i) // 20 s held
        balloon.step();
    EXPECT_EQ(balloon.bottom(), 16);
    for (int i = 0; i < 24; ++i)
        balloon.step();
    EXPECT_NEAR(balloon.opacity(), 0.04, 1e-9);
    balloon.step();
    EXPECT_FALSE(balloon.style() & 0x4) << "hidden after sinking";
}

TEST_F(MainWindow, ConvertAsksForTheFolderStoresItAndCancelStartsNothing)
{
    test::TempDir music;
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    test::ScopedEnv musicDir("XDG_MUSIC_DIR", music.path().c_str());
    open();
    content->onCommand(3); // cancelled
    EXPECT_EQ(offeredFolder, music.path()) << "no Path stored: the music folder is offered";
    EXPECT_FALSE(content->discPage().converting());
    WideString stored;
    EXPECT_FALSE(settings::readString(product::kProductKey, settings::kEncodersKey, settings::kValuePath, stored));

    folderAnswer = music.path() + "/rips";
    content->onCommand(3);
    EXPECT_TRUE(settings::readString(product::kProductKey, settings::kEncodersKey, settings::kValuePath, stored));
    EXPECT_EQ(stored.toUtf8(), music.path() + "/rips/");
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->discPage().converting(); }, 120));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(music.path() + "/rips"))
        files += entry.path().extension() == ".ogg";
    EXPECT_EQ(files, 4u);
    content->onCommand(3);
    EXPECT_EQ(offeredFolder, music.path() + "/rips/") << "the stored Path is offered next time";
    pumpUntil(ui, [&] { return !content->discPage().converting(); }, 120);
}

TEST_F(MainWindow, ADiscArrivingDuringAConversionWaitsAndARemovalCancelsIt)
{
    test::TempDir music;
    folderAnswer = music.path();
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    EmulatedFaults slow;
    slow.sectorsPerSecond = 3000; // about three seconds for the demo disc
    demoDrive()->setFaults(slow);
    open();
    ConversionJob& job = content->discPage().job();
    content->onCommand(3);
    ASSERT_TRUE(content->discPage().converting());
    const TrackEntry* tracksInUse = job.tracks.get();
    content->onMediaArrived("demo:");
    EXPECT_EQ(job.tracks.get(), tracksInUse) << "the rip's track array stays while it runs";
    EXPECT_TRUE(content->discPage().converting());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->discPage().converting(); }, 120));
    pumpUntil(ui, [&] { return job.tracks.get() != tracksInUse; }, 5);
    EXPECT_NE(job.tracks.get(), tracksInUse) << "the disc that arrived is loaded at the end";
    EXPECT_EQ(job.tracks[0].progress.load(), 0.0);

    // A removal of the drive being converted cancels the conversion first.
    content->onCommand(3);
    ASSERT_TRUE(content->discPage().converting());
    content->onMediaRemoved("demo:");
    EXPECT_FALSE(content->discPage().converting());
    EXPECT_EQ(content->page(), MainContent::Page::InsertDisc);
    demoDrive()->setFaults(EmulatedFaults{});
}

TEST_F(MainWindow, F10OpensTheFirstMenuAndLeftGoesAroundToTheLast)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    std::vector<int32_t> seen;
    // Each menu's popup pushes its picture as it opens: note which menu is open then.
    backend.setPushObserver([&](WindowId, const HeadlessBackend::WindowRecord&) {
        int32_t open = content->menuBar().openIndex();
        if (open >= 0 && (seen.empty() || seen.back() != open))
            seen.push_back(open);
    });
    // Keys for the main window go to the open menu while it runs its modal loop: Left leaves
    // File for the last menu, Esc closes that one.
    backend.inject(Message{window->id(), msg::WM_KEYDOWN, vk::VK_LEFT});
    backend.inject(Message{window->id(), msg::WM_KEYDOWN, vk::VK_ESCAPE});
    ui.dispatch(Message{window->id(), msg::WM_KEYDOWN, vk::VK_F1 + 9});
    backend.setPushObserver(nullptr);
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 2})) << "File, then Help after Left";
    EXPECT_EQ(content->menuBar().openIndex(), -1);
}

} // namespace
} // namespace tonvane
