// A conversion in the window as a person follows it: each row's end state (against an
// AccurateRip stand-in on 127.0.0.1 serving the demo disc's record, a 404, a refused port and a
// drive with unreadable sectors), the failure's reason under the pointer, a red bar for a track
// that is not whole, Stop (the button and Esc) leaving no partial file, the summary in the
// status bar and the two links, which hand the folder and the log to the opener.
#include "AccurateRipRecord.h"
#include "FakeHttpServer.h"
#include "MainWindowFixture.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "core/settings/SettingsDefaults.h"
#include "session/RipPreferences.h"
#include "windowing/message/KeyCodes.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace tonvane {
namespace {

constexpr int32_t kWav = 3; // EncoderFormat: no encoder's time in these tests

template <typename Done>
bool pumpUntil(UiThread& ui, Done done, int seconds = 60)
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

std::string trackPcm(const EmulatedTrack& track)
{
    std::string bytes(size_t{track.length} * 2352, '\0');
    demoDrive()->disc()->readSectors(track.start, track.length, reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
}

AccurateRipDiscId demoId()
{
    std::vector<DiscIdTrack> tracks;
    for (const EmulatedTrack& track : demoDrive()->disc()->tracks())
        tracks.push_back({track.start, track.kind == TrackKind::Audio});
    return *accurateRipDiscId(tracks, demoDrive()->disc()->leadOut());
}

std::string demoRecord(uint8_t confidence)
{
    std::vector<std::string> tracks;
    for (const EmulatedTrack& track : demoDrive()->disc()->tracks())
        tracks.push_back(trackPcm(track));
    return test::accurateRipRecordOf(demoId(), tracks, confidence);
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }
bool reddish(uint32_t p) { return channel(p, 16) > channel(p, 8) + 60 && channel(p, 16) > channel(p, 0) + 60; }
bool greenish(uint32_t p) { return channel(p, 8) > channel(p, 16) + 60 && channel(p, 8) > channel(p, 0) + 60; }

struct ConversionFollow : test::MainWindowFixture {
    test::TempDir music;

    void SetUp() override
    {
        MainWindowFixture::SetUp();
        settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
        settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        demoDrive()->setFaults(EmulatedFaults{});
    }
    DiscPage& page() { return content->discPage(); }
    void allWav()
    {
        for (int32_t i = 0; i < page().job().count; ++i)
            page().job().tracks[size_t(i)].format = kWav;
    }
    void useServer(const std::string& address)
    {
        settings::writeString(product::kProductKey, u"\\AccurateRip", u"Server",
                              std::u16string(WideString::fromUtf8(address).view()));
    }
    void secure()
    {
        RipPreferences preferences;
        preferences.readMode = ReadMode::Secure;
        ASSERT_TRUE(storeRipPreferences(preferences));
    }
    // Until the page has shown the end: the log written, the follower told, the button back.
    bool waitForEnd(int seconds = 120)
    {
        return pumpUntil(ui, [&] {
            return !page().converting() && page().follower().ended()
                && page().convertButton().caption().id == kTextConvert;
        }, seconds);
    }
    // Convert into music/name and wait for the end.
    void convertInto(const std::string& name)
    {
        folderAnswer = music.path() + "/" + name;
        content->onCommand(3);
        ASSERT_TRUE(page().converting());
        ASSERT_TRUE(waitForEnd()) << name;
    }
    // The pixels of a row's progress bar in the last picture.
    std::vector<uint32_t> barPixels(int32_t row)
    {
        window->repaint();
        HeadlessBackend::WindowRecord record = backend.window(window->id());
        IntRect listRect = page().trackList().windowRect();
        IntRect item = page().trackList().itemRect(row);
        std::vector<uint32_t> pixels;
        for (int32_t y = item.y0 + 10; y < item.y0 + 22; ++y)
            for (int32_t x = item.x0 + 74; x < item.x1 - 10; ++x)
                pixels.push_back(record.pixel(window->marginLeft() + listRect.x0 + x,
                                              window->marginTop() + window->height() - 1 - (listRect.y0 + y)));
        return pixels;
    }
    void moveTo(int32_t row, int32_t xFromRight, int32_t y)
    {
        IntRect listRect = page().trackList().windowRect();
        IntRect item = page().trackList().itemRect(row);
        Message move{window->id(), msg::WM_MOUSEMOVE, 0};
        move.x = window->marginLeft() + listRect.x0 + item.x1 - xFromRight;
        move.y = window->marginTop() + window->height() - (listRect.y0 + item.y0 + y);
        ui.dispatch(move);
    }
};

TEST_F(ConversionFollow, EachRowShowsItsEndStateAndAFailedTracksBarIsRedWithItsReasonUnderThePointer)
{
    secure();
    const AccurateRipDiscId id = demoId();
    test::FakeHttpServer record(accurateRipPath(id), demoRecord(5));
    test::FakeHttpServer empty("/nothing-here", "");
    const EmulatedTrack second = demoDrive()->disc()->tracks()[1];
    struct Case {
        const char* name;
        std::string server;
        std::vector<ReadFault> faults;
        std::vector<std::u16string> words;
        std::u16string summary;
    };
    const std::u16string accurate = u"Accurate (confidence 5)";
    const std::vector<Case> cases = {
        {"unknown", empty.address(), {}, std::vector<std::u16string>(4, u"Not in the database"),
         u"4 of 4 tracks whole, 0 accurate"},
        {"refused", "127.0.0.1:1", {}, std::vector<std::u16string>(4, u"Not checked"), u"4 of 4 tracks whole, 0 accurate"},
        // From here on the record is in the cache (only records that parse are kept).
        {"accurate", record.address(), {}, {accurate, accurate, accurate, accurate}, u"4 of 4 tracks whole, 4 accurate"},
        // Two sectors of the second track never read: it fails, the others stay accurate.
        {"damaged", record.address(), {{second.start + 300}, {second.start + 301}},
         {accurate, u"Failed", accurate, accurate}, u"3 of 4 tracks whole, 3 accurate"},
    };
    open();
    allWav();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useServer(c.server);
        EmulatedFaults faults;
        faults.readFaults = c.faults;
        demoDrive()->setFaults(faults);
        convertInto(c.name);
        ASSERT_TRUE(page().follower().ended());
        for (int32_t row = 0; row < 4; ++row)
            EXPECT_EQ(ConversionFollower::wordOf(page().follower().row(row)), c.words[size_t(row)]) << "row " << row;
        EXPECT_EQ(content->statusBar().paneText(0), c.summary);
        EXPECT_EQ(content->statusBar().owner(0), StatusOwner::Conversion);
        for (int32_t row = 0; row < 4; ++row) {
            std::vector<uint32_t> bar = barPixels(row);
            size_t red = size_t(std::count_if(bar.begin(), bar.end(), reddish));
            size_t green = size_t(std::count_if(bar.begin(), bar.end(), greenish));
            bool failed = page().follower().row(row).state == RowState::Failed;
            // The theme's bar shades its ends and edges: most of it is the fill's colour.
            EXPECT_GT(failed ? red : green, bar.size() * 6 / 10) << "row " << row;
            EXPECT_EQ(failed ? green : red, 0u) << "row " << row;
        }
    }
    // The failed row's reason shows while the pointer rests on its state, in a tip and in the
    // status bar; the summary comes back when the pointer leaves.
    moveTo(1, 30, 44);
    EXPECT_EQ(page().reasonShown(), 1);
    EXPECT_EQ(content->statusBar().paneText(0), u"2 sectors could not be read");
    EXPECT_TRUE(page().titleTip().visibleInWindow());
    moveTo(0, 30, 44); // an accurate row has no reason
    EXPECT_EQ(page().reasonShown(), -1);
    EXPECT_FALSE(page().titleTip().visibleInWindow());
    EXPECT_EQ(content->statusBar().paneText(0), u"3 of 4 tracks whole, 3 accurate");
    EXPECT_EQ(content->statusBar().owner(0), StatusOwner::Conversion);
    std::vector<std::string> damaged = namesIn(music.path() + "/damaged");
    EXPECT_EQ(std::count(damaged.begin(), damaged.end(), "Track 2.wav"), 0) << "a failed track leaves no file";
}

// Stop, by the button (which reads "Stop" while converting) and by Esc: the session's orderly
// stop. The tracks it cut short leave no file and no temporary file; the log says the rip was
// interrupted; the rows read "Stopped"; the button reads Convert again.
TEST_F(ConversionFollow, StopByTheButtonOrEscLeavesNoPartialFileAndMarksTheStoppedRows)
{
    EmulatedFaults slow;
    slow.sectorsPerSecond = 1500; // the demo disc takes about five seconds
    open();
    allWav();
    for (bool byButton : {true, false}) {
        SCOPED_TRACE(byButton ? "button" : "Esc");
        demoDrive()->setFaults(slow);
        std::string folder = music.path() + (byButton ? "/button" : "/esc");
        folderAnswer = folder;
        content->onCommand(3);
        ASSERT_TRUE(page().converting());
        EXPECT_EQ(page().convertButton().caption().view(), u"Stop");
        EXPECT_TRUE(page().convertButton().isInteractive());
        // The first track under way in this conversion (its progress of the last one is stale
        // until the session's first event).
        ASSERT_TRUE(pumpUntil(ui, [&] {
            return page().follower().row(0).state == RowState::Converting && page().job().tracks[0].progress.load() > 0.2;
        }, 30));
        if (byButton)
            click(page().convertButton(), 20, 12);
        else
            ui.dispatch(Message{window->id(), msg::WM_KEYDOWN, vk::VK_ESCAPE});
        EXPECT_TRUE(page().stopping());
        EXPECT_FALSE(page().convertButton().isInteractive()) << "pressed once: disabled until the end";
        ASSERT_TRUE(waitForEnd(60));
        EXPECT_EQ(page().convertButton().caption().view(), u"Convert");
        EXPECT_TRUE(page().convertButton().isInteractive());
        const SessionOutcome& outcome = page().follower().outcome();
        EXPECT_TRUE(outcome.interrupted);
        int32_t stopped = 0;
        for (int32_t row = 0; row < 4; ++row) {
            RowState state = page().follower().row(row).state;
            stopped += state == RowState::Stopped ? 1 : 0;
            bool file = std::filesystem::exists(folder + "/Track " + std::to_string(row + 1) + ".wav");
            EXPECT_EQ(file, state != RowState::Stopped) << "row " << row;
        }
        EXPECT_GE(stopped, 2) << "the first track and those never reached";
        EXPECT_EQ(ConversionFollower::wordOf(page().follower().row(3)), u"Stopped");
        for (const std::string& name : namesIn(folder))
            EXPECT_FALSE(name.ends_with(".part")) << name;
        std::string log = test::readFile(outcome.logPath);
        EXPECT_NE(log.find("Interrupted: the rip was stopped"), std::string::npos) << log;
        EXPECT_EQ(content->statusBar().paneText(0),
                  u"" + std::u16string(WideString::fromUtf8(std::to_string(outcome.whole)).view()) + u" of 4 tracks whole, 0 accurate");
        EXPECT_FALSE(outcome.cuePath.size()) << "no CUE sheet for an incomplete rip";
    }
}

// The two links of the end open the folder and the log through the opener (here a script that
// records its arguments); an update check's result never covers the summary, and the next
// conversion takes the links away until it ends.
TEST_F(ConversionFollow, TheLinksOpenTheFolderAndTheLogAndTheSummaryOutlivesAnUpdateResult)
{
    test::TempDir tools;
    std::string record = tools.file("opened");
    std::string script = tools.file("opener");
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << record << "'\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    openProgram = script;
    open();
    allWav();
    EXPECT_FALSE(page().openFolderLink().isInteractive());
    convertInto("links");
    const SessionOutcome& outcome = page().follower().outcome();
    ASSERT_FALSE(outcome.logPath.empty());
    ASSERT_TRUE(page().openFolderLink().isInteractive());
    ASSERT_TRUE(page().showLogLink().isInteractive());
    click(page().showLogLink(), 4, 12);
    click(page().openFolderLink(), 4, 12);
    auto lines = [&] { return test::readFile(record); };
    ASSERT_TRUE(pumpUntil(ui, [&] {
        std::string text = lines();
        return std::count(text.begin(), text.end(), '\n') == 2;
    }, 10)) << lines();
    // Each opener runs on a thread of its own: the two may write in either order.
    std::string both = lines();
    EXPECT_TRUE(both == outcome.logPath + "\n" + music.path() + "/links\n"
                || both == music.path() + "/links\n" + outcome.logPath + "\n")
        << both;

    // The update check's texts wait behind the summary.
    std::u16string summary = content->statusBar().paneText(0);
    EXPECT_EQ(summary, u"4 of 4 tracks whole, 0 accurate");
    content->updateUi()->showStatus(kTextNoUpdates);
    content->updateUi()->clearStatus();
    EXPECT_EQ(content->statusBar().paneText(0), summary);

    folderAnswer = music.path() + "/again";
    content->onCommand(3);
    ASSERT_TRUE(page().converting());
    EXPECT_FALSE(page().showLogLink().isInteractive()) << "the last conversion's links go";
    EXPECT_EQ(content->statusBar().paneText(0), u"");
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(page().showLogLink().isInteractive());
}

TEST_F(ConversionFollow, ReportsFasterThanTheWindowPaintsQueueOneRepaintAndTheNewestTime)
{
    // The rip and encoder threads report while the window's thread is busy painting (a slow
    // machine): what waits in its queue must not grow with the reports, or a click queued behind
    // them (Stop) waits for every paint before it.
    open();
    Message message;
    while (ui.peekMessage(message))
        ui.dispatch(message);
    ConversionView& view = page().conversionView();
    std::thread reporter([&] {
        for (int i = 0; i < 1000; ++i) {
            view.redrawTrackList();
            view.showElapsedTime(WideString::fromUtf8("00:" + std::to_string(10 + i % 50)));
        }
        view.showElapsedTime(WideString::fromUtf8("01:23"));
    });
    reporter.join();
    int invocations = 0;
    while (ui.peekMessage(message)) {
        invocations += message.message == msg::WM_INVOKE ? 1 : 0;
        ui.dispatch(message);
    }
    EXPECT_EQ(invocations, 2) << "one repaint of the list and one time";
    EXPECT_EQ(content->statusBar().paneText(1), u"01:23") << "the newest time is the one shown";

    // Once run, the next report is posted again.
    view.redrawTrackList();
    view.showElapsedTime(WideString::fromUtf8("01:24"));
    invocations = 0;
    while (ui.peekMessage(message)) {
        invocations += message.message == msg::WM_INVOKE ? 1 : 0;
        ui.dispatch(message);
    }
    EXPECT_EQ(invocations, 2);
    EXPECT_EQ(content->statusBar().paneText(1), u"01:24");
}

} // namespace
} // namespace tonvane
