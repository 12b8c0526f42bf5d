// Several rips of emulated discs at once, each on its own drive, with one encoder pool of two
// tokens: the encoders at work never outnumber the tokens, every FLAC file decodes to the disc's
// audio, a rip that is cancelled or loses its drive gives its tokens back, and no rip waits
// while another takes the tokens for all its tracks.
#include "session/RipSession.h"
#include "cdrom/emulated/EmulatedDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/rip/DeviceRipDrive.h"
#include "cdrom/rip/DiscLoader.h"
#include "cdrom/rip/EncoderPool.h"
#include "cdrom/rip/RipThread.h"
#include "core/disc/EncoderFormat.h"
#include "core/foundation/Clock.h"
#include "core/language/Language.h"
#include "encoders/framework/JobEncoderStarter.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <mutex>

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr int32_t kTokens = 2;
constexpr int32_t kRips = 3;
constexpr int32_t kFlacLevel = 5;

class JobSink final : public ProgressSink {
public:
    explicit JobSink(ConversionJob& job) : m_job(job) {}
    void onProgress(int32_t, double) override {}
    void onFinished() override {}
    bool isCancelled() override { return m_job.cancel.load() != 0; }

private:
    ConversionJob& m_job;
};

// The real encoders, with a note of which rip started one and in what order. While held, a start
// waits until every rip has joined the pool and one of them waits for a token, so that the rips
// compete from the first track on however the threads happen to be scheduled.
class RecordingStarter final : public TrackEncoderStarter {
public:
    RecordingStarter(EncoderPool& pool, std::array<ConversionJob, kRips>& jobs) : m_pool(pool), m_jobs(jobs) {}

    bool startEncoder(Thread& thread, ConversionJob& job, int32_t trackIndex, AudioStream& stream) override
    {
        int32_t rip = static_cast<int32_t>(&job - m_jobs.data());
        int32_t ofThisRip = 0;
        {
            std::lock_guard lock(m_mutex);
            starts.push_back(rip);
            for (int32_t r : starts)
                ofThisRip += r == rip ? 1 : 0;
        }
        if (holdFirstStarts)
            waitUntilEveryRipCompetes();
        if (onStart)
            onStart(rip, ofThisRip);
        return m_real.startEncoder(thread, job, trackIndex, stream);
    }

    std::vector<int32_t> startsSoFar()
    {
        std::lock_guard lock(m_mutex);
        return starts;
    }

    bool holdFirstStarts = false;
    std::function<void(int32_t rip, int32_t startOfRip)> onStart; // on the rip's own thread
    std::vector<int32_t> starts;

private:
    void waitUntilEveryRipCompetes()
    {
        for (int tries = 0; tries < 6000 && !m_open.load(); ++tries) {
            EncoderPool::Counts counts = m_pool.counts();
            if (counts.members == kRips && counts.waiting >= 1)
                m_open.store(true);
            else
                sleepMs(5);
        }
    }

    EncoderPool& m_pool;
    std::array<ConversionJob, kRips>& m_jobs;
    JobEncoderStarter m_real;
    std::mutex m_mutex;
    std::atomic<bool> m_open{false};
};

class SharedEncoderPool : public ::testing::Test {
protected:
    void SetUp() override
    {
        fillLanguageSlots();
        setCurrentLanguage(kEnglish); // untitled tracks are named "Track N"
        for (int32_t r = 0; r < kRips; ++r) {
            DiscDescription description;
            for (uint32_t t = 0; t < 3; ++t) // 4, 3 and 5 s: tracks end at different times
                description.tracks.push_back({TrackKind::Audio, 300 - 75 * (t % 2) + 75 * (t / 2), 0,
                                              static_cast<uint32_t>(10 * r + t + 1)});
            m_discs[r] = buildDisc(description);
            ASSERT_TRUE(m_discs[r]);
            m_drives[r] = std::make_shared<EmulatedDrive>(m_discs[r], EmulatedDriveConfig{});
            installEmulatedDrive(drivePath(r), m_drives[r]);
            ASSERT_TRUE(loadDisc(m_jobs[r], drivePath(r)).loaded);
            for (int32_t i = 0; i < m_jobs[r].count; ++i) {
                m_jobs[r].tracks[i].format = kFormatFlac;
                m_jobs[r].tracks[i].quality = kFlacLevel;
            }
            std::filesystem::create_directories(folder(r));
        }
    }
    void TearDown() override
    {
        for (int32_t r = 0; r < kRips; ++r)
            uninstallEmulatedDrive(drivePath(r));
    }

    static std::string drivePath(int32_t rip) { return "image:/virtual/pool-" + std::to_string(rip) + ".cue"; }
    std::string folder(int32_t rip) const { return m_dir.path() + "/rip" + std::to_string(rip); }

    // Every rip at once, each from its own thread and drive, sharing the pool; back when all ended.
    void ripAll(TrackEncoderStarter& starter)
    {
        std::array<DeviceRipDrive, kRips> drives;
        std::vector<std::unique_ptr<JobSink>> sinks;
        for (int32_t r = 0; r < kRips; ++r) {
            sinks.push_back(std::make_unique<JobSink>(m_jobs[r]));
            RipOptions options;
            options.encoderPool = &m_pool;
            RipEnvironment environment{&drives[r], &starter, options, nullptr};
            ASSERT_TRUE(startConversion(m_jobs[r], WideString::fromUtf8(folder(r) + "/"), *sinks.back(), environment));
        }
        for (int32_t r = 0; r < kRips; ++r)
            waitForConversion(m_jobs[r]);
    }

    // The file's audio as flac decodes it, raw little-endian signed PCM.
    std::string decoded(int32_t rip, int32_t index) const
    {
        std::string path = folder(rip) + "/Track " + std::to_string(index + 1) + ".flac";
        ProcessResult result = runProcess("/usr/bin/flac", {"-d", "-c", "-s", "--force-raw-format",
                                                            "--endian=little", "--sign=signed", path});
        EXPECT_EQ(result.exitCode, 0) << path << ": " << result.err;
        return result.out;
    }

    std::string discAudio(int32_t rip, int32_t index) const
    {
        const TrackEntry& track = m_jobs[rip].tracks[index];
        std::string bytes(static_cast<size_t>(track.length) * 2352, '\0');
        EXPECT_TRUE(m_discs[rip]->readSectors(static_cast<uint32_t>(track.start), static_cast<uint32_t>(track.length),
                                              reinterpret_cast<uint8_t*>(bytes.data())));
        return bytes;
    }

    void expectRipWhole(int32_t rip)
    {
        for (int32_t i = 0; i < m_jobs[rip].count; ++i) {
            SCOPED_TRACE("rip " + std::to_string(rip) + " track " + std::to_string(i + 1));
            EXPECT_EQ(m_jobs[rip].tracks[i].status.load(), TrackStatus::Done);
            EXPECT_TRUE(decoded(rip, i) == discAudio(rip, i));
        }
    }

    void expectTokensBack()
    {
        EncoderPool::Counts counts = m_pool.counts();
        EXPECT_EQ(counts.inUse, 0);
        EXPECT_EQ(counts.members, 0);
        EXPECT_EQ(counts.waiting, 0);
        EXPECT_LE(counts.highWater, kTokens);
    }

    TempDir m_dir;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.path().c_str()};
    EncoderPool m_pool{kTokens}; // declared after nothing that rips: it outlives every rip
    std::array<std::shared_ptr<const EmulatedDisc>, kRips> m_discs;
    std::array<std::shared_ptr<EmulatedDrive>, kRips> m_drives;
    std::array<ConversionJob, kRips> m_jobs;
};

} // namespace

TEST_F(SharedEncoderPool, ThreeRipsOnTwoTokensGiveWholeExactFilesWithNoMoreThanTwoEncoders)
{
    RecordingStarter starter(m_pool, m_jobs);
    starter.holdFirstStarts = true;
    ripAll(starter);
    for (int32_t r = 0; r < kRips; ++r)
        expectRipWhole(r);
    EXPECT_EQ(m_pool.counts().highWater, kTokens); // both tokens were used, never a third
    expectTokensBack();
    EXPECT_EQ(starter.startsSoFar().size(), 9u);
}

TEST_F(SharedEncoderPool, NoRipStartsItsLastTrackBeforeEveryOtherRipStartedItsFirst)
{
    RecordingStarter starter(m_pool, m_jobs);
    starter.holdFirstStarts = true;
    ripAll(starter);
    std::vector<int32_t> starts = starter.startsSoFar();
    ASSERT_EQ(starts.size(), 9u);
    std::array<size_t, kRips> first{}, last{};
    for (int32_t r = 0; r < kRips; ++r) {
        first[r] = static_cast<size_t>(std::find(starts.begin(), starts.end(), r) - starts.begin());
        last[r] = static_cast<size_t>(starts.rend() - std::find(starts.rbegin(), starts.rend(), r) - 1);
    }
    for (int32_t r = 0; r < kRips; ++r)
        for (int32_t other = 0; other < kRips; ++other) {
            if (other == r)
                continue;
            EXPECT_LT(first[r], last[other]) << "rip " << other << " took every token for all its tracks "
                                             << "while rip " << r << " waited";
        }
    for (int32_t r = 0; r < kRips; ++r)
        expectRipWhole(r);
}

TEST_F(SharedEncoderPool, CancelledOrFailingRipGivesItsTokensBackAndTheOthersFinish)
{
    struct Case {
        const char* name;
        std::function<void(int32_t rip)> stop; // called at the victim's second start
        size_t victimStarts; // a cancel ends the rip; without its drive it tries every track
        TrackStatus lastTrack; // of the victim
    };
    const Case cases[] = {
        {"cancelled", [this](int32_t rip) { m_jobs[rip].cancel.store(1); },
         2, TrackStatus::Pending},
        {"drive gone", [this](int32_t rip) { m_drives[rip]->removeMedium(); },
         3, TrackStatus::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int32_t r = 0; r < kRips; ++r) {
            m_jobs[r].cancel.store(0);
            m_jobs[r].existingFiles = ExistingFiles::Replace; // the round before left its files
            m_drives[r]->insertMedium();
        }
        constexpr int32_t kVictim = 1;
        RecordingStarter starter(m_pool, m_jobs);
        starter.holdFirstStarts = true;
        starter.onStart = [&](int32_t rip, int32_t startOfRip) {
            if (rip == kVictim && startOfRip == 2)
                c.stop(rip);
        };
        ripAll(starter);
        expectRipWhole(0);
        expectRipWhole(2);
        expectTokensBack();
        int32_t whole = 0;
        for (int32_t i = 0; i < m_jobs[kVictim].count; ++i)
            whole += m_jobs[kVictim].tracks[i].status.load() == TrackStatus::Done ? 1 : 0;
        EXPECT_LE(whole, 1); // its first track at most: the second was stopped as it started
        std::vector<int32_t> starts = starter.startsSoFar();
        EXPECT_EQ(static_cast<size_t>(std::count(starts.begin(), starts.end(), kVictim)), c.victimStarts);
        EXPECT_EQ(m_jobs[kVictim].tracks[2].status.load(), c.lastTrack);
    }
}

TEST_F(SharedEncoderPool, SessionsOnThreeDrivesAtOnceEachReadTheirOwnDisc)
{
    // Each session reads through a drive of its own: sharing one would hand one rip's open
    // device to another mid-read.
    SessionObserver quiet;
    std::vector<std::unique_ptr<RipSession>> sessions;
    for (int32_t r = 0; r < kRips; ++r) {
        SessionSettings settings;
        settings.drive = drivePath(r);
        settings.folder = folder(r);
        settings.accurateRip = false;
        settings.readOffset = 0;
        settings.encoderPool = &m_pool;
        settings.version = "Tonvane test";
        sessions.push_back(std::make_unique<RipSession>(m_jobs[r], settings, quiet, [](std::function<void()>) {}));
    }
    for (auto& session : sessions)
        ASSERT_TRUE(session->start(nullptr));
    for (auto& session : sessions)
        session->wait();
    sessions.clear();
    for (int32_t r = 0; r < kRips; ++r)
        expectRipWhole(r);
    expectTokensBack();
}
