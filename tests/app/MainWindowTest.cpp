// The window program's main window on the headless backend: the first-run language page, the
// drive scan that finds the demo disc (or names a drive it cannot open), the track rows' check
// boxes and logos, media removal, the update check and its download dialog.
#include "app/window/EncoderPropertiesDialog.h"
#include "MainWindowFixture.h"
#include "app/window/AboutBox.h"
#include "app/window/FolderDialog.h"
#include "app/window/UpdateDialog.h"
#include "app/window/ExistingFilesDialog.h"
#include "session/DriveModel.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "controls/label/Label.h"
#include "controls/theme/ControlTheme.h"
#include "core/ProductConfig.h"
#include "core/foundation/Utf.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "graphics/text/Font.h"
#include "graphics/text/FontList.h"
#include "graphics/text/TextFit.h"
#include "graphics/text/TextLayout.h"
#include "FakeCddbServer.h"
#include "net/UpdateServer.h"
#include "support/TempDir.h"
#include "windowing/headless/HeadlessBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/window/LayeredWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <filesystem>
#include <optional>
#include <thread>

#include <sys/stat.h>

namespace tonvane {
namespace {

using namespace std::chrono_literals;

struct MainWindow : test::MainWindowFixture {};
using test::kNoDelayedCheck;

TEST_F(MainWindow, FirstRunChoosesALanguageThenFindsTheDisc)
{
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    EXPECT_EQ(content->page(), MainContent::Page::Language);
    EXPECT_EQ(content->discPage().job().count, 0) << "no drive is touched before a language is chosen";
    ASSERT_EQ(content->languagePage().buttons().size(), 8u);
    // "English" is the second button of the top row.
    click(*content->languagePage().buttons()[1], 80, 24);
    settle(); // the drive scan, on the drive worker
    EXPECT_EQ(currentLanguage(), kEnglish);
    uint32_t stored = 0;
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, stored));
    EXPECT_EQ(stored, uint32_t(kEnglish));
    EXPECT_EQ(content->page(), MainContent::Page::Disc);
    EXPECT_EQ(content->discPage().job().count, 4);
    EXPECT_EQ(content->discPage().trackList().itemCount(), 4);
    // Loading the disc enabled Convert and Consult FreeDB in the menus.
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConvert), true);
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConsultFreeDb), true);
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextOptions), true);
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
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConvert), false);
    arrive("demo:");
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
    arrive("demo:");
    EXPECT_FALSE(page.lookingUp());
    EXPECT_EQ(page.job().tracks[0].format, kFormatWav) << "the disc shown was loaded again";

    content->onMediaRemoved("demo:");
    arrive("demo:");
    EXPECT_TRUE(page.lookingUp());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !page.lookingUp(); }));
    EXPECT_EQ(cddb.lookups(), 1);
    EXPECT_EQ(page.job().tracks[0].title.view(), u"Alpha");
}

// The scan after the language page and the watcher's arrival can both read the first disc of a
// fresh install: the scan's load stores "Auto" and is dropped for the newer arrival, whose load
// then finds "Auto" set. That disc is still the first one and is not looked up.
TEST_F(MainWindow, FirstDiscReadByAScanAndAnArrivalTogetherIsNotLookedUp)
{
    test::FakeCddbServer cddb({"Alpha", "Beta", "Gamma", "Delta"});
    server = "127.0.0.1:" + std::to_string(cddb.port());
    open();
    ASSERT_EQ(content->page(), MainContent::Page::Language) << "a fresh install asks for the language first";
    content->scanDrives();
    content->onMediaArrived("demo:");
    settle();
    ASSERT_EQ(content->page(), MainContent::Page::Disc);
    DiscPage& page = content->discPage();
    EXPECT_FALSE(page.lookingUp());
    uint32_t stored = 0;
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, stored));
    EXPECT_EQ(stored, 1u);
    // A lookup started by mistake would reach the server within this second.
    EXPECT_FALSE(pumpUntil(ui, [&] { return cddb.lookups() > 0; }, 1));

    // The next disc is looked up.
    content->onMediaRemoved("demo:");
    arrive("demo:");
    EXPECT_TRUE(page.lookingUp());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !page.lookingUp(); }));
    EXPECT_EQ(cddb.lookups(), 1);
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
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConvert), false) << "off while looking up";
    EXPECT_FALSE(page.lookupButton().isInteractive());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !page.lookingUp(); }));
    EXPECT_EQ(cddb.lookups(), 1);
    EXPECT_EQ(page.job().tracks[0].title.view(), u"Alpha");
    EXPECT_EQ(page.job().tracks[3].title.view(), u"Delta");
    EXPECT_EQ(content->statusBar().paneText(0), uiText(kTextDownloadComplete).view());
    EXPECT_EQ(page.matchCount(), 1);
    EXPECT_FALSE(page.albumBox().isInteractive()) << "one match keeps the album box disabled";
    EXPECT_TRUE(page.lookupButton().isInteractive());
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConvert), true);

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

TEST_F(MainWindow, PropertiesDialogShowsTheStoredChoicesAndCancelChangesNoTrack)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, settings::kValueFlacQuality, 5);
    open();
    EncoderPropertiesDialog dialog(*window, 1, -1);
    EXPECT_EQ(dialog.qualityBox().rowCount(), 12) << "Vorbis";
    EXPECT_TRUE(dialog.applyToAll()) << "a missing ApplyAll is ticked";

    // FLAC: eight rows with its stored quality; WAV: one disabled row.
    dialog.formatBox().choose(2);
    EXPECT_EQ(dialog.qualityBox().rowCount(), 8);
    EXPECT_EQ(dialog.qualityBox().chosen(), 5);
    dialog.formatBox().choose(3);
    EXPECT_EQ(dialog.qualityBox().rowCount(), 1);
    EXPECT_FALSE(dialog.qualityBox().isInteractive());
    dialog.qualityBox().choose(0);

    // Cancel sets result 1 and changes no track.
    dialog.applyAllBox().onMouse(MouseAction::LeftDown, 4, 4);
    EXPECT_FALSE(dialog.applyToAll());
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

// Our folder chooser: Return on Cancel cancels; one click selects a row, a double click or
// Return opens it; the keys move the selection and the list follows it; "New folder" makes
// numbered folders; a start folder that does not exist opens the home folder.
TEST_F(MainWindow, TheFolderChooserSelectsByClickAndKeysOpensByDoubleClickAndMakesFolders)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    test::TempDir start;
    for (char c = 'a'; c <= 'l'; ++c)
        std::filesystem::create_directories(start.path() + "/" + c + "/inner");
    {
        FolderDialog chooser(*window, start.path());
        chooser.cancelButton().takeFocus();
        chooser.keyDown(vk::VK_RETURN);
        EXPECT_FALSE(chooser.accepted) << "Return on Cancel";
    }
    FolderDialog chooser(*window, start.path());
    ASSERT_TRUE(chooser.open());
    ASSERT_EQ(chooser.entries().size(), 13u) << ".. and a to l";
    ItemList& list = chooser.list();
    IntRect view = list.viewport();
    int32_t page = (view.y1 - view.y0) / 20 - 1;
    ASSERT_GT(page, 1);
    ASSERT_LT(page, 12) << "the list must scroll for this test";
    struct Step {
        uint32_t key;
        int32_t current;
        double position; // the list's vertical position after the step; -1: not checked
    } steps[] = {
        {vk::VK_DOWN, 0, 1},  {vk::VK_DOWN, 1, 1},          {vk::VK_END, 12, 0},     {vk::VK_DOWN, 12, 0},
        {vk::VK_UP, 11, 0},   {vk::VK_HOME, 0, 1},          {vk::VK_UP, 0, 1},       {vk::VK_NEXT, page, -1},
        {vk::VK_PRIOR, 0, 1}, {vk::VK_NEXT, page, -1},      {vk::VK_NEXT, std::min(2 * page, 12), -1},
    };
    for (const Step& step : steps) {
        chooser.keyDown(step.key);
        EXPECT_EQ(chooser.current(), step.current) << step.key;
        if (step.position >= 0) {
            EXPECT_EQ(list.verticalPosition(), step.position) << step.key;
        }
        EXPECT_FALSE(chooser.accepted);
    }
    EXPECT_EQ(chooser.folder(), start.path()) << "moving the selection opens nothing";

    // One click on "b" selects it, a double click opens it; Return in the list opens "inner".
    chooser.keyDown(vk::VK_HOME);
    IntRect b = list.itemRect(2);
    list.onMouse(MouseAction::LeftDown, b.x0 + 5, (b.y0 + b.y1) / 2);
    list.onMouse(MouseAction::LeftUp, b.x0 + 5, (b.y0 + b.y1) / 2);
    EXPECT_EQ(chooser.current(), 2);
    EXPECT_EQ(chooser.folder(), start.path());
    list.onMouse(MouseAction::LeftDouble, b.x0 + 5, (b.y0 + b.y1) / 2);
    EXPECT_EQ(chooser.folder(), start.path() + "/b");
    EXPECT_EQ(chooser.current(), -1);
    ASSERT_TRUE(list.hasFocus());
    chooser.keyDown(vk::VK_DOWN);
    chooser.keyDown(vk::VK_DOWN);
    chooser.keyDown(vk::VK_RETURN);
    EXPECT_EQ(chooser.folder(), start.path() + "/b/inner");
    EXPECT_FALSE(chooser.accepted);

    // New folder, twice: numbered, made on disk, each selected as it appears.
    for (const char* name : {"New folder", "New folder 2"}) {
        ASSERT_TRUE(chooser.makeNewFolder()) << name;
        EXPECT_TRUE(std::filesystem::is_directory(start.path() + "/b/inner/" + name)) << name;
        ASSERT_GE(chooser.current(), 0) << name;
        EXPECT_EQ(chooser.entries()[size_t(chooser.current())], name);
    }
    chooser.keyDown(vk::VK_RETURN);
    EXPECT_EQ(chooser.folder(), start.path() + "/b/inner/New folder 2");
    chooser.keyDown(vk::VK_RETURN);
    EXPECT_TRUE(chooser.accepted) << "Return with nothing selected is OK";

    // A music folder that does not exist yet: the chooser opens at home, not at "/".
    test::TempDir home;
    test::ScopedEnv homeVariable("HOME", home.path().c_str());
    FolderDialog missing(*window, start.path() + "/no/such/folder");
    EXPECT_EQ(missing.folder(), home.path());
}

// Return presses the focused button of the main window (Convert asks for the folder); the
// About box's body names the version of the caption, in the interface's language.
TEST_F(MainWindow, ReturnPressesTheFocusedButtonAndTheAboutBoxIsTranslated)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    offeredFolder.clear();
    content->discPage().convertButton().takeFocus();
    ui.dispatch(Message{window->id(), msg::WM_KEYDOWN, vk::VK_RETURN});
    EXPECT_FALSE(offeredFolder.empty()) << "Return did not press Convert";

    std::string version = product::kVersion;
    ASSERT_EQ(std::count(version.begin(), version.end(), '.'), 2) << "major.minor.patch";
    struct Case {
        LanguageId language;
        std::u16string_view sentence;
    } cases[] = {
        {kEnglish, u"This program uses the FreeType library"},
        {kGerman, u"Dieses Programm verwendet die FreeType-Bibliothek"},
        {kRussian, u"Эта программа использует библиотеку FreeType"},
        {kJapanese, u"このプログラムは FreeType ライブラリ"},
    };
    for (const Case& c : cases) {
        setLanguage(c.language, nullptr);
        AboutBox about(*window);
        std::u16string_view body = about.body().caption().view();
        EXPECT_EQ(body.substr(0, body.find(u'\n')), u"Tonvane " + utf8ToUtf16(version)) << int(c.language);
        EXPECT_NE(body.find(c.sentence), std::u16string_view::npos) << int(c.language);
    }
    // Every language's body fits the box (its last line ends inside it), and the new rows fit
    // their controls: German and Russian run longest.
    Font* font = theme.font();
    ASSERT_NE(font, nullptr);
    for (int id = int(kEnglish); id <= int(kSpanish); ++id) {
        setLanguage(LanguageId(id), nullptr);
        AboutBox about(*window);
        ASSERT_TRUE(about.open());
        const Label& label = about.body();
        std::u16string body(label.caption().view());
        std::vector<LaidOutLine> lines =
            layoutText(*font, body.data(), int32_t(body.size()), 0, 0, 0, label.width(), label.height());
        ASSERT_FALSE(lines.empty()) << id;
        EXPECT_EQ(lines.back().start + lines.back().characters, body.size()) << id << ": the body is cut";
        EXPECT_GE(lines.back().run.boxBottom, 0) << id << ": the last line runs out of the box";
        FolderDialog chooser(*window, config.path());
        ASSERT_TRUE(chooser.open());
        std::u16string_view newFolder = uiText(kTextNewFolder).view();
        EXPECT_LE(measureLine(*font, newFolder.data(), uint32_t(newFolder.size()), 1e6).width + 8,
                  chooser.newFolderButton().width())
            << id;
        std::u16string_view failed = uiText(kTextDownloadFailed).view();
        EXPECT_LE(measureLine(*font, failed.data(), uint32_t(failed.size()), 1e6).width, 300) << id << ": the update dialog's one-line label is about 320 wide";
    }
    setLanguage(kEnglish, nullptr);
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
    std::filesystem::create_directories(cache.path() + "/tonvane");
    std::string installer = cache.path() + "/tonvane/tonvane-setup.run";
    std::string elsewhere = config.path() + "/precious.txt";
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
    EXPECT_EQ(launcher.pages, (std::vector<std::u16string>{product::kWebPage, product::kWebPage}));
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
    // The same names again: the question about them comes up, and Cancel starts nothing.
    injectStep([this] {
        ASSERT_NE(content->discPage().existingFilesDialog(), nullptr);
        PushButton& cancel = content->discPage().existingFilesDialog()->cancelButton();
        cancel.onMouse(MouseAction::LeftDown, 10, 10);
        cancel.onMouse(MouseAction::LeftUp, 10, 10);
    });
    content->onCommand(3);
    EXPECT_EQ(offeredFolder, music.path() + "/rips/") << "the stored Path is offered next time";
    EXPECT_FALSE(content->discPage().converting());
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
    arrive("demo:");
    EXPECT_EQ(job.tracks.get(), tracksInUse) << "the rip's track array stays while it runs";
    EXPECT_TRUE(content->discPage().converting());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->discPage().converting(); }, 120));
    pumpUntil(ui, [&] { return job.tracks.get() != tracksInUse; }, 5);
    EXPECT_NE(job.tracks.get(), tracksInUse) << "the disc that arrived is loaded at the end";
    EXPECT_EQ(job.tracks[0].progress.load(), 0.0);

    // A removal of the drive being converted cancels the conversion first (into a fresh folder:
    // the names of the first one would be asked about).
    folderAnswer = music.path() + "/again";
    content->onCommand(3);
    ASSERT_TRUE(content->discPage().converting());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->statusBar().paneText(1).empty(); }, 10));
    content->onMediaRemoved("demo:");
    EXPECT_FALSE(content->discPage().converting());
    EXPECT_EQ(content->page(), MainContent::Page::InsertDisc);
    pumpUntil(ui, [] { return false; }, 1); // what the rip had posted before it stopped
    EXPECT_EQ(content->statusBar().paneText(1), u"") << "the gone disc's elapsed time";
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConvert), false) << "the cancelled rip's end offers Convert";
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConsultFreeDb), false);
    demoDrive()->setFaults(EmulatedFaults{});
}

// The properties dialog's modal loop runs media events: the disc goes and another loads (its
// track array replaced) before OK. The choice belonged to the gone disc and changes no track of
// the new one (before, OK wrote into the freed array: AddressSanitizer catches that).
TEST_F(MainWindow, ADiscChangeUnderThePropertiesDialogDropsItsChoice)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    DiscPage& page = content->discPage();
    ItemList& list = page.trackList();
    for (uint32_t applyAll : {0u, 1u}) {
        settings::writeDword(product::kProductKey, settings::kEncodersKey, settings::kValueApplyAll, applyAll);
        ASSERT_EQ(page.job().count, 4);
        page.job().tracks[1].format = kFormatWav; // the dialog offers WAV
        list.requestRepaint();
        window->repaint(); // lays out the links
        const LinkRect& link = page.job().tracks[1].link;
        ASSERT_TRUE(link.set);
        IntRect row = list.itemRect(1);
        std::vector<int32_t> formatsAfterChange;
        const TrackEntry* before = page.job().tracks.get();
        const TrackEntry* after = nullptr;
        // Inside the dialog's loop: the disc goes and comes back; once the drive worker's load
        // is shown, OK.
        std::function<void()> waitForLoad = [&] {
            if (content->driveWorkPending()) {
                std::this_thread::sleep_for(5ms);
                injectStep(waitForLoad);
                return;
            }
            after = page.job().tracks.get();
            for (int32_t i = 0; i < page.job().count; ++i)
                formatsAfterChange.push_back(page.job().tracks[size_t(i)].format);
            backend.inject(Message{window->id(), msg::WM_KEYDOWN, vk::VK_RETURN}); // OK
        };
        injectStep([&] {
            content->onMediaRemoved("demo:");
            content->onMediaArrived("demo:");
            injectStep(waitForLoad);
        });
        click(list, row.x0 + link.left + 2, row.y0 + (link.bottom + link.top) / 2);
        ASSERT_NE(after, nullptr) << "applyAll " << applyAll << ": the step ran inside the dialog";
        ASSERT_NE(after, before) << "the track array was replaced";
        std::vector<int32_t> formats;
        for (int32_t i = 0; i < page.job().count; ++i)
            formats.push_back(page.job().tracks[size_t(i)].format);
        EXPECT_EQ(formats, formatsAfterChange) << "applyAll " << applyAll;
        EXPECT_EQ(content->page(), MainContent::Page::Disc);
    }
}

// Each lookup turns the busy globe (also one started while the last one's globe lingers), the
// earlier one's linger does not wipe its text, and events of an earlier lookup are dropped.
TEST_F(MainWindow, EveryLookupTurnsTheGlobeAndEventsOfAnEarlierLookupAreDropped)
{
    test::FakeCddbServer cddb({"Alpha", "Beta", "Gamma", "Delta"});
    server = "127.0.0.1:" + std::to_string(cddb.port());
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    DiscPage& page = content->discPage();
    StatusBar& status = content->statusBar();
    click(page.lookupButton(), 70, 12);
    ASSERT_TRUE(pumpUntil(ui, [&] { return !page.lookingUp(); }));
    EXPECT_GE(status.iconFrame(), 0) << "the globe lingers after the first lookup";

    cddb.hold(true); // the second lookup stays connecting
    click(page.lookupButton(), 70, 12);
    ASSERT_TRUE(page.lookingUp());
    pumpUntil(ui, [] { return false; }, 3); // beyond the first lookup's two-second linger
    EXPECT_TRUE(page.spinnerRunning());
    EXPECT_GE(status.iconFrame(), 0) << "the second lookup shows the globe";
    EXPECT_FALSE(status.paneText(0).empty()) << "the first lookup's linger wiped the second's text";
    std::u16string shown(status.paneText(0));

    // What an earlier lookup delivers now (matches, or nothing found) changes nothing.
    uint32_t earlier = page.lookupGeneration() - 1;
    auto found = std::make_shared<MatchList>();
    found->anySourceAnswered = true;
    found->cddb.matchTitles = {"Old / Disc"};
    found->cddb.matchYears = {""};
    found->entries.push_back({false, 0});
    page.lookupFinished(earlier, found);
    page.lookupFinished(earlier, std::make_shared<MatchList>());
    pumpUntil(ui, [] { return false; }, 1);
    EXPECT_TRUE(page.lookingUp());
    EXPECT_FALSE(page.lookupButton().isInteractive());
    EXPECT_FALSE(page.convertButton().isInteractive());
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConvert), false);
    EXPECT_EQ(status.paneText(0), shown);

    cddb.hold(false);
    ASSERT_TRUE(pumpUntil(ui, [&] { return !page.lookingUp(); }, 20));
    EXPECT_EQ(cddb.lookups(), 2);
    EXPECT_EQ(status.paneText(0), uiText(kTextDownloadComplete).view());
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConvert), true);
}

// A drive that does not open leaves the disc shown before with its own drive: a removal of that
// drive still takes it away.
TEST_F(MainWindow, ADriveThatFailsToOpenKeepsTheDiscShownAndItsDrive)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    test::TempDir machine;
    std::string sr1 = machine.path() + "/sr1";
    EmulatedDriveConfig config;
    config.faults.openErrno = EACCES;
    installEmulatedDrive(sr1, std::make_shared<EmulatedDrive>(demoDrive()->disc(), config));
    open();
    DiscPage& page = content->discPage();
    ASSERT_EQ(page.drivePath(), "demo:");
    const TrackEntry* tracks = page.job().tracks.get();
    EXPECT_FALSE(page.loadFrom(sr1));
    EXPECT_EQ(page.drivePath(), "demo:");
    EXPECT_EQ(page.job().drivePath.toUtf8(), "demo:") << "the job rips the drive the page names";
    EXPECT_EQ(page.job().tracks.get(), tracks);
    EXPECT_EQ(page.job().count, 4);
    uninstallEmulatedDrive(sr1);
    content->onMediaRemoved("demo:");
    EXPECT_EQ(content->page(), MainContent::Page::InsertDisc);
}

// A slow drive never holds up the window's thread. A disc that spins up for 2 s (NOT READY
// after it arrives): the arrival returns at once, work posted meanwhile runs while the drive
// worker waits, the disc shows once read, and a removal meanwhile drops what was read. A drive
// slow to open (0.6 s): Consult FreeDB returns before its TOC is read.
TEST_F(MainWindow, ASlowDriveNeverHoldsUpTheWindowsThread)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    struct Restore {
        ~Restore() { demoDrive()->setFaults(EmulatedFaults{}); }
    } restore; // also when an assertion ends the test early
    open();
    ASSERT_EQ(content->page(), MainContent::Page::Disc);
    EmulatedFaults spinning;
    spinning.notReadyMs = 2000;
    demoDrive()->setFaults(spinning);
    for (bool removedMeanwhile : {false, true}) {
        demoDrive()->removeMedium();
        content->onMediaRemoved("demo:");
        demoDrive()->insertMedium();
        content->onMediaArrived("demo:");
        EXPECT_TRUE(content->driveWorkPending()) << "the arrival waited for the drive";
        EXPECT_EQ(content->page(), MainContent::Page::InsertDisc);
        bool ran = false;
        ui.post(window->id(), [&] { ran = true; });
        ASSERT_TRUE(pumpUntil(ui, [&] { return ran; }));
        EXPECT_TRUE(content->driveWorkPending()) << "posted work waited for the drive";
        if (removedMeanwhile)
            content->onMediaRemoved("demo:");
        ASSERT_TRUE(pumpUntil(ui, [&] { return !content->driveWorkPending(); }, 60));
        EXPECT_EQ(content->page(), removedMeanwhile ? MainContent::Page::InsertDisc : MainContent::Page::Disc)
            << removedMeanwhile;
    }
    arrive("demo:");
    ASSERT_EQ(content->page(), MainContent::Page::Disc);

    EmulatedFaults slowOpen;
    slowOpen.openDelayMs = 600; // below the open's time-out of 1 s
    demoDrive()->setFaults(slowOpen);
    demoDrive()->clearRecordedCommands();
    click(content->discPage().lookupButton(), 70, 12);
    EXPECT_TRUE(content->discPage().lookingUp());
    size_t commandsSeen = 99;
    ui.post(window->id(), [&] { commandsSeen = demoDrive()->recordedCommands().size(); });
    ASSERT_TRUE(pumpUntil(ui, [&] { return commandsSeen != 99; }));
    EXPECT_EQ(commandsSeen, 0u) << "the TOC was read before the window's thread went on";
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->discPage().lookingUp(); }, 60));
    EXPECT_EQ(content->statusBar().paneText(0), uiText(kTextConnectError).view()) << "the refused test port";
}

// The desktop's chooser (a script first on PATH as "zenity", which answers once the test lets
// it) runs beside the window: the window's thread goes on with its work and shows the wait
// cursor with Convert disabled; the folder it answers receives the conversion.
TEST_F(MainWindow, TheDesktopsChooserRunsBesideAWindowThatGoesOn)
{
    test::TempDir bin;
    test::TempDir music;
    std::string go = bin.path() + "/go";
    test::writeFile(bin.path() + "/zenity",
                    "#!/bin/sh\ni=0\nwhile [ ! -e '" + go + "' ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
                    "[ -e '" + go + "' ] || exit 1\necho '" + music.path() + "'\n");
    ASSERT_EQ(::chmod((bin.path() + "/zenity").c_str(), 0755), 0);
    const char* path = std::getenv("PATH");
    test::ScopedEnv searchPath("PATH", (bin.path() + ":" + (path != nullptr ? path : "/usr/bin:/bin")).c_str());
    test::ScopedEnv anyChooser("TONVANE_FOLDER_CHOOSER", nullptr);
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    answerChooser = false;
    open();
    content->onCommand(3);
    ASSERT_TRUE(content->choosingFolder()) << "the chooser did not start, or was waited for";
    EXPECT_EQ(backend.window(window->id()).cursor, CursorKind::Wait);
    EXPECT_FALSE(content->discPage().convertButton().isInteractive());
    EXPECT_EQ(isItemEnabled(content->menuBar().tree(), kTextConvert), false);
    bool ran = false;
    ui.post(window->id(), [&] { ran = true; });
    ASSERT_TRUE(pumpUntil(ui, [&] { return ran; }));
    EXPECT_TRUE(content->choosingFolder());
    content->onCommand(3); // a second Convert meanwhile opens no second chooser
    test::writeFile(go, "");
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->choosingFolder(); }, 30));
    EXPECT_EQ(backend.window(window->id()).cursor, CursorKind::Arrow);
    ASSERT_TRUE(content->discPage().converting());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->discPage().converting(); }, 120));
    WideString stored;
    EXPECT_TRUE(settings::readString(product::kProductKey, settings::kEncodersKey, settings::kValuePath, stored));
    EXPECT_EQ(stored.toUtf8(), music.path() + "/");
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(music.path()))
        files += entry.path().extension() == ".ogg";
    EXPECT_EQ(files, 4u);
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

// A press and release inside a button, as the mouse gives them.
void press(PushButton& button)
{
    button.onMouse(MouseAction::LeftDown, 10, 10);
    button.onMouse(MouseAction::LeftUp, 10, 10);
}

// Every message waiting for the window's thread, taken from the queue (and then dispatched).
std::vector<Message> takeQueued(UiThread& ui)
{
    std::vector<Message> queued;
    for (Message message; ui.peekMessage(message);)
        queued.push_back(message);
    return queued;
}

size_t countFor(const std::vector<Message>& queued, WindowId window, uint32_t message)
{
    return size_t(std::count_if(queued.begin(), queued.end(),
                                [&](const Message& m) { return m.window == window && m.message == message; }));
}

TEST_F(MainWindow, CheckForUpdatesOffersTheVersionDownloadsAndStartsTheSignedInstaller)
{
    test::KeyPair keys;
    std::string installer = "#!/bin/sh\necho installed\n" + std::string(20000, '#');
    auto files = keys.signedFile("/version/tonvane.txt", "Linux 0.3.0 http://127.0.0.1/files/tonvane-setup.run\n");
    files.merge(keys.signedFile("/files/tonvane-setup.run", installer));
    test::LocalServer server(test::updateServer(files), 4);
    update.port = server.port();
    update.publicKey = keys.publicKey;
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();

    // The dialog runs its modal loop inside the command: a second thread looks at it and presses
    // OK through the window's thread.
    std::u16string offered, caption, downloading;
    bool okUsable = true, okFocused = true;
    std::atomic<bool> driven{false};
    WindowId main = window->id();
    std::thread driver([&] {
        UpdateDialog* dialog = nullptr;
        for (int i = 0; i < 1000 && dialog == nullptr; ++i) {
            ui.send(main, [&] {
                dialog = content->updateUi()->openDialog();
                return 0;
            });
            if (dialog == nullptr)
                std::this_thread::sleep_for(10ms);
        }
        if (dialog != nullptr)
            ui.send(main, [&] {
                offered = dialog->label().caption().view();
                caption = dialog->caption();
                dialog->okButton().takeFocus(); // as Tab would
                press(dialog->okButton());
                downloading = dialog->label().caption().view();
                okUsable = dialog->okButton().isInteractive();
                okFocused = dialog->okButton().hasFocus();
                return 0;
            });
        driven = true;
    });
    content->onCommand(kTextCheckUpdates);
    pumpUntil(ui, [&] { return driven.load(); }); // answers the driver's last question, if any
    driver.join();

    EXPECT_EQ(offered, u"Do you want to upgrade to version 0.3.0?");
    EXPECT_EQ(caption, u"Download");
    EXPECT_EQ(downloading, u"Downloading...");
    EXPECT_FALSE(okUsable);
    EXPECT_FALSE(okFocused) << "the focus moves on to Cancel";
    // Closed with 0: the signature verified, the installer started, the main window asked to close.
    std::string path = cache.path() + "/tonvane/tonvane-setup.run";
    EXPECT_EQ(launcher.programs, (std::vector<std::string>{path}));
    EXPECT_EQ(test::readFile(path), installer);
    WideString stored;
    ASSERT_TRUE(settings::readString(product::kProductKey, u"", settings::kValueDeleteUpdateFile, stored));
    EXPECT_EQ(stored.toUtf8(), path);
    EXPECT_EQ(countFor(takeQueued(ui), main, msg::WM_CLOSE), 1u);
    EXPECT_EQ(content->statusBar().paneText(0), u"") << "cleared after the dialog";
}

TEST_F(MainWindow, NothingNewerSaysSoAndClearsTheTextAfterTwoSeconds)
{
    test::KeyPair keys;
    test::LocalServer server(test::updateServer(keys.signedFile("/version/tonvane.txt", "Linux 0.2.7 http://x/y\n")), 2);
    update.port = server.port();
    update.publicKey = keys.publicKey;
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    content->onCommand(kTextCheckUpdates);
    EXPECT_EQ(content->statusBar().paneText(0), u"There are no available updates");
    // The server counts a connection once its script returns, which may be just after the
    // client has read the answer.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.connectionsServed() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(server.connectionsServed(), 2) << "the version file and its signature";
    EXPECT_EQ(content->updateUi()->openDialog(), nullptr);
    EXPECT_TRUE(pumpUntil(ui, [&] { return content->statusBar().paneText(0).empty(); }));
}

TEST_F(MainWindow, ClosingTheWindowDuringTheSixSecondWaitEndsTheCheckAtOnce)
{
    test::LocalServer server(test::updateServer({}), 1);
    update.port = server.port();
    update.checkDelayMs = UpdateCheckerOptions{}.checkDelayMs;
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    ASSERT_EQ(update.checkDelayMs, 6000u);
    ASSERT_TRUE(content->updater()->delayedCheckStarted());
    // The window's teardown joins the check's thread: had the wait not been cut short, the
    // check would have run by then and asked the server.
    window->destroy();
    EXPECT_FALSE(content->updater()->delayedCheckStarted()) << "the thread outlives the window";
    EXPECT_EQ(server.connectionsServed(), 0);
    EXPECT_EQ(content->statusBar().paneText(0), u"");
}

TEST_F(MainWindow, StoppingADownloadEndsItsThreadBeforeTheDialogGoesAndNothingIsPostedAfter)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    std::string folder = cache.path() + "/tonvane";
    struct Way {
        const char* what;
        std::function<void(UpdateDialog&)> stop;
    } ways[] = {
        {"Cancel", [](UpdateDialog& dialog) { press(dialog.cancelButton()); }},
        {"the caption's close button",
         [this](UpdateDialog& dialog) {
             ui.dispatch(Message{dialog.dialogWindow().id(), msg::WM_SYSCOMMAND, sc::SC_CLOSE});
             ASSERT_EQ(countFor(takeQueued(ui), dialog.dialogWindow().id(), msg::WM_CLOSE), 1u);
             ui.dispatch(Message{dialog.dialogWindow().id(), msg::WM_CLOSE});
         }},
    };
    for (const Way& way : ways) {
        // The installer stops after its first 1000 of 4000 bytes.
        test::LocalServer server(test::updateServer({{"/files/big.run", std::string(4000, 'a')}}, "/files/big.run"), 1);
        HttpClientOptions http;
        http.port = server.port();
        UpdateDownload download("http://127.0.0.1/files/big.run", folder, http);
        UpdateDialog dialog(*window, WideString::fromUtf8("0.3.0"), download);
        ASSERT_TRUE(dialog.open()) << way.what;
        WindowId id = dialog.dialogWindow().id();
        // The bar's pixels at an eighth and at a half of its width, on a row of its plain lower part.
        auto barPixel = [&](double fraction) {
            IntRect bar = dialog.progressBar().windowRect();
            LayeredWindow& w = dialog.dialogWindow();
            int32_t x = w.marginLeft() + bar.x0 + int32_t(fraction * (bar.x1 - bar.x0));
            int32_t yDown = w.marginTop() + w.height() - 1 - (bar.y0 + 4);
            return backend.window(id).pixel(x, yDown);
        };
        EXPECT_NE(barPixel(0.125), palette::kProgressRunning) << way.what;

        press(dialog.okButton());
        ASSERT_TRUE(pumpUntil(ui, [&] { return dialog.progressBar().value() == 1000; })) << way.what;
        EXPECT_EQ(dialog.progressBar().range(), 4000u) << way.what;
        EXPECT_EQ(barPixel(0.125), palette::kProgressRunning) << way.what;
        EXPECT_NE(barPixel(0.5), palette::kProgressRunning) << way.what;

        way.stop(dialog);
        EXPECT_EQ(dialog.result, UpdateDialog::kCancelled) << way.what;
        EXPECT_EQ(dialog.state(), UpdateDialog::State::Stopped) << way.what;
        EXPECT_FALSE(download.complete()) << way.what;
        EXPECT_EQ(test::readFile(folder + "/big.run"), std::string(1000, 'a')) << way.what;
        std::vector<Message> queued = takeQueued(ui);
        EXPECT_EQ(countFor(queued, id, msg::WM_INVOKE), 0u) << way.what << ": the ended thread posted";
        for (const Message& message : queued)
            ui.dispatch(message);
        EXPECT_EQ(dialog.dialogWindow().id(), kNoWindow) << way.what << ": closed at once";
    }
}

TEST_F(MainWindow, ClosingTheWindowUnderTheDelayedChecksDialogEndsDownloadDialogAndThread)
{
    test::KeyPair keys;
    auto files = keys.signedFile("/version/tonvane.txt", "Linux 0.3.0 http://127.0.0.1/files/big.run\n");
    files.merge(keys.signedFile("/files/big.run", std::string(4000, 'a')));
    test::LocalServer server(test::updateServer(files, "/files/big.run"), 3);
    update.port = server.port();
    update.publicKey = keys.publicKey;
    update.checkDelayMs = 50;
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();

    // The check's thread asks for the dialog; it runs in a modal loop inside this thread's
    // dispatch, while a second thread presses OK and, once bytes came, destroys the main window
    // (as a close by the window manager would) from inside that loop. The teardown joins the
    // check's thread, which waits for the dialog: nothing may wait on anything forever.
    WindowId main = window->id();
    std::atomic<bool> driven{false};
    bool downloading = false;
    std::thread driver([&] {
        auto ask = [&](auto question) {
            for (int i = 0; i < 3000; ++i) {
                if (ui.send(main, [&] { return int64_t(question()); }).value_or(0) != 0)
                    return true;
                std::this_thread::sleep_for(10ms);
            }
            return false;
        };
        UpdateDialog* dialog = nullptr;
        if (ask([&] { return (dialog = content->updateUi()->openDialog()) != nullptr; })) {
            ui.send(main, [&] {
                press(dialog->okButton());
                return 0;
            });
            downloading = ask([&] { return dialog->progressBar().value() == 1000; });
            ui.send(main, [&] {
                window->destroy();
                return 0;
            });
        }
        driven = true;
    });
    pumpUntil(ui, [&] { return driven.load(); }, 60);
    driver.join();

    EXPECT_TRUE(downloading);
    EXPECT_EQ(window->id(), kNoWindow);
    EXPECT_EQ(content->updateUi()->openDialog(), nullptr);
    EXPECT_FALSE(content->updater()->delayedCheckStarted());
    EXPECT_TRUE(launcher.programs.empty());
    EXPECT_FALSE(test::fileExists(cache.path() + "/tonvane/big.run")) << "the partial file is removed";
}

TEST_F(MainWindow, AnAddressWithoutSlashIsTheFileNameAndTheDialogStaysOpenWithoutIt)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    std::string folder = cache.path() + "/tonvane";
    UpdateDownload download("tonvane-setup.run", folder, HttpClientOptions{});
    UpdateDialog dialog(*window, WideString::fromUtf8("0.3.0"), download);
    ASSERT_TRUE(dialog.open());
    press(dialog.okButton());
    ASSERT_TRUE(pumpUntil(ui, [&] { return dialog.state() != UpdateDialog::State::Downloading; }));
    EXPECT_EQ(dialog.state(), UpdateDialog::State::Ended) << "nothing to fetch: no complete download";
    EXPECT_EQ(dialog.label().caption().view(), u"The download failed") << "not \"Downloading...\" for ever";
    EXPECT_TRUE(test::fileExists(folder + "/tonvane-setup.run"));
    EXPECT_EQ(test::readFile(folder + "/tonvane-setup.run"), "");
    EXPECT_EQ(countFor(takeQueued(ui), dialog.dialogWindow().id(), msg::WM_CLOSE), 0u)
        << "only a complete download closes the dialog";
    press(dialog.cancelButton());
    EXPECT_EQ(dialog.result, UpdateDialog::kCancelled);
}

TEST_F(MainWindow, ADriveThatCannotBeOpenedIsNamedWithTheReason)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    test::TempDir machine;
    std::filesystem::create_directories(machine.path() + "/sys/sr0");
    std::filesystem::create_directories(machine.path() + "/dev");
    std::string sr0 = machine.path() + "/dev/sr0";
    drives.sysfsRoot = machine.path() + "/sys";
    drives.devRoot = machine.path() + "/dev";
    drives.imageDrives = {};
    // The open errors come through the drive layer's seam (an installed drive that refuses to
    // open), so they show as root too; a folder where the device should be is refused by the
    // system itself.
    struct Case {
        const char* what;
        int refusal; // 0: sr0 is a folder
        std::u16string reason;
    } cases[] = {
        {"not in the cdrom group", EACCES,
         u"permission denied. Add your user to the \"cdrom\" group and log in again"},
        {"held by another program", EBUSY, u"the drive is busy (another program is using it)"},
        {"a folder", 0, u"Is a directory"},
    };
    for (const Case& c : cases) {
        std::shared_ptr<EmulatedDrive> refusing;
        if (c.refusal != 0) {
            EmulatedDriveConfig config;
            config.faults.openErrno = c.refusal;
            refusing = std::make_shared<EmulatedDrive>(demoDrive()->disc(), config);
            installEmulatedDrive(sr0, refusing);
        } else {
            std::filesystem::create_directories(sr0);
        }
        open();
        EXPECT_EQ(content->page(), MainContent::Page::InsertDisc) << c.what;
        EXPECT_EQ(content->statusBar().paneText(0), u"Cannot open " + utf8ToUtf16(sr0) + u": " + c.reason) << c.what;
        if (refusing)
            uninstallEmulatedDrive(sr0);
        // A disc found later takes the text away.
        arrive("demo:");
        EXPECT_EQ(content->page(), MainContent::Page::Disc) << c.what;
        EXPECT_EQ(content->statusBar().paneText(0), u"") << c.what;
        content->stopWorkers();
        window.reset();
        content.reset();
    }
}

// The busy globe turns 24 times a second: while it stays shown only its cell is repainted and
// pushed, and that cell holds exactly what a whole repaint would show.
TEST_F(MainWindow, BusyGlobeRepaintsOnlyItsCell)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    window->repaint(); // the show animation has passed: the screen holds the whole picture
    StatusBar& status = content->statusBar();
    ImageStrip globe;
    ASSERT_TRUE(globe.load(132)); // the busy globe's skin resource, as a lookup sets it
    status.setIcons(&globe);
    auto pushedWidth = [&] { return backend.window(window->id()).lastPushed.width; };

    status.setIconFrame(0);
    status.repaintIcon();
    EXPECT_GE(pushedWidth(), status.width()) << "the globe appears: the pane's text moves";
    for (int frame : {1, 2, 46}) {
        status.setIconFrame(frame);
        status.repaintIcon();
        HeadlessBackend::WindowRecord partial = backend.window(window->id());
        EXPECT_LE(partial.lastPushed.width * partial.lastPushed.height, 20 * 20) << frame;
        window->repaint();
        EXPECT_EQ(partial.pixels, backend.window(window->id()).pixels) << frame;
    }
    status.setIconFrame(-1);
    status.repaintIcon();
    EXPECT_GE(pushedWidth(), status.width()) << "the globe goes: the text moves back";
}


// A window's picture at a content point (x from the left, y up from the bottom).
uint32_t contentPixel(const HeadlessBackend::WindowRecord& record, const LayeredWindow& window, int32_t x, int32_t y)
{
    return record.pixel(window.marginLeft() + x, window.marginTop() + window.height() - 1 - y);
}

// The pixels of a rectangle of the window's content, row by row.
std::vector<uint32_t> contentPixels(const HeadlessBackend::WindowRecord& record, const LayeredWindow& window,
                                    const IntRect& r)
{
    std::vector<uint32_t> out;
    for (int32_t y = r.y0; y < r.y1; ++y)
        for (int32_t x = r.x0; x < r.x1; ++x)
            out.push_back(contentPixel(record, window, x, y));
    return out;
}

// Long titles stay on their line and end in an ellipsis: they neither run over the progress bar
// below nor into the play time beside them; titles that differ only in their last words look
// alike, and the pointer resting on one shows it whole in a tip and in the status bar.
TEST_F(MainWindow, LongTitlesEndInAnEllipsisAndShowWholeUnderThePointer)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    DiscPage& page = content->discPage();
    ItemList& list = page.trackList();
    ConversionJob& job = page.job();
    ASSERT_EQ(job.count, 4);
    std::u16string head;
    while (head.size() < 160)
        head += u"Über den Wolken, À propos ";
    job.tracks[0].title = WideString(head + u"— part one");
    job.tracks[1].title = WideString(head + u"— part two");
    job.tracks[2].title = WideString(u"Short");
    job.tracks[3].title = WideString(u"Short");
    window->repaint();
    HeadlessBackend::WindowRecord record = backend.window(window->id());
    IntRect listRect = list.windowRect();
    auto inWindow = [&](int32_t row, IntRect zone) {
        IntRect item = list.itemRect(row);
        return IntRect{listRect.x0 + item.x0 + zone.x0, listRect.y0 + item.y0 + zone.y0, listRect.x0 + item.x0 + zone.x1,
                       listRect.y0 + item.y0 + zone.y1};
    };
    int32_t rowWidth = list.itemRect(0).x1 - list.itemRect(0).x0;
    // The progress bar and the rows between it and the title line, from the separator on.
    IntRect belowTitle{72, 4, rowWidth - 8, 26};
    // Right of the title's room up to the play time label (English "Play time:" is narrower than
    // 150 pixels, right-aligned 50 pixels from the edge).
    IntRect besideTitle{rowWidth - 250, 20, rowWidth - 200, 44};
    for (int32_t row : {0, 1}) {
        EXPECT_TRUE(contentPixels(record, *window, inWindow(row, belowTitle))
                    == contentPixels(record, *window, inWindow(2, belowTitle)))
            << "row " << row << "'s title runs over its progress bar";
        EXPECT_TRUE(contentPixels(record, *window, inWindow(row, besideTitle))
                    == contentPixels(record, *window, inWindow(2, besideTitle)))
            << "row " << row << "'s title runs past its room";
    }
    IntRect titleLine{96, 22, rowWidth - 250, 42};
    EXPECT_TRUE(contentPixels(record, *window, inWindow(0, titleLine))
                == contentPixels(record, *window, inWindow(1, titleLine)))
        << "both titles are cut before their last words";
    // The cut title is the head of the title and an ellipsis, drawn as such: a row given that
    // text literally looks the same.
    FontRef normal(getFont(u"Tahoma", 8, false, false));
    std::u16string cut;
    for (size_t n = head.size(); n > 0 && cut.empty(); --n) {
        // The longest head whose row equals row 0's title line.
        job.tracks[3].title = WideString(head.substr(0, n) + u"…");
        list.redrawItem(3);
        window->repaint();
        HeadlessBackend::WindowRecord again = backend.window(window->id());
        if (contentPixels(again, *window, inWindow(3, titleLine)) == contentPixels(record, *window, inWindow(0, titleLine)))
            cut = head.substr(0, n);
        if (head.size() - n > 60)
            break;
    }
    EXPECT_FALSE(cut.empty()) << "no head of the title followed by an ellipsis looks like the drawn title";
    job.tracks[3].title = WideString(u"Short");
    window->repaint();

    // The pointer on row 0's title: the status bar's left pane shows it whole; on row 2's short
    // title the pane gets back what it had.
    StatusBar& status = content->statusBar();
    status.setStatusText(0, u"Ready");
    auto moveTo = [&](int32_t row, int32_t x, int32_t y) {
        IntRect item = list.itemRect(row);
        Message move{window->id(), msg::WM_MOUSEMOVE, 0};
        move.x = window->marginLeft() + listRect.x0 + item.x0 + x;
        move.y = window->marginTop() + window->height() - (listRect.y0 + item.y0 + y);
        ui.dispatch(move);
    };
    moveTo(0, 200, 30);
    EXPECT_EQ(status.paneText(0), std::u16string(job.tracks[0].title.view()));
    EXPECT_EQ(page.titleShown(), 0);
    // The tip below the title holds all of it, on lines of whole words, and shows on screen.
    const TextTip& tip = page.titleTip();
    ASSERT_TRUE(tip.visibleInWindow());
    std::u16string joined;
    for (const std::u16string& line : tip.lines())
        joined += (joined.empty() ? u"" : u" ") + line;
    EXPECT_EQ(joined, std::u16string(job.tracks[0].title.view()));
    EXPECT_GT(tip.lines().size(), 1u);
    window->repaint();
    IntRect tipRect = tip.windowRect();
    HeadlessBackend::WindowRecord shown = backend.window(window->id());
    int inked = 0;
    for (int32_t y = tipRect.y0 + 2; y < tipRect.y1 - 2; ++y)
        for (int32_t x = tipRect.x0 + 2; x < tipRect.x1 - 2; ++x)
            inked += (contentPixel(shown, *window, x, y) & 0xFFu) < 0x80u; // dark text on the pale tip
    EXPECT_GT(inked, 200) << "the tip's text is not drawn";
    EXPECT_LE(tipRect.x1, list.windowRect().x1) << "the tip leaves the page";
    moveTo(1, 200, 30);
    EXPECT_EQ(status.paneText(0), std::u16string(job.tracks[1].title.view()));
    moveTo(2, 110, 30);
    EXPECT_EQ(page.titleShown(), -1);
    EXPECT_FALSE(tip.visibleInWindow());
    EXPECT_EQ(status.paneText(0), u"Ready");
}

// The properties dialog's apply-to-all caption keeps every word in every language: without its
// last word it draws differently, and it needs no ellipsis.
TEST_F(MainWindow, ApplyToAllCaptionKeepsItsLastWordInEveryLanguage)
{
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    for (LanguageId language = kEnglish; language <= kSpanish; ++language) {
        setLanguage(language, nullptr);
        std::u16string caption(uiText(kTextApplyAll).view());
        // Without its last word, or its last two characters in a language written without spaces.
        size_t space = caption.find_last_of(u' ');
        std::u16string shorter = caption.substr(0, space != std::u16string::npos ? space : caption.size() - 2);
        std::vector<uint32_t> pictures[2];
        for (int i = 0; i < 2; ++i) {
            EncoderPropertiesDialog dialog(*window, 1, -1);
            dialog.applyAllBox().setCaption(Caption::of(i == 0 ? caption : shorter));
            ASSERT_TRUE(dialog.open());
            dialog.dialogWindow().repaint();
            HeadlessBackend::WindowRecord record = backend.window(dialog.dialogWindow().id());
            pictures[i] = contentPixels(record, dialog.dialogWindow(), dialog.applyAllBox().windowRect());
            CheckBox& box = dialog.applyAllBox();
            std::vector<std::u16string> lines
                = wrapWithEllipsis(*theme.font(), caption, box.width() - metrics::kCheckBox - 6, 2);
            ASSERT_FALSE(lines.empty());
            EXPECT_NE(lines.back().back(), kEllipsis) << language << ": the caption does not fit";
            dialog.dialogWindow().destroy();
        }
        EXPECT_TRUE(pictures[0] != pictures[1]) << language << ": the last word of the caption is not drawn";
    }
    setLanguage(kEnglish, nullptr);
}

// The files of a folder by name, with their bytes.
std::map<std::string, std::string> folderFiles(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = test::readFile(entry.path().string());
    return files;
}

size_t countOf(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A conversion of the window program goes through the rip session: the drive model's stored
// offset is used, AccurateRip is asked, and the log and CUE sheet lie beside the files.
TEST_F(MainWindow, ConversionWritesTheLogAndCueSheetWithTheStoredOffset)
{
    test::TempDir music;
    folderAnswer = music.path();
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    storeReadOffset(driveModel("demo:"), 30);
    open();
    content->onCommand(3);
    ASSERT_TRUE(content->discPage().converting());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->discPage().converting(); }, 120));
    std::map<std::string, std::string> files = folderFiles(music.path());
    std::string log, cue;
    size_t tracks = 0;
    for (const auto& [name, bytes] : files) {
        tracks += name.ends_with(".ogg") ? 1 : 0;
        if (name.ends_with(".log"))
            log = bytes;
        if (name.ends_with(".cue"))
            cue = bytes;
    }
    EXPECT_EQ(tracks, 4u);
    EXPECT_NE(log.find("Read offset: 30 samples"), std::string::npos) << log;
    EXPECT_NE(log.find("AccurateRip: no answer from 127.0.0.1:1"), std::string::npos) << log;
    EXPECT_EQ(countOf(log, "Status: done"), 4u) << log;
    EXPECT_NE(log.find("4 of 4 track(s) ripped whole"), std::string::npos) << log;
    for (int n = 1; n <= 4; ++n)
        EXPECT_NE(cue.find("FILE \"Track " + std::to_string(n) + ".ogg\" WAVE"), std::string::npos) << cue;
}

// Converting again into the same folder asks once: Keep both writes " (2)" files beside the
// untouched earlier ones, Cancel starts nothing, Replace writes over the earlier names.
TEST_F(MainWindow, FilesThatExistAreKeptCancelledOrReplacedAsTheQuestionIsAnswered)
{
    test::TempDir music;
    folderAnswer = music.path();
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    open();
    content->onCommand(3);
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->discPage().converting(); }, 120));
    const std::map<std::string, std::string> first = folderFiles(music.path());
    ASSERT_TRUE(first.count("Track 1.ogg")) << first.size();

    auto answer = [this](PushButton& (ExistingFilesDialog::*button)(), std::u16string* question) {
        injectStep([this, button, question] {
            ExistingFilesDialog* dialog = content->discPage().existingFilesDialog();
            ASSERT_NE(dialog, nullptr);
            *question = std::u16string(dialog->question().caption().view());
            press((dialog->*button)());
        });
    };
    std::u16string question;
    answer(&ExistingFilesDialog::keepBothButton, &question);
    content->onCommand(3);
    EXPECT_NE(question.find(u"Track 1.ogg"), std::u16string::npos) << "the question names the first file";
    ASSERT_TRUE(content->discPage().converting());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->discPage().converting(); }, 120));
    std::map<std::string, std::string> both = folderFiles(music.path());
    for (const auto& [name, bytes] : first)
        EXPECT_TRUE(both[name] == bytes) << name << " stays byte for byte";
    for (int n = 1; n <= 4; ++n)
        EXPECT_GT(both["Track " + std::to_string(n) + " (2).ogg"].size(), 4096u) << n;
    EXPECT_EQ(both.size(), 2 * first.size()) << "a second log and CUE sheet with \" (2)\" too";

    answer(&ExistingFilesDialog::cancelButton, &question);
    content->onCommand(3);
    EXPECT_FALSE(content->discPage().converting());
    EXPECT_EQ(folderFiles(music.path()).size(), both.size()) << "Cancel starts nothing";

    answer(&ExistingFilesDialog::replaceButton, &question);
    content->onCommand(3);
    ASSERT_TRUE(pumpUntil(ui, [&] { return !content->discPage().converting(); }, 120));
    std::map<std::string, std::string> replaced = folderFiles(music.path());
    EXPECT_EQ(replaced.size(), both.size()) << "no \" (3)\" names";
    for (int n = 1; n <= 4; ++n) {
        std::string name = "Track " + std::to_string(n) + ".ogg";
        // Each Vorbis stream has a random serial: a new file never equals the old one.
        EXPECT_FALSE(replaced[name] == first.at(name)) << name << " was replaced";
        EXPECT_GT(replaced[name].size(), 4096u) << name;
        EXPECT_TRUE(replaced["Track " + std::to_string(n) + " (2).ogg"] == both["Track " + std::to_string(n) + " (2).ogg"]);
    }
}

} // namespace
} // namespace tonvane
