#include "RipFixtures.h"
#include "cdrom/rip/RipThread.h"
#include "encoders/framework/JobEncoderStarter.h"
#include "encoders/wav/WavWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tonvane;
using namespace tonvane::test;

namespace {

uint32_t le32(const std::string& bytes, size_t at)
{
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
           static_cast<uint8_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

// A WAV file whose header agrees with its length; answers the data chunk.
std::string wavData(const std::string& path)
{
    std::string file = readFile(path);
    EXPECT_GE(file.size(), 44u) << path;
    if (file.size() < 44)
        return {};
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(file, 40), file.size() - 44) << "data size of " << path;
    EXPECT_EQ(le32(file, 4), file.size() - 8) << "RIFF size of " << path;
    return file.substr(44);
}

class RipToWav : public ::testing::Test {
protected:
    void SetUp() override
    {
        fillLanguageSlots();
        setCurrentLanguage(kEnglish);
        m_folder = WideString::fromUtf8(m_dir.path() + "/");
    }

    void rip(ConversionJob& job, RecordingSink& sink, int32_t lanes)
    {
        RipEnvironment environment{&m_drive, &m_starter, {}};
        environment.options.laneOverride = lanes;
        ASSERT_TRUE(startConversion(job, m_folder, sink, environment));
        waitForConversion(job);
    }

    // Every name in the output folder but the settings' subfolder.
    std::set<std::string> folderEntries() const
    {
        std::set<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(m_dir.path()))
            if (!item.is_directory())
                names.insert(item.path().filename().string());
        return names;
    }

    std::string trackFile(int index) const
    {
        return m_dir.path() + "/Track " + std::to_string(index + 1) + ".Wav";
    }

    TempDir m_dir;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.path().c_str()};
    WideString m_folder;
    FakeRipDrive m_drive;
    JobEncoderStarter m_starter;
};

} // namespace

TEST_F(RipToWav, EveryLaneCountGivesExactFiles)
{
    // Lengths cover a single sector, a remainder chunk (37 = 16 + 16 + 5) and more than one
    // stream's worth (2500 sectors > 2048), so lanes wait and wrap.
    const std::vector<int32_t> lengths = {1, 37, 2500, 300, 75, 16};
    for (int32_t lanes : {1, 2, 4}) {
        SCOPED_TRACE("lanes " + std::to_string(lanes));
        ConversionJob job;
        describeDisc(job, lengths, kFormatWav);
        job.existingFiles = ExistingFiles::Replace; // the files of the round before are there
        RecordingSink sink(job);
        rip(job, sink, lanes);
        EXPECT_EQ(sink.finishedCalls.load(), 1);
        EXPECT_FALSE(sink.badFraction);
        EXPECT_EQ(job.running.load(), 0);
        for (int i = 0; i < job.count; ++i) {
            EXPECT_EQ(job.tracks[i].status.load(), TrackStatus::Done) << i;
            EXPECT_DOUBLE_EQ(sink.last[i], 1.0) << i;
            EXPECT_TRUE(wavData(trackFile(i)) == expectedPcm(job.tracks[i].start, job.tracks[i].length))
                << "track " << i;
        }
        EXPECT_TRUE(m_drive.prepared && m_drive.finished && m_drive.closed);
    }
}

TEST_F(RipToWav, ReadsAreSixteenSectorsWithTheRemainderLast)
{
    ConversionJob job;
    describeDisc(job, {37}, kFormatWav);
    RecordingSink sink(job);
    rip(job, sink, 4); // one selected track: one lane whatever the override
    std::vector<std::pair<int32_t, int32_t>> expected = {{0, 16}, {16, 16}, {32, 5}};
    EXPECT_EQ(m_drive.reads, expected);
}

TEST_F(RipToWav, OnlySelectedTracksAreConvertedAndNamedByListPosition)
{
    ConversionJob job;
    describeDisc(job, {20, 30, 40}, kFormatWav);
    job.tracks[0].selected = 0;
    job.tracks[2].title = WideString(u"Outro");
    RecordingSink sink(job);
    rip(job, sink, 2);
    EXPECT_FALSE(fileExists(trackFile(0)));
    EXPECT_TRUE(wavData(trackFile(1)) == expectedPcm(20, 30));
    EXPECT_TRUE(wavData(m_dir.path() + "/03 - Outro.Wav") == expectedPcm(50, 40));
    EXPECT_EQ(job.tracks[0].status.load(), TrackStatus::Pending);
}

TEST_F(RipToWav, NoSelectedTrackFinishesAtOnceWithoutTouchingTheDrive)
{
    ConversionJob job;
    describeDisc(job, {20, 30}, kFormatWav);
    job.tracks[0].selected = job.tracks[1].selected = 0;
    RecordingSink sink(job);
    rip(job, sink, 2);
    EXPECT_EQ(sink.finishedCalls.load(), 1);
    EXPECT_FALSE(m_drive.opened.load());
    EXPECT_TRUE(m_drive.reads.empty());
    EXPECT_EQ(job.running.load(), 0);
}

TEST_F(RipToWav, PermanentReadErrorCostsOneSectorAndFailsOnlyThatTrack)
{
    ConversionJob job;
    describeDisc(job, {100, 100, 100}, kFormatWav);
    m_drive.permanentErrors[150] = 1; // inside track 2, in its fourth chunk
    RecordingSink sink(job);
    rip(job, sink, 1);
    EXPECT_EQ(sink.finishedCalls.load(), 1);
    EXPECT_EQ(job.tracks[0].status.load(), TrackStatus::Done);
    EXPECT_EQ(job.tracks[1].status.load(), TrackStatus::Failed);
    EXPECT_EQ(job.tracks[2].status.load(), TrackStatus::Done);
    // Track 2 would hold silence in place of one sector: it leaves no file, its temporary one
    // included; its neighbours are exact.
    EXPECT_TRUE(wavData(trackFile(0)) == expectedPcm(0, 100));
    EXPECT_TRUE(wavData(trackFile(2)) == expectedPcm(200, 100));
    EXPECT_EQ(folderEntries(), (std::set<std::string>{"Track 1.Wav", "Track 3.Wav"}));
    // The failing chunk (LBA 148-163) was then read sector by sector.
    int singleReads = 0;
    for (auto [lba, sectors] : m_drive.reads)
        singleReads += sectors == 1 && lba >= 148 && lba < 164 ? 1 : 0;
    EXPECT_EQ(singleReads, 15 + 8); // 15 good sectors once, the bad one 8 times
}

TEST_F(RipToWav, TransientReadErrorHealsAndTheFileIsExact)
{
    ConversionJob job;
    describeDisc(job, {64}, kFormatWav);
    m_drive.transientErrors[20] = 3;
    RecordingSink sink(job);
    rip(job, sink, 1);
    EXPECT_EQ(job.tracks[0].status.load(), TrackStatus::Done);
    EXPECT_TRUE(wavData(trackFile(0)) == expectedPcm(0, 64));
}

TEST_F(RipToWav, DriveThatDoesNotOpenFailsTracksAndStillFinishes)
{
    ConversionJob job;
    describeDisc(job, {10, 10}, kFormatWav);
    m_drive.openSucceeds = false;
    m_drive.permanentErrors[0] = 1; // nothing can be read either
    for (int s = 0; s < 20; ++s)
        m_drive.permanentErrors[s] = 1;
    RecordingSink sink(job);
    rip(job, sink, 2);
    EXPECT_EQ(sink.finishedCalls.load(), 1);
    EXPECT_EQ(job.tracks[0].status.load(), TrackStatus::Failed);
    EXPECT_EQ(job.tracks[1].status.load(), TrackStatus::Failed);
    EXPECT_FALSE(m_drive.finished.load()); // never prepared, so nothing to release
}

TEST_F(RipToWav, CancelBeforeStartReadsNothingAndLeavesNoFiles)
{
    ConversionJob job;
    describeDisc(job, {50, 50}, kFormatWav);
    job.cancel.store(1);
    RecordingSink sink(job);
    rip(job, sink, 2);
    EXPECT_TRUE(m_drive.reads.empty());
    EXPECT_EQ(sink.finishedCalls.load(), 1);
    EXPECT_TRUE(m_drive.finished.load());
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(job.tracks[i].status.load(), TrackStatus::Cancelled);
    EXPECT_TRUE(folderEntries().empty());
}

TEST_F(RipToWav, CloseStopWhileEncodersWaitLeavesNoFiles)
{
    ConversionJob job;
    describeDisc(job, {3000, 3000}, kFormatWav);
    m_drive.delayMsPerRead = 20; // a slow drive: the encoders spend their time waiting
    RecordingSink sink(job);
    RipEnvironment environment{&m_drive, &m_starter, {}};
    environment.options.laneOverride = 2;
    ASSERT_TRUE(startConversion(job, m_folder, sink, environment));
    sleepMs(300);
    closeStop(job);
    EXPECT_EQ(sink.finishedCalls.load(), 1);
    EXPECT_EQ(job.running.load(), 0);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(job.tracks[i].status.load(), TrackStatus::Cancelled);
    EXPECT_TRUE(folderEntries().empty()); // neither a final nor a temporary name
}

TEST_F(RipToWav, SecondStartWhileRunningIsRefused)
{
    ConversionJob job;
    describeDisc(job, {400}, kFormatWav);
    m_drive.delayMsPerRead = 5;
    RecordingSink sink(job);
    RipEnvironment environment{&m_drive, &m_starter, {}};
    ASSERT_TRUE(startConversion(job, m_folder, sink, environment));
    EXPECT_FALSE(startConversion(job, m_folder, sink, environment));
    waitForConversion(job);
    EXPECT_EQ(sink.finishedCalls.load(), 1);
}

TEST_F(RipToWav, UnwritableFolderFailsTracksButTheJobEnds)
{
    ConversionJob job;
    describeDisc(job, {40, 40}, kFormatWav);
    RecordingSink sink(job);
    RipEnvironment environment{&m_drive, &m_starter, {}};
    environment.options.laneOverride = 2;
    ASSERT_TRUE(startConversion(job, WideString(u"/proc/no-such-folder/"), sink, environment));
    waitForConversion(job);
    EXPECT_EQ(sink.finishedCalls.load(), 1);
    EXPECT_EQ(job.tracks[0].status.load(), TrackStatus::Failed);
    EXPECT_EQ(job.tracks[1].status.load(), TrackStatus::Failed);
    EXPECT_EQ(m_drive.reads.size(), 6u); // every sector still read and drained
}

TEST_F(RipToWav, FullDiskFailsTheAffectedTrackLeavesAnEarlierFileAloneAndNothingHangs)
{
    struct Case {
        int32_t format;
        uint32_t quality; // FLAC level 5, MP3 128 kbps, Vorbis 0.5, Opus 160 kbit/s
        const char* extension;
    } cases[] = {{kFormatWav, 0, ".Wav"},
                 {kFormatFlac, 5, ".flac"},
                 {kFormatMp3, 8, ".mp3"},
                 {kFormatVorbis, 5, ".ogg"},
                 {kFormatOpus, 3, ".opus"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        TempDir folder;
        auto file = [&](int track) { return folder.path() + "/Track " + std::to_string(track) + c.extension; };
        const std::string earlier = "an earlier rip of track 2";
        test::writeFile(file(2), earlier);
        // A child process with a file-size limit stands in for a full disk.
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            // [bytes] tracks 1 and 3 (under a second of noise) fit; track 2 (27 s, over 400 kB
            // in every format at these qualities) does not.
            rlimit limit{200000, 200000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ConversionJob job;
            describeDisc(job, {50, 2000, 30}, c.format);
            for (int32_t t = 0; t < job.count; ++t)
                job.tracks[t].quality = c.quality;
            job.existingFiles = ExistingFiles::Replace; // even so, only a whole track replaces
            RecordingSink sink(job);
            RipEnvironment environment{&m_drive, &m_starter, {}};
            environment.options.laneOverride = 1;
            if (!startConversion(job, WideString::fromUtf8(folder.path() + "/"), sink, environment))
                ::_exit(10);
            waitForConversion(job);
            int code = 0;
            code |= job.tracks[0].status.load() == TrackStatus::Done ? 0 : 1;
            code |= job.tracks[1].status.load() == TrackStatus::Failed ? 0 : 2;
            code |= job.tracks[2].status.load() == TrackStatus::Done ? 0 : 4;
            code |= sink.finishedCalls.load() == 1 ? 0 : 8;
            ::_exit(code);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_TRUE(readFile(file(2)) == earlier);
        if (c.format == kFormatWav) {
            EXPECT_TRUE(wavData(file(1)) == expectedPcm(0, 50));
            EXPECT_TRUE(wavData(file(3)) == expectedPcm(2050, 30));
        }
        std::set<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(folder.path()))
            names.insert(item.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{file(1).substr(folder.path().size() + 1),
                                                file(2).substr(folder.path().size() + 1),
                                                file(3).substr(folder.path().size() + 1)}));
    }
}

TEST(WavWriter, HeaderSizesFollowWhatWasWritten)
{
    TempDir dir;
    std::string path = dir.file("t.Wav");
    WavWriter writer;
    TrackTags tags;
    test::writeFile(path, std::string(100000, 'x')); // replaced, not appended to
    ASSERT_TRUE(writer.open(WideString::fromUtf8(path).view(), 0, tags, 10 * 2352));
    std::string header = readFile(path);
    ASSERT_EQ(header.size(), 44u);
    EXPECT_EQ(le32(header, 40), 23520u);
    EXPECT_EQ(le32(header, 4), 23556u);
    std::string pcm = expectedPcm(0, 3);
    ASSERT_TRUE(writer.write(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size()));
    ASSERT_TRUE(writer.write(nullptr, 0));
    ASSERT_TRUE(writer.finish());
    EXPECT_TRUE(wavData(path) == pcm);

    WavWriter empty;
    ASSERT_TRUE(empty.open(WideString::fromUtf8(path).view(), 0, tags, 0));
    ASSERT_TRUE(empty.finish());
    std::string file = readFile(path);
    EXPECT_EQ(file.size(), 44u);
    EXPECT_EQ(le32(file, 40), 0u);
    EXPECT_EQ(le32(file, 4), 36u);
}

namespace {
// Counts encoder starts and the most encoders alive at once.
class CountingStarter : public TrackEncoderStarter {
public:
    bool startEncoder(Thread& thread, ConversionJob& job, int32_t trackIndex, AudioStream& stream) override
    {
        ++starts;
        order.push_back(trackIndex);
        return m_inner.startEncoder(thread, job, trackIndex, stream);
    }
    int starts = 0;
    std::vector<int32_t> order;

private:
    JobEncoderStarter m_inner;
};
} // namespace

TEST_F(RipToWav, LanesNeverOutnumberSelectedTracks)
{
    EXPECT_EQ(ripLaneCount(2, RipOptions{4}), 2);
    EXPECT_EQ(ripLaneCount(5, RipOptions{1}), 1);
    EXPECT_EQ(ripLaneCount(0, RipOptions{4}), 0);

    ConversionJob job;
    describeDisc(job, {30, 30}, kFormatWav);
    RecordingSink sink(job);
    CountingStarter starter;
    RipEnvironment environment{&m_drive, &starter, {}};
    environment.options.laneOverride = 4;
    ASSERT_TRUE(startConversion(job, m_folder, sink, environment));
    waitForConversion(job);
    EXPECT_EQ(starter.starts, 2); // two lanes, no third encoder
}

namespace {
size_t mappingCount()
{
    std::string maps = readFile("/proc/self/maps");
    return static_cast<size_t>(std::count(maps.begin(), maps.end(), '\n'));
}

// Counts the process's memory mappings at each start: an exited thread that nobody joined keeps
// its stack (and guard page) mapped.
class MappingStarter : public TrackEncoderStarter {
public:
    bool startEncoder(Thread& thread, ConversionJob& job, int32_t trackIndex, AudioStream& stream) override
    {
        mappings.push_back(mappingCount());
        return m_inner.startEncoder(thread, job, trackIndex, stream);
    }
    std::vector<size_t> mappings;

private:
    JobEncoderStarter m_inner;
};
} // namespace

TEST_F(RipToWav, OneLaneJoinsEachFinishedEncoderAsItMovesOn)
{
    // Files of two sectors are done far faster than ext4 syncs them: on a disk, a few encoders
    // are still in fsync when the lane moves on. In memory only the joining is counted.
    std::unique_ptr<ScopedEnv> inMemory;
    if (std::filesystem::is_directory("/dev/shm"))
        inMemory = std::make_unique<ScopedEnv>("TMPDIR", "/dev/shm");
    TempDir folder;
    m_folder = WideString::fromUtf8(folder.path() + "/");
    ConversionJob job;
    describeDisc(job, std::vector<int32_t>(60, 2), kFormatWav);
    RecordingSink sink(job);
    MappingStarter starter;
    RipEnvironment environment{&m_drive, &starter, {}};
    environment.options.laneOverride = 1;
    ASSERT_TRUE(startConversion(job, m_folder, sink, environment));
    waitForConversion(job);
    ASSERT_EQ(starter.mappings.size(), 60u);
    // 58 unjoined threads would add two mappings each; joined ones leave their stacks for reuse.
    // The sanitizers map memory of their own as threads come and go, so only a plain build can
    // count this way.
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(starter.mappings.back(), starter.mappings[2] + 20);
#endif
    for (int32_t t = 0; t < 60; ++t)
        EXPECT_EQ(job.tracks[t].status.load(), TrackStatus::Done);
}

TEST_F(RipToWav, OneLaneConvertsTracksStrictlyOneAfterAnother)
{
    ConversionJob job;
    describeDisc(job, {40, 20, 50, 10, 30}, kFormatWav);
    RecordingSink sink(job);
    CountingStarter starter;
    RipEnvironment environment{&m_drive, &starter, {}};
    environment.options.laneOverride = 1;
    ASSERT_TRUE(startConversion(job, m_folder, sink, environment));
    waitForConversion(job);
    EXPECT_EQ(starter.order, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    // The drive was read front to back without going back.
    int32_t next = 0;
    for (auto [lba, sectors] : m_drive.reads) {
        EXPECT_EQ(lba, next);
        next = lba + sectors;
    }
    EXPECT_EQ(next, 150);
}

TEST_F(RipToWav, LongestFirstOrderStartsLongTracksFirstOnTwoLanesAndKeepsEveryFileExact)
{
    ConversionJob job;
    // Lengths in sectors; 40 appears twice, and the tie keeps disc order.
    describeDisc(job, {40, 20, 50, 10, 40, 30}, kFormatWav);
    job.tracks[5].selected = 0;
    EXPECT_EQ(ripTrackOrder(job, TrackOrder::DiscOrder), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ripTrackOrder(job, TrackOrder::LongestFirst), (std::vector<int32_t>{2, 0, 4, 1, 3}));
    job.existingFiles = ExistingFiles::Replace; // the second round writes the same names

    for (int32_t lanes : {1, 2}) {
        RecordingSink sink(job);
        CountingStarter starter;
        RipEnvironment environment{&m_drive, &starter, {}};
        environment.options.laneOverride = lanes;
        environment.options.order = TrackOrder::LongestFirst;
        ASSERT_TRUE(startConversion(job, m_folder, sink, environment));
        waitForConversion(job);
        if (lanes == 1) // one lane reads front to back whatever the order asked for
            EXPECT_EQ(starter.order, (std::vector<int32_t>{0, 1, 2, 3, 4}));
        else // both lanes start with the two longest; who takes the rest depends on timing
            EXPECT_EQ(std::vector<int32_t>(starter.order.begin(), starter.order.begin() + 2),
                      (std::vector<int32_t>{2, 0}));
        for (int32_t t = 0; t < 5; ++t) {
            EXPECT_EQ(job.tracks[t].status.load(), TrackStatus::Done) << "lanes " << lanes << " track " << t;
            EXPECT_TRUE(wavData(trackFile(t)) == expectedPcm(job.tracks[t].start, job.tracks[t].length))
                << "lanes " << lanes << " track " << t;
        }
        EXPECT_FALSE(std::filesystem::exists(trackFile(5)));
    }
}
