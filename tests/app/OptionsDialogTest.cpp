// View > Options on the headless backend: each control's stored value after OK and none after
// Cancel, stored values out of range shown as the defaults, Detect against the demo drive with a
// read offset and an AccurateRip record served on 127.0.0.1, the run's AccurateRip server in a
// conversion, the update check turned off, and the properties dialog's Cancel storing nothing.
#include "MainWindowFixture.h"
#include "FakeHttpServer.h"
#include "app/window/EncoderPropertiesDialog.h"
#include "app/window/OptionsDialog.h"
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/rip/DiscLoader.h"
#include "controls/theme/StyleBits.h"
#include "core/settings/SettingsDefaults.h"
#include "session/DriveModel.h"
#include "session/RipPreferences.h"
#include "support/TempDir.h"
#include "windowing/message/KeyCodes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace tonvane {
namespace {

struct Options : test::MainWindowFixture {
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
        settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    }
    std::string settingsBytes() const
    {
        std::ifstream in(config.path() + "/tonvane/settings.reg", std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    bool pumpUntil(const std::function<bool()>& done, int seconds = 20)
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
    // Typing over the whole entry; nothing typed empties it.
    static void type(TextEntry& entry, const std::string& text)
    {
        entry.selectAll();
        if (text.empty())
            entry.onKeyDown(vk::VK_DELETE);
        else
            entry.onText(text);
    }
    static void press(PushButton& button)
    {
        button.onMouse(MouseAction::LeftDown, 10, 10);
        button.onMouse(MouseAction::LeftUp, 10, 10);
    }
    // The demo disc's audio tracks as the dialog's setup wants them.
    static OptionsDialog::Setup demoSetup(const std::string& drive, const std::string& server)
    {
        ConversionJob job;
        EXPECT_TRUE(loadDisc(job, drive).loaded);
        OptionsDialog::Setup setup;
        setup.drive = drive;
        for (int32_t i = 0; i < job.count; ++i)
            setup.tracks.push_back({job.tracks[size_t(i)].trackNumber, job.tracks[size_t(i)].start,
                                    job.tracks[size_t(i)].length});
        setup.accurateRipServer = server;
        return setup;
    }
};

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
        putLe32(block, 0x12345678); // the whole-track checksum: not used by the search
        putLe32(block, sectorChecksum(sector.data()));
    }
    return block;
}

TEST_F(Options, TheViewMenusItemOpensTheDialogAndEscClosesIt)
{
    open();
    EXPECT_TRUE(isItemEnabled(content->menuBar().tree(), kTextOptions));
    bool seen = false;
    injectStep([&] {
        OptionsDialog* dialog = content->optionsDialog();
        seen = dialog != nullptr;
        if (dialog != nullptr)
            dialog->keyDown(vk::VK_ESCAPE);
    });
    std::string before = settingsBytes();
    content->onCommand(kTextOptions); // runs the dialog's modal loop until it closes
    EXPECT_TRUE(seen);
    EXPECT_EQ(content->optionsDialog(), nullptr);
    EXPECT_EQ(settingsBytes(), before) << "Esc stores nothing";
}

// Each control changes its own stored value on OK and nothing on Cancel (or Esc).
TEST_F(Options, EachControlStoresItsValueOnOkAndNothingOnCancel)
{
    settings::writeString(product::kProductKey, settings::kFreeDbKey, settings::kValueServer, u"cddb.example:8880");
    open();
    struct Case {
        const char* name;
        std::function<void(OptionsDialog&)> change;
        std::function<void(RipPreferences&)> expect; // applied to the preferences before
    } cases[] = {
        {"secure", [](OptionsDialog& d) { d.readModeBox().choose(1); },
         [](RipPreferences& p) { p.readMode = ReadMode::Secure; }},
        {"test and copy", [](OptionsDialog& d) { d.readModeBox().choose(2); },
         [](RipPreferences& p) { p.readMode = ReadMode::TestAndCopy; }},
        {"CDDB only", [](OptionsDialog& d) { d.metadataBox().choose(1); },
         [](RipPreferences& p) { p.metadata = MetadataSources::CddbOnly; }},
        {"no metadata", [](OptionsDialog& d) { d.metadataBox().choose(2); },
         [](RipPreferences& p) { p.metadata = MetadataSources::None; }},
        {"built-in CDDB server", [](OptionsDialog& d) { type(d.serverEntry(OptionsDialog::kCddbServer), ""); },
         [](RipPreferences& p) { p.cddbServer = "gnudb.gnudb.org:8880"; }},
        {"CDDB server", [](OptionsDialog& d) { type(d.serverEntry(OptionsDialog::kCddbServer), " freedb.test:8000 "); },
         [](RipPreferences& p) { p.cddbServer = "freedb.test:8000"; }},
        {"MusicBrainz server",
         [](OptionsDialog& d) { type(d.serverEntry(OptionsDialog::kMusicBrainzServer), "http://mb.test:5000/"); },
         [](RipPreferences& p) { p.musicBrainzServer = "http://mb.test:5000"; }},
        {"cover art server",
         [](OptionsDialog& d) { type(d.serverEntry(OptionsDialog::kCoverArtServer), "  HTTPS://covers.test/caa "); },
         [](RipPreferences& p) { p.coverArtServer = "HTTPS://covers.test/caa"; }},
        {"AccurateRip server",
         [](OptionsDialog& d) { type(d.serverEntry(OptionsDialog::kAccurateRipServer), "127.0.0.1:65535"); },
         [](RipPreferences& p) { p.accurateRipServer = "127.0.0.1:65535"; }},
        {"AccurateRip", [](OptionsDialog& d) { d.accurateRipBox().onMouse(MouseAction::LeftDown, 4, 4); },
         [](RipPreferences& p) { p.accurateRip = !p.accurateRip; }},
        {"cover", [](OptionsDialog& d) { d.coverArtBox().onMouse(MouseAction::LeftDown, 4, 4); },
         [](RipPreferences& p) { p.coverArt = !p.coverArt; }},
        {"folder per album", [](OptionsDialog& d) { d.folderPerAlbumBox().onMouse(MouseAction::LeftDown, 4, 4); },
         [](RipPreferences& p) { p.folderPerAlbum = !p.folderPerAlbum; }},
        {"ReplayGain", [](OptionsDialog& d) { d.replayGainBox().onMouse(MouseAction::LeftDown, 4, 4); },
         [](RipPreferences& p) { p.replayGain = !p.replayGain; }},
        {"update check", [](OptionsDialog& d) { d.updateCheckBox().onMouse(MouseAction::LeftDown, 4, 4); },
         [](RipPreferences& p) { p.updateCheck = !p.updateCheck; }},
    };
    for (const Case& c : cases) {
        // Cancel, Esc: the file is byte for byte what it was.
        for (bool byKey : {false, true}) {
            std::string before = settingsBytes();
            OptionsDialog dialog(*window, {});
            c.change(dialog);
            if (byKey)
                dialog.keyDown(vk::VK_ESCAPE);
            else
                press(dialog.cancelButton());
            EXPECT_EQ(dialog.result, OptionsDialog::kCancel) << c.name;
            EXPECT_EQ(settingsBytes(), before) << c.name << (byKey ? " (Esc)" : " (Cancel)");
        }
        // OK: this value changed, every other one as it was.
        RipPreferences expected = loadRipPreferences();
        c.expect(expected);
        OptionsDialog dialog(*window, {});
        c.change(dialog);
        press(dialog.okButton());
        EXPECT_EQ(dialog.result, OptionsDialog::kOk) << c.name;
        RipPreferences stored = loadRipPreferences();
        EXPECT_EQ(stored.readMode, expected.readMode) << c.name;
        EXPECT_EQ(stored.metadata, expected.metadata) << c.name;
        EXPECT_EQ(stored.cddbServer, expected.cddbServer) << c.name;
        EXPECT_EQ(stored.musicBrainzServer, expected.musicBrainzServer) << c.name;
        EXPECT_EQ(stored.coverArtServer, expected.coverArtServer) << c.name;
        EXPECT_EQ(stored.accurateRipServer, expected.accurateRipServer) << c.name;
        EXPECT_EQ(stored.accurateRip, expected.accurateRip) << c.name;
        EXPECT_EQ(stored.coverArt, expected.coverArt) << c.name;
        EXPECT_EQ(stored.folderPerAlbum, expected.folderPerAlbum) << c.name;
        EXPECT_EQ(stored.replayGain, expected.replayGain) << c.name;
        EXPECT_EQ(stored.updateCheck, expected.updateCheck) << c.name;
    }
    // Return is OK, unless Cancel has the focus.
    {
        OptionsDialog dialog(*window, {});
        dialog.readModeBox().choose(0);
        dialog.cancelButton().takeFocus();
        dialog.keyDown(vk::VK_RETURN);
        EXPECT_EQ(dialog.result, OptionsDialog::kCancel);
        EXPECT_EQ(loadRipPreferences().readMode, ReadMode::TestAndCopy);
    }
    OptionsDialog dialog(*window, {});
    dialog.readModeBox().choose(0);
    dialog.keyDown(vk::VK_RETURN);
    EXPECT_EQ(dialog.result, OptionsDialog::kOk);
    EXPECT_EQ(loadRipPreferences().readMode, ReadMode::Single);
}

// An edited server entry that is no address: OK leaves the dialog open with the reason under the
// servers and the entry focused with its text selected, and stores nothing; mended, OK stores.
TEST_F(Options, AServerEntryThatIsNoAddressIsRefusedWithItsReason)
{
    using Fault = OptionsDialog::ServerFault;
    open();
    struct Case {
        OptionsDialog::Server server;
        const char* typed;
        Fault fault;
        const char16_t* reason;
    } cases[] = {
        {OptionsDialog::kCddbServer, "cddb test:8880", Fault::NotHostPort,
         u"CDDB server: write HOST or HOST:PORT, without spaces"},
        {OptionsDialog::kCddbServer, ":8880", Fault::NotHostPort, u"CDDB server: write HOST or HOST:PORT, without spaces"},
        {OptionsDialog::kCddbServer, "http://cddb.test", Fault::NotHostPort,
         u"CDDB server: write HOST or HOST:PORT, without spaces"},
        {OptionsDialog::kCddbServer, "cddb.test:0", Fault::BadPort, u"CDDB server: the port must be a number from 1 to 65535"},
        {OptionsDialog::kCddbServer, "cddb.test:65536", Fault::BadPort,
         u"CDDB server: the port must be a number from 1 to 65535"},
        {OptionsDialog::kCddbServer, "cddb.test:", Fault::BadPort, u"CDDB server: the port must be a number from 1 to 65535"},
        {OptionsDialog::kAccurateRipServer, "ar.test:80x", Fault::BadPort,
         u"AccurateRip server: the port must be a number from 1 to 65535"},
        {OptionsDialog::kAccurateRipServer, "ar.test:-1", Fault::BadPort,
         u"AccurateRip server: the port must be a number from 1 to 65535"},
        {OptionsDialog::kAccurateRipServer, "ar.test/path", Fault::NotHostPort,
         u"AccurateRip server: write HOST or HOST:PORT, without spaces"},
        {OptionsDialog::kMusicBrainzServer, "musicbrainz.org", Fault::NotUrl,
         u"MusicBrainz server: an http:// or https:// address, without spaces"},
        {OptionsDialog::kMusicBrainzServer, "ftp://mb.test", Fault::NotUrl,
         u"MusicBrainz server: an http:// or https:// address, without spaces"},
        {OptionsDialog::kMusicBrainzServer, "https://", Fault::NotUrl,
         u"MusicBrainz server: an http:// or https:// address, without spaces"},
        {OptionsDialog::kCoverArtServer, "http://covers test/", Fault::NotUrl,
         u"Cover art server: an http:// or https:// address, without spaces"},
        {OptionsDialog::kCoverArtServer, "http://covers.test:99999/caa", Fault::NotUrl,
         u"Cover art server: an http:// or https:// address, without spaces"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        std::string before = settingsBytes();
        OptionsDialog dialog(*window, {});
        dialog.readModeBox().choose(2); // another change OK would store
        TextEntry& entry = dialog.serverEntry(c.server);
        type(entry, c.typed);
        press(dialog.okButton());
        EXPECT_EQ(dialog.result, OptionsDialog::kCancel) << "OK did not end the dialog";
        EXPECT_EQ(dialog.serverFault(), c.fault);
        EXPECT_EQ(std::u16string(dialog.serverFaultLabel().caption().view()), c.reason);
        EXPECT_EQ(settingsBytes(), before) << "nothing is stored while an entry is wrong";
        EXPECT_TRUE(entry.hasFocus());
        EXPECT_EQ(entry.selectedText(), c.typed) << "selected, so typing replaces it";
        // Return in the entry is OK, refused the same way.
        dialog.keyDown(vk::VK_RETURN);
        EXPECT_EQ(dialog.result, OptionsDialog::kCancel);
        EXPECT_EQ(settingsBytes(), before);

        type(entry, ""); // the built-in server again
        press(dialog.okButton());
        EXPECT_EQ(dialog.result, OptionsDialog::kOk);
        EXPECT_EQ(dialog.serverFault(), Fault::None);
        EXPECT_TRUE(dialog.serverFaultLabel().caption().view().empty());
        EXPECT_EQ(loadRipPreferences().readMode, ReadMode::TestAndCopy);
        settings::writeDword(product::kProductKey, u"\\Options", u"ReadMode", 0);
    }
}

// The run's servers (--server and the like) are shown, but an OK that changed something else
// keeps the stored ones; an edited entry stores what was typed and only that server.
TEST_F(Options, TheRunsServersAreShownButStoredOnlyWhenEdited)
{
    settings::writeString(product::kProductKey, settings::kFreeDbKey, settings::kValueServer, u"stored.cddb:8880");
    settings::writeString(product::kProductKey, u"\\Options", u"MusicBrainzServer", u"http://stored.mb");
    open();
    OptionsDialog::Setup setup;
    setup.run.cddbServer = "run.cddb:1234";
    setup.run.musicBrainzServer = "http://run.mb:5000";
    setup.run.coverArtServer = "https://run.covers";
    setup.run.accurateRipServer = "run.ar:8080";
    const std::string shown[] = {"run.cddb:1234", "http://run.mb:5000", "https://run.covers", "run.ar:8080"};
    {
        OptionsDialog dialog(*window, setup);
        for (int32_t i = 0; i < OptionsDialog::kServerCount; ++i)
            EXPECT_EQ(dialog.serverEntry(OptionsDialog::Server(i)).text(), shown[i]) << "what is in force";
        dialog.metadataBox().choose(1);
        press(dialog.okButton());
        ASSERT_EQ(dialog.result, OptionsDialog::kOk);
    }
    RipPreferences stored = loadRipPreferences();
    EXPECT_EQ(stored.metadata, MetadataSources::CddbOnly);
    EXPECT_EQ(stored.cddbServer, "stored.cddb:8880");
    EXPECT_EQ(stored.musicBrainzServer, "http://stored.mb");
    EXPECT_EQ(stored.coverArtServer, "");
    EXPECT_EQ(stored.accurateRipServer, "");
    EXPECT_EQ(settingsBytes().find("run."), std::string::npos) << settingsBytes();

    // Edited: that entry is stored, the others stay as they were.
    OptionsDialog dialog(*window, setup);
    type(dialog.serverEntry(OptionsDialog::kCoverArtServer), "http://typed.covers");
    EXPECT_EQ(dialog.entryState(OptionsDialog::kCoverArtServer), OptionsDialog::EntryState::Edited);
    EXPECT_EQ(dialog.entryState(OptionsDialog::kCddbServer), OptionsDialog::EntryState::Shown);
    press(dialog.okButton());
    stored = loadRipPreferences();
    EXPECT_EQ(stored.coverArtServer, "http://typed.covers");
    EXPECT_EQ(stored.cddbServer, "stored.cddb:8880");
    EXPECT_EQ(stored.musicBrainzServer, "http://stored.mb");
    EXPECT_EQ(stored.accurateRipServer, "");
}

// Through View > Options of a run started with --server and --coverart-server: OK after another
// change stores neither; the cover art server typed over the run's is stored and in force after.
TEST_F(Options, TheWindowKeepsTheRunsServersUnlessThePersonTypesOverThem)
{
    runOptions.cddbServer = "run.cddb:1234";
    runOptions.coverArtServer = "https://run.covers";
    open();
    for (bool edit : {false, true}) {
        injectStep([&] {
            OptionsDialog* dialog = content->optionsDialog();
            ASSERT_NE(dialog, nullptr);
            dialog->replayGainBox().onMouse(MouseAction::LeftDown, 4, 4);
            if (edit)
                type(dialog->serverEntry(OptionsDialog::kCoverArtServer), "http://typed.covers");
            dialog->keyDown(vk::VK_RETURN);
        });
        content->onCommand(kTextOptions);
        RipPreferences stored = loadRipPreferences();
        EXPECT_EQ(stored.cddbServer, "");
        EXPECT_EQ(stored.coverArtServer, edit ? "http://typed.covers" : "");
    }
    EXPECT_EQ(runPreferences(content->runOptions()).cddbServer, "run.cddb:1234");
    EXPECT_EQ(runPreferences(content->runOptions()).coverArtServer, "http://typed.covers")
        << "the typed server replaces the run's from now on";
}

// Tab walks the controls top to bottom, then OK and Cancel, and around; Detect only when it can.
TEST_F(Options, TabWalksTheControlsTopToBottom)
{
    open();
    for (bool withDisc : {false, true}) {
        OptionsDialog dialog(*window, withDisc ? demoSetup("demo:", "127.0.0.1:1") : OptionsDialog::Setup{});
        std::vector<Widget*> expected = {&dialog.readModeBox(),
                                         &dialog.metadataBox(),
                                         &dialog.serverEntry(OptionsDialog::kCddbServer),
                                         &dialog.serverEntry(OptionsDialog::kMusicBrainzServer),
                                         &dialog.serverEntry(OptionsDialog::kCoverArtServer),
                                         &dialog.serverEntry(OptionsDialog::kAccurateRipServer),
                                         &dialog.accurateRipBox(), &dialog.coverArtBox(), &dialog.folderPerAlbumBox(),
                                         &dialog.replayGainBox(), &dialog.updateCheckBox()};
        if (withDisc)
            expected.push_back(&dialog.detectButton());
        expected.push_back(&dialog.okButton());
        expected.push_back(&dialog.cancelButton());
        expected.push_back(&dialog.readModeBox()); // around
        std::vector<Widget*> walked;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (!dialog.moveFocus(false, false))
                dialog.moveFocus(false, true); // past the last: from the first again
            walked.push_back(focusedWidget());
        }
        EXPECT_EQ(walked, expected) << (withDisc ? "with a disc" : "without a disc");
        press(dialog.cancelButton());
    }
}

// Values no version wrote read as the defaults, and OK writes the defaults back.
TEST_F(Options, StoredValuesOutOfRangeShowAsTheDefaults)
{
    const char16_t* options = u"\\Options";
    for (const char16_t* name : {u"AccurateRip", u"CoverArt", u"FolderPerAlbum", u"ReplayGain", u"UpdateCheck"})
        settings::writeDword(product::kProductKey, options, name, 7);
    settings::writeDword(product::kProductKey, options, u"ReadMode", 3);
    settings::writeDword(product::kProductKey, options, u"Metadata", 0xFFFFFFFF);
    open();
    OptionsDialog dialog(*window, {});
    EXPECT_EQ(dialog.readModeBox().chosen(), 0);
    EXPECT_EQ(dialog.metadataBox().chosen(), 0);
    // Nothing stored: each server entry is empty with the built-in server in grey.
    const char16_t* builtIn[] = {u"gnudb.gnudb.org:8880", u"https://musicbrainz.org", u"https://coverartarchive.org",
                                 u"www.accuraterip.com"};
    for (int32_t i = 0; i < OptionsDialog::kServerCount; ++i) {
        EXPECT_EQ(dialog.serverEntry(OptionsDialog::Server(i)).text(), "") << i;
        EXPECT_EQ(dialog.serverEntry(OptionsDialog::Server(i)).placeholder(), builtIn[i]) << i;
    }
    for (CheckBox* box : {&dialog.accurateRipBox(), &dialog.coverArtBox(), &dialog.replayGainBox(),
                          &dialog.updateCheckBox()})
        EXPECT_TRUE(box->ticked());
    EXPECT_FALSE(dialog.folderPerAlbumBox().ticked()) << "off by default: the files go into the folder chosen";
    EXPECT_FALSE(dialog.detectButton().isInteractive()) << "no disc: nothing to detect with";
    press(dialog.okButton());
    uint32_t value = 0;
    EXPECT_TRUE(settings::readDword(product::kProductKey, options, u"ReadMode", value));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(settings::readDword(product::kProductKey, options, u"AccurateRip", value));
    EXPECT_EQ(value, 1u);
    WideString server;
    EXPECT_FALSE(settings::readString(product::kProductKey, settings::kFreeDbKey, settings::kValueServer, server))
        << "the built-in server is not written while nothing else was chosen";
}

// Detect reads the demo drive (delivering its samples 667 late or 48 early) against a record
// served here: the answer shows, and OK stores it for the drive's model; Cancel does not.
TEST_F(Options, DetectFindsTheDrivesOffsetAndOkStoresItForTheModel)
{
    const AccurateRipDiscId id = demoId();
    test::FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    open();
    for (int32_t offset : {667, -48}) {
        std::string drive = "demo:offset=" + std::to_string(offset);
        for (bool accept : {false, true}) {
            std::filesystem::remove_all(cache.path() + "/tonvane"); // ask the server each time
            OptionsDialog dialog(*window, demoSetup(drive, server.address()));
            ASSERT_TRUE(dialog.detectButton().isInteractive());
            press(dialog.detectButton());
            EXPECT_TRUE(dialog.detectState() == OptionsDialog::DetectState::Asking
                        || dialog.detectState() == OptionsDialog::DetectState::Reading);
            EXPECT_FALSE(dialog.detectButton().isInteractive()) << "one search at a time";
            ASSERT_TRUE(pumpUntil([&] { return !dialog.detecting(); }));
            ASSERT_TRUE(pumpUntil([&] { return dialog.detectState() == OptionsDialog::DetectState::Found; }))
                << std::string(dialog.detectLabel().caption().view().begin(), dialog.detectLabel().caption().view().end());
            EXPECT_EQ(dialog.detectedOffset(), offset);
            char expected[64];
            std::snprintf(expected, sizeof expected, "%+d samples (4 tracks agree)", offset);
            std::u16string shown(dialog.detectLabel().caption().view());
            EXPECT_EQ(shown, std::u16string(expected, expected + std::strlen(expected)));
            EXPECT_EQ(dialog.detectBar().style() & style::kVisible, 0u) << "the bar goes with the search";
            press(accept ? dialog.okButton() : dialog.cancelButton());
            std::optional<int32_t> stored = storedReadOffset(driveModel(drive));
            if (accept)
                EXPECT_EQ(stored, offset);
            else
                EXPECT_NE(stored, offset) << "Cancel stores no offset";
        }
    }
    EXPECT_FALSE(server.paths().empty());
}

// Detect asks the AccurateRip server typed in the dialog (over the run's, which does not answer).
TEST_F(Options, DetectAsksTheAccurateRipServerTypedInTheDialog)
{
    const AccurateRipDiscId id = demoId();
    test::FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    open();
    OptionsDialog dialog(*window, demoSetup("demo:offset=30", "127.0.0.1:" + std::to_string(test::unusedLocalPort())));
    type(dialog.serverEntry(OptionsDialog::kAccurateRipServer), " " + server.address() + " ");
    press(dialog.detectButton());
    ASSERT_TRUE(pumpUntil([&] { return !dialog.detecting(); }));
    ASSERT_TRUE(pumpUntil([&] { return dialog.detectState() != OptionsDialog::DetectState::Reading; }));
    EXPECT_EQ(dialog.detectState(), OptionsDialog::DetectState::Found);
    EXPECT_EQ(dialog.detectedOffset(), 30);
    EXPECT_EQ(server.paths(), std::vector<std::string>{accurateRipPath(id)});
    press(dialog.cancelButton());
}

// A disc AccurateRip does not know, or a server that does not answer: "No answer" and why;
// nothing is stored on OK. Closing the dialog during a search ends it.
TEST_F(Options, DetectWithoutARecordSaysWhyAndClosingStopsTheSearch)
{
    test::FakeHttpServer unknown("/nothing", "");
    open();
    struct Case {
        std::string server;
        const char16_t* text;
    } cases[] = {
        {unknown.address(), u"No answer: AccurateRip does not know this disc"},
        {"127.0.0.1:" + std::to_string(test::unusedLocalPort()), u"No answer: AccurateRip does not answer"},
    };
    for (const Case& c : cases) {
        OptionsDialog dialog(*window, demoSetup("demo:offset=30", c.server));
        press(dialog.detectButton());
        ASSERT_TRUE(pumpUntil([&] { return dialog.detectState() == OptionsDialog::DetectState::NoAnswer; }));
        EXPECT_EQ(std::u16string(dialog.detectLabel().caption().view()), c.text);
        EXPECT_TRUE(dialog.detectButton().isInteractive()) << "it may be tried again";
        press(dialog.okButton());
        EXPECT_EQ(storedReadOffset(driveModel("demo:offset=30")), std::nullopt);
    }
    // A server that holds its answer: the dialog closes at once and its thread is gone.
    const AccurateRipDiscId id = demoId();
    std::atomic<bool> release{false}; // outlives the server that reads it
    test::FakeHttpServer slow(accurateRipPath(id), demoRecord(id));
    slow.holdAnswersUntil([&] { return release.load(); }, 30000);
    {
        OptionsDialog dialog(*window, demoSetup("demo:", slow.address()));
        press(dialog.detectButton());
        ASSERT_TRUE(pumpUntil([&] { return !slow.paths().empty(); }));
        EXPECT_TRUE(dialog.detecting());
        press(dialog.cancelButton());
        EXPECT_FALSE(dialog.detecting()) << "Cancel joined the search";
        EXPECT_EQ(dialog.detectState(), OptionsDialog::DetectState::Idle);
    }
    release = true;
    EXPECT_EQ(storedReadOffset(driveModel("demo:")), std::nullopt);
}

// --accuraterip-server of this run reaches the conversion (over a stored server) and is not
// stored; --no-accuraterip asks no server at all.
TEST_F(Options, TheRunsAccurateRipServerReachesTheConversion)
{
    const AccurateRipDiscId id = demoId();
    test::FakeHttpServer standIn(accurateRipPath(id), demoRecord(id));
    test::TempDir music;
    folderAnswer = music.path();
    runOptions.accurateRipServer = standIn.address();
    open();
    content->onCommand(3);
    ASSERT_TRUE(content->discPage().converting());
    ASSERT_TRUE(pumpUntil([&] { return !content->discPage().converting(); }, 120));
    EXPECT_EQ(standIn.paths(), std::vector<std::string>{accurateRipPath(id)});
    EXPECT_TRUE(loadRipPreferences().accurateRipServer.empty()) << "the run's server is not stored";
    WideString stored;
    ASSERT_TRUE(settings::readString(product::kProductKey, u"\\AccurateRip", u"Server", stored));
    EXPECT_EQ(stored.toUtf8(), "127.0.0.1:1");
}

TEST_F(Options, NoAccurateRipForTheRunAsksNoServer)
{
    const AccurateRipDiscId id = demoId();
    test::FakeHttpServer standIn(accurateRipPath(id), demoRecord(id));
    settings::writeString(product::kProductKey, u"\\Options", u"AccurateRipServer",
                          WideString::fromUtf8(standIn.address()).view());
    test::TempDir music;
    folderAnswer = music.path();
    runOptions.noAccurateRip = true;
    open();
    content->onCommand(3);
    ASSERT_TRUE(pumpUntil([&] { return !content->discPage().converting(); }, 120));
    EXPECT_TRUE(standIn.paths().empty());
    EXPECT_TRUE(loadRipPreferences().accurateRip) << "the run's choice is not stored";
}

// The stored choices reach the conversion: a folder per album below the chosen folder.
TEST_F(Options, AFolderPerAlbumHoldsTheFilesWhenItIsOn)
{
    settings::writeDword(product::kProductKey, u"\\Options", u"FolderPerAlbum", 1);
    test::TempDir music;
    folderAnswer = music.path();
    open();
    content->onCommand(3);
    ASSERT_TRUE(pumpUntil([&] { return !content->discPage().converting(); }, 120));
    char name[32];
    std::snprintf(name, sizeof name, "Unknown disc %08x", demoId().id3);
    EXPECT_TRUE(std::filesystem::exists(music.path() + "/" + name + "/Track 1.ogg")) << name;
    EXPECT_FALSE(std::filesystem::exists(music.path() + "/Track 1.ogg"));
}

// Update check off: the start-up cleans up but starts no delayed check; the menu's check runs.
TEST_F(Options, TheUpdateCheckTurnedOffStartsNoDelayedCheck)
{
    for (bool on : {true, false}) {
        settings::writeDword(product::kProductKey, u"\\Options", u"UpdateCheck", on ? 1 : 0);
        open();
        EXPECT_EQ(content->updater()->delayedCheckStarted(), on);
        content->stopWorkers();
        window.reset();
        content.reset();
    }
}

// The properties dialog stores nothing while open and nothing on Cancel; OK stores the format
// picked, each quality picked, and ApplyAll.
TEST_F(Options, ThePropertiesDialogsCancelStoresNothing)
{
    settings::writeDword(product::kProductKey, settings::kEncodersKey, settings::kValueFlacQuality, 5);
    open();
    std::string before = settingsBytes();
    {
        EncoderPropertiesDialog dialog(*window, 1, -1);
        dialog.formatBox().choose(2);
        EXPECT_EQ(dialog.qualityBox().chosen(), 5) << "the stored FLAC quality";
        dialog.qualityBox().choose(2);
        dialog.applyAllBox().onMouse(MouseAction::LeftDown, 4, 4);
        press(dialog.cancelButton());
        EXPECT_EQ(dialog.result, EncoderPropertiesDialog::kCancel);
    }
    EXPECT_EQ(settingsBytes(), before) << "Cancel stored something";

    // OK: the choices go in once the caller stores them.
    EncoderPropertiesDialog dialog(*window, 1, -1);
    dialog.formatBox().choose(2);
    dialog.qualityBox().choose(3);
    dialog.formatBox().choose(0);
    dialog.formatBox().choose(2);
    EXPECT_EQ(dialog.qualityBox().chosen(), 3) << "the row picked before, not the stored one";
    dialog.applyAllBox().onMouse(MouseAction::LeftDown, 4, 4);
    EXPECT_EQ(settingsBytes(), before) << "nothing is stored while the dialog is open";
    dialog.storeChoices();
    uint32_t value = 0;
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueDefaultFormat, value));
    EXPECT_EQ(value, 2u);
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueFlacQuality, value));
    EXPECT_EQ(value, 3u);
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueApplyAll, value));
    EXPECT_EQ(value, 0u);
}

} // namespace
} // namespace tonvane
