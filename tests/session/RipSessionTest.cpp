// A rip session driven directly, as a front end would: a recording observer on the test's own
// thread, the demo disc, real files.
#include "session/RipSession.h"
#include "session/SessionEventQueue.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/rip/DiscLoader.h"
#include "core/disc/EncoderFormat.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr int32_t kWav = 3;

// Every call as one line, with the thread it came on.
class Recorder final : public SessionObserver {
public:
    void onPhase(SessionPhase phase, const std::string&) override { add(std::string("phase ") + sessionPhaseName(phase)); }
    void onTrackStarted(int32_t index) override { add("start " + std::to_string(index)); }
    void onTrackFinished(const TrackVerdict& verdict) override
    {
        add("end " + std::to_string(verdict.index) + (verdict.whole ? " whole" : " not whole"));
    }
    void onEnded(const SessionOutcome& result) override
    {
        add("ended");
        outcome = result;
    }
    size_t position(const std::string& line) const
    {
        auto at = std::find(lines.begin(), lines.end(), line);
        return at == lines.end() ? std::string::npos : static_cast<size_t>(at - lines.begin());
    }

    std::vector<std::string> lines;
    std::vector<std::thread::id> threads;
    SessionOutcome outcome;
    bool ended = false;

private:
    void add(std::string line)
    {
        ended = ended || line == "ended";
        lines.push_back(std::move(line));
        threads.push_back(std::this_thread::get_id());
    }
};

class RipSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(loadDisc(job, "demo:").loaded);
        for (int32_t i = 0; i < job.count; ++i)
            job.tracks[i].format = kWav;
        settings.drive = "demo:";
        settings.folder = folder.path();
        settings.accurateRipServer = "127.0.0.1:1"; // refuses at once
        settings.version = "Tonvane test";
    }
    // Runs the session to its end, taking its events on this thread; stop is called once the
    // first track has started.
    void runToEnd(RipSession& session, SessionEventQueue& events, const std::function<void()>& stop = {})
    {
        ASSERT_TRUE(session.start(nullptr));
        bool stopped = false;
        for (int i = 0; i < 2400 && !observer.ended; ++i) {
            events.waitFor(50);
            events.drain();
            if (stop && !stopped && observer.position("start " + std::to_string(job.firstSelected())) != std::string::npos) {
                stopped = true;
                stop();
            }
        }
        session.wait();
        ASSERT_TRUE(observer.ended);
    }

    TempDir config;
    ScopedEnv configHome{"XDG_CONFIG_HOME", config.path().c_str()};
    TempDir folder;
    ConversionJob job;
    SessionSettings settings;
    Recorder observer;
};

} // namespace

TEST_F(RipSessionTest, PhasesAndTrackEventsComeInOrderOnTheFrontEndsThread)
{
    SessionEventQueue events;
    RipSession session(job, settings, observer, events.deliver());
    session.discLoaded();
    runToEnd(session, events);

    std::vector<std::string> phases;
    for (const std::string& line : observer.lines)
        if (line.rfind("phase ", 0) == 0)
            phases.push_back(line);
    // A normal rip reads the disc while the AccurateRip record is fetched: its phase ends after
    // the conversion, before the report.
    EXPECT_EQ(phases, (std::vector<std::string>{"phase disc", "phase read offset", "phase gaps", "phase conversion",
                                                 "phase AccurateRip", "phase loudness", "phase report"}));
    EXPECT_EQ(observer.lines.back(), "ended");
    for (int32_t i = 0; i < job.count; ++i) {
        size_t start = observer.position("start " + std::to_string(i));
        size_t end = observer.position("end " + std::to_string(i) + " whole");
        EXPECT_LT(observer.position("phase conversion"), start) << i;
        EXPECT_LT(start, end) << i;
        EXPECT_LT(end, observer.position("phase report")) << i;
    }
    for (std::thread::id id : observer.threads)
        EXPECT_EQ(id, std::this_thread::get_id()) << "every call on the thread that drains the queue";

    const SessionOutcome& outcome = observer.outcome;
    EXPECT_TRUE(outcome.complete()) << outcome.summary;
    EXPECT_EQ(outcome.whole, job.count);
    ASSERT_EQ(outcome.tracks.size(), static_cast<size_t>(job.count));
    for (const TrackVerdict& track : outcome.tracks) {
        const auto& disc = demoDrive()->disc()->tracks().at(static_cast<size_t>(track.index));
        std::string pcm(static_cast<size_t>(disc.length) * 2352, '\0');
        demoDrive()->disc()->readSectors(disc.start, disc.length, reinterpret_cast<uint8_t*>(pcm.data()));
        EXPECT_TRUE(readFile(track.path).substr(44) == pcm) << track.path;
        EXPECT_EQ(track.accurateRip, "not checked") << "the database refused: no verdict";
    }
    EXPECT_NE(readFile(outcome.logPath).find("4 of 4 track(s) ripped whole"), std::string::npos);
    std::string cue = readFile(outcome.cuePath);
    for (const TrackVerdict& track : outcome.tracks) {
        std::string name = std::filesystem::path(track.path).filename().string();
        EXPECT_NE(cue.find("FILE \"" + name + "\" WAVE"), std::string::npos) << cue;
    }
}

TEST_F(RipSessionTest, AnInterruptedSessionWritesTheLogButNoCueSheet)
{
    EmulatedFaults slow;
    slow.sectorsPerSecond = 600; // an 8x drive: seconds per track
    setDemoFaults(slow);
    settings.lanes = 1;
    SessionEventQueue events;
    RipSession session(job, settings, observer, events.deliver());
    runToEnd(session, events, [&] { session.interrupt(); });
    setDemoFaults(EmulatedFaults{});

    const SessionOutcome& outcome = observer.outcome;
    EXPECT_TRUE(outcome.interrupted);
    EXPECT_FALSE(outcome.complete());
    EXPECT_LT(outcome.whole, job.count);
    EXPECT_TRUE(outcome.cuePath.empty());
    EXPECT_FALSE(std::filesystem::exists(folder.path() + "/" + std::filesystem::path(outcome.logPath).stem().string() + ".cue"));
    std::string log = readFile(outcome.logPath);
    EXPECT_NE(log.find("Interrupted: the rip was stopped"), std::string::npos) << log;
    EXPECT_NE(log.find("Status: cancelled"), std::string::npos) << log;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}

TEST_F(RipSessionTest, FolderNamesAndFreeNames)
{
    // The folder of a disc from its tags; every part cleaned of what a file name cannot hold.
    struct Case {
        const char16_t* album;
        const char16_t* albumArtist;
        const char16_t* artist;
        const char16_t* discNumber;
        const char16_t* discTotal;
        const char* folder;
    } cases[] = {
        {u"", u"", u"", u"", u"", "Unknown disc 26007204"},
        {u"Album", u"Various", u"Someone", u"", u"", "Various/Album"},
        {u"Album", u"", u"Someone", u"2", u"3", "Someone/Album (Disc 2)"},
        {u"Album", u"", u"Someone", u"1", u"1", "Someone/Album"},
        {u"A/B: C", u"x/y", u"", u"", u"", "xy/AB C"},
        {u"Album", u"", u"", u"", u"", "Album"},
    };
    for (const Case& c : cases) {
        for (int32_t i = 0; i < job.count; ++i) {
            TrackTags& tags = job.tracks[i].tags;
            tags.album = WideString(c.album);
            tags.albumArtist = WideString(c.albumArtist);
            tags.artist = WideString(c.artist);
            tags.discNumber = WideString(c.discNumber);
            tags.discTotal = WideString(c.discTotal);
        }
        EXPECT_EQ(discFolderName(job, "26007204"), c.folder) << c.folder;
    }

    std::string base = folder.path() + "/Track 1.flac";
    EXPECT_EQ(freePath(base), base);
    writeFile(base, "1");
    EXPECT_EQ(freePath(base), folder.path() + "/Track 1 (2).flac");
    writeFile(folder.path() + "/Track 1 (2).flac", "2");
    EXPECT_EQ(freePath(base), folder.path() + "/Track 1 (3).flac");
    writeFile(folder.path() + "/plain", "x");
    EXPECT_EQ(freePath(folder.path() + "/plain"), folder.path() + "/plain (2)") << "no extension";
}

TEST_F(RipSessionTest, TwoSessionsAtOnceEachReadTheirOwnDisc)
{
    // Two drives with different music, slow enough that both rips read at the same time.
    struct Drive {
        std::string path;
        std::shared_ptr<EmulatedDrive> drive;
        ConversionJob job;
        TempDir folder;
        Recorder observer;
        SessionEventQueue events;
    };
    Drive drives[2];
    for (uint32_t n = 0; n < 2; ++n) {
        DiscDescription description;
        description.silentAudio = false;
        description.tracks = {{TrackKind::Audio, 300 + 40 * n, 0, 11 + n}, {TrackKind::Audio, 260, 0, 21 + n}};
        EmulatedDriveConfig config;
        config.faults.sectorsPerSecond = 1500; // 20x
        drives[n].path = "image:/virtual/concurrent-" + std::to_string(n) + ".cue";
        drives[n].drive = std::make_shared<EmulatedDrive>(buildDisc(description), config);
        installEmulatedDrive(drives[n].path, drives[n].drive);
        ASSERT_TRUE(loadDisc(drives[n].job, drives[n].path).loaded);
        for (int32_t i = 0; i < drives[n].job.count; ++i)
            drives[n].job.tracks[i].format = kWav;
        drives[n].job.outputFolder = WideString::fromUtf8(drives[n].folder.path() + "/");
    }
    std::vector<std::unique_ptr<RipSession>> sessions;
    for (Drive& d : drives) {
        SessionSettings own = settings;
        own.drive = d.path;
        own.folder = d.folder.path();
        own.lanes = 1;
        sessions.push_back(std::make_unique<RipSession>(d.job, own, d.observer, d.events.deliver()));
        ASSERT_TRUE(sessions.back()->start(nullptr));
    }
    for (int i = 0; i < 2400 && !(drives[0].observer.ended && drives[1].observer.ended); ++i)
        for (Drive& d : drives) {
            d.events.waitFor(25);
            d.events.drain();
        }
    for (auto& session : sessions)
        session->wait();

    for (Drive& d : drives) {
        EXPECT_TRUE(d.observer.outcome.complete()) << d.path;
        std::shared_ptr<const EmulatedDisc> disc = d.drive->disc();
        for (int32_t i = 0; i < d.job.count; ++i) {
            const EmulatedTrack& track = disc->tracks().at(static_cast<size_t>(i));
            std::string expected(size_t{track.length} * 2352, '\0');
            disc->readSectors(track.start, track.length, reinterpret_cast<uint8_t*>(expected.data()));
            std::string file = readFile(d.job.outputPath(i).toUtf8());
            ASSERT_GE(file.size(), 44u) << d.path;
            EXPECT_TRUE(file.substr(44) == expected) << d.path << " track " << i + 1;
        }
        uninstallEmulatedDrive(d.path);
    }
}
