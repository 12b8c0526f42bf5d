// Whole conversions from an emulated drive through the real device path (openDevice, READ CD),
// the rip thread and the encoder threads into WAV files.
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/rip/DeviceRipDrive.h"
#include "cdrom/rip/DiscLoader.h"
#include "cdrom/rip/RipObserver.h"
#include "cdrom/rip/RipThread.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "encoders/framework/EncoderThread.h"
#include "encoders/framework/JobEncoderStarter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <algorithm>
#include <set>

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr char kDrivePath[] = "image:/virtual/emulated-rip.cue";

class SinkForJob : public ProgressSink {
public:
    explicit SinkForJob(ConversionJob& job) : m_job(job) {}
    void onProgress(int32_t track, double fraction) override
    {
        std::lock_guard<std::mutex> hold(lock);
        reports[track].push_back(fraction);
    }
    void onFinished() override { ++finished; }
    bool isCancelled() override { return m_job.cancel.load() != 0; }
    std::atomic<int> finished{0};
    std::mutex lock;
    std::map<int32_t, std::vector<double>> reports; // per track, in the order they came

private:
    ConversionJob& m_job;
};

class EmulatedRip : public ::testing::Test {
protected:
    void SetUp() override
    {
        fillLanguageSlots();
        setCurrentLanguage(kEnglish); // untitled tracks are named "Track N"
    }
    void install(const DiscDescription& description, EmulatedFaults faults = {}, int32_t driveOffset = 0)
    {
        m_disc = buildDisc(description);
        ASSERT_TRUE(m_disc);
        EmulatedDriveConfig config;
        config.faults = faults;
        config.readOffset = driveOffset;
        config.recordCommands = true;
        m_drive = std::make_shared<EmulatedDrive>(m_disc, config);
        installEmulatedDrive(kDrivePath, m_drive);
    }
    void TearDown() override { uninstallEmulatedDrive(kDrivePath); }

    std::string sectors(uint32_t lba, uint32_t count) const
    {
        std::string bytes(static_cast<size_t>(count) * 2352, '\0');
        EXPECT_TRUE(m_disc->readSectors(lba, count, reinterpret_cast<uint8_t*>(bytes.data())));
        return bytes;
    }

    std::string wavData(int index) const
    {
        std::string file = readFile(m_dir.path() + "/Track " + std::to_string(index + 1) + ".Wav");
        return file.size() >= 44 ? file.substr(44) : std::string();
    }

    void rip(ConversionJob& job, int32_t lanes)
    {
        RipOptions options;
        options.laneOverride = lanes;
        ripWith(job, options, nullptr);
    }

    void ripWith(ConversionJob& job, const RipOptions& options, RipObserver* observer)
    {
        for (int32_t i = 0; i < job.count; ++i)
            job.tracks[i].format = m_format;
        SinkForJob sink(job);
        DeviceRipDrive drive;
        JobEncoderStarter starter;
        RipEnvironment environment{&drive, &starter, options, observer};
        ASSERT_TRUE(startConversion(job, WideString::fromUtf8(m_dir.path() + "/"), sink, environment));
        waitForConversion(job);
        EXPECT_EQ(sink.finished.load(), 1);
        m_progress = sink.reports;
    }

    // The plain files of the output folder (the settings live in a subfolder of it).
    std::set<std::string> filesInFolder() const
    {
        std::set<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(m_dir.path()))
            if (item.is_regular_file())
                names.insert(item.path().filename().string());
        return names;
    }

    int32_t m_format = kFormatWav;
    std::map<int32_t, std::vector<double>> m_progress; // of the last rip
    TempDir m_dir;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.path().c_str()};
    std::shared_ptr<const EmulatedDisc> m_disc;
    std::shared_ptr<EmulatedDrive> m_drive;
};

DiscDescription audioDisc(std::initializer_list<uint32_t> lengths)
{
    DiscDescription description;
    uint32_t seed = 1;
    for (uint32_t length : lengths)
        description.tracks.push_back({TrackKind::Audio, length, 0, seed++});
    return description;
}

} // namespace

TEST_F(EmulatedRip, LoadDiscKeepsAudioTracksInDiscOrderWithStoredDefaults)
{
    DiscDescription description = audioDisc({300, 450});
    description.tracks.push_back({TrackKind::Data, 900, 0, 0});
    install(description);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, settings::kValueDefaultFormat, kFormatFlac);

    ConversionJob job;
    DiscLoadResult result = loadDisc(job, kDrivePath);
    ASSERT_TRUE(result.loaded);
    EXPECT_EQ(job.count, 2);
    EXPECT_EQ(job.allocated, 3); // one entry per track of the disc, data track included
    EXPECT_EQ(job.tracks[0].trackNumber, 1);
    EXPECT_EQ(job.tracks[0].start, 0);
    EXPECT_EQ(job.tracks[0].length, 300);
    EXPECT_EQ(job.tracks[1].start, 300);
    EXPECT_EQ(job.tracks[1].format, kFormatFlac);
    EXPECT_EQ(job.tracks[1].quality, 7u); // "Flac" missing: level 7
    EXPECT_EQ(job.drivePath.view(), u"image:/virtual/emulated-rip.cue");

    // "Auto" was missing: written as 1, and this load does no lookup; the next one does.
    EXPECT_FALSE(result.lookupWanted);
    uint32_t autoValue = 0;
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, autoValue));
    EXPECT_EQ(autoValue, 1u);
    EXPECT_TRUE(loadDisc(job, kDrivePath).lookupWanted);
}

TEST_F(EmulatedRip, DataTrackFirstNumbersFilesFromTheFirstAudioTrack)
{
    DiscDescription description;
    description.tracks.push_back({TrackKind::Data, 600, 0, 0});
    description.tracks.push_back({TrackKind::Audio, 200, 150, 3});
    install(description);
    ConversionJob job;
    ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
    ASSERT_EQ(job.count, 1);
    EXPECT_EQ(job.tracks[0].trackNumber, 2);
    rip(job, 1);
    EXPECT_TRUE(wavData(0) == sectors(static_cast<uint32_t>(job.tracks[0].start), 200));
}

TEST_F(EmulatedRip, LoadFailureLeavesThePreviousListAlone)
{
    install(audioDisc({100}));
    ConversionJob job;
    ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
    m_drive->removeMedium();
    EXPECT_FALSE(loadDisc(job, kDrivePath).loaded);
    EXPECT_EQ(job.count, 1);
    EXPECT_FALSE(loadDisc(job, "image:/nowhere/missing.cue").loaded);
    EXPECT_EQ(job.count, 1);
}

TEST_F(EmulatedRip, OneTwoAndFourLanesGiveFilesEqualToTheDiscSectors)
{
    install(audioDisc({37, 2100, 400, 75, 1}));
    for (int32_t lanes : {1, 2, 4}) {
        SCOPED_TRACE("lanes " + std::to_string(lanes));
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        job.existingFiles = ExistingFiles::Replace; // the files of the round before are there
        rip(job, lanes);
        for (int32_t i = 0; i < job.count; ++i) {
            EXPECT_EQ(job.tracks[i].status.load(), TrackStatus::Done);
            EXPECT_TRUE(wavData(i) == sectors(static_cast<uint32_t>(job.tracks[i].start),
                                               static_cast<uint32_t>(job.tracks[i].length)))
                << "track " << i + 1;
        }
        EXPECT_FALSE(m_drive->volumeLocked()); // released after the job
        EXPECT_FALSE(m_drive->mediumRemovalPrevented());
    }
}

TEST_F(EmulatedRip, ReadErrorsHealOrFailExactlyTheirTrack)
{
    EmulatedFaults faults;
    faults.readFaults.push_back({50, 2}); // transient, in track 1
    faults.readFaults.push_back({250, kPermanentFault}); // permanent, in track 2
    install(audioDisc({200, 200, 200}), faults);
    ConversionJob job;
    ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
    rip(job, 2);
    EXPECT_EQ(job.tracks[0].status.load(), TrackStatus::Done);
    EXPECT_TRUE(wavData(0) == sectors(0, 200));
    EXPECT_EQ(job.tracks[1].status.load(), TrackStatus::Failed);
    EXPECT_EQ(job.tracks[2].status.load(), TrackStatus::Done);
    EXPECT_TRUE(wavData(2) == sectors(400, 200));
    // LBA 250 would be silence in track 2: no file of it at all, no temporary file left.
    EXPECT_EQ(filesInFolder(), (std::set<std::string>{"Track 1.Wav", "Track 3.Wav"}));
}

TEST_F(EmulatedRip, MediumRemovedMidRipEndsTheJob)
{
    EmulatedFaults faults;
    faults.removeAfterSectors = 300;
    install(audioDisc({250, 250}), faults);
    ConversionJob job;
    ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
    rip(job, 1);
    EXPECT_EQ(job.tracks[0].status.load(), TrackStatus::Done);
    EXPECT_EQ(job.tracks[1].status.load(), TrackStatus::Failed);
}

TEST_F(EmulatedRip, OffsetCorrectionGivesTheDiscSamplesBackExceptBeyondTheDisc)
{
    // Three tracks with pregaps, so track boundaries are not chunk boundaries.
    DiscDescription description = audioDisc({300, 123, 250});
    description.tracks[1].pregapSectors = 37;
    constexpr int32_t kOffset = 667; // [samples]
    struct Case {
        int32_t offset;
        ReadMode mode; // test and copy: the re-reads go through the correction too
    } cases[] = {{kOffset, ReadMode::Single}, {-kOffset, ReadMode::Single}, {kOffset, ReadMode::TestAndCopy}};
    for (auto [offset, mode] : cases) {
        EmulatedFaults faults;
        if (mode != ReadMode::Single)
            faults.corruptions.push_back({350, 2}); // track 2, read wrong by the copy and the test
        install(description, faults, offset);
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        job.existingFiles = ExistingFiles::Replace;
        RipOptions options;
        options.laneOverride = 2;
        options.readOffset = offset;
        options.mode = mode;
        ripWith(job, options, nullptr);
        std::string disc = sectors(0, m_disc->leadOut());
        size_t shift = static_cast<size_t>(kOffset) * 4;
        if (offset > 0) // the drive cannot read past the lead-out: the last samples are silence
            std::fill(disc.end() - static_cast<std::ptrdiff_t>(shift), disc.end(), '\0');
        else // nor before the disc's start
            std::fill(disc.begin(), disc.begin() + static_cast<std::ptrdiff_t>(shift), '\0');
        for (int32_t t = 0; t < job.count; ++t) {
            size_t from = static_cast<size_t>(job.tracks[t].start) * 2352;
            size_t bytes = static_cast<size_t>(job.tracks[t].length) * 2352;
            EXPECT_EQ(job.tracks[t].status.load(), TrackStatus::Done) << offset;
            EXPECT_TRUE(wavData(t) == disc.substr(from, bytes)) << "offset " << offset << ", track " << t + 1;
        }
        // A sequential read keeps its last sector for the next chunk: still 16-sector commands.
        for (const RecordedCommand& command : m_drive->recordedCommands())
            EXPECT_TRUE(command.cdb[0] != 0xBE || command.cdb[8] <= 16);
        uninstallEmulatedDrive(kDrivePath);
    }
}

namespace {
// What secure reading told its observer.
struct SecureLog : RipObserver {
    // The audio handed to the encoders, by track: what a track's file holds when it is whole, and
    // what it would have held when it is not (such a track leaves no file).
    void onAudio(int32_t track, int32_t, const uint8_t* pcm, size_t bytes) override
    {
        audio[track].append(reinterpret_cast<const char*>(pcm), bytes);
    }
    void onUnreadableSector(int32_t, int32_t lba) override { unreadable.push_back(lba); }
    bool accurateRipConfirms(int32_t, const uint8_t*, size_t) override { return confirm; }
    void onTestRead(int32_t, uint32_t) override { ++testReads; }
    void onReread(int32_t, int32_t lba, int32_t, int32_t reads, bool agreed) override
    {
        rereads.push_back({lba, reads, agreed});
    }
    void onSuspiciousSector(int32_t, int32_t lba) override { suspicious.push_back(lba); }
    void onDriveCache(uint32_t bytes, DriveCacheSource source) override
    {
        cacheBytes = bytes;
        cacheSource = source;
    }

    struct Reread {
        int32_t lba, reads;
        bool agreed;
    };
    bool confirm = false;
    int testReads = 0;
    std::vector<Reread> rereads;
    std::vector<int32_t> unreadable, suspicious;
    std::optional<uint32_t> cacheBytes;
    std::optional<DriveCacheSource> cacheSource;
    std::map<int32_t, std::string> audio;
};
} // namespace

TEST_F(EmulatedRip, SecureReadingDefeatsTheCacheAndWritesExactFilesOrNamesTheSector)
{
    constexpr uint32_t kCache = 64; // [sectors] the drive's cache
    constexpr uint32_t kDamaged = 190; // [LBA] near the end of track 1, in the chunk from 176
    struct Case {
        const char* name;
        ReadMode mode;
        bool confirmed;
        uint32_t damagedReads;
        uint32_t cacheBytes; // the cache the rip reads past
        bool exact;
        int testReads;
    } cases[] = {
        {"AccurateRip confirms: one read", ReadMode::Secure, true, 0, kCache * 2352, true, 0},
        {"damaged twice, cache emptied", ReadMode::Secure, false, 2, kCache * 2352, true, 2},
        {"test and copy despite a confirmation", ReadMode::TestAndCopy, true, 2, kCache * 2352, true, 2},
        // The re-read comes from the cache: it repeats the damaged test read, which then "agrees".
        {"cache not emptied", ReadMode::Secure, false, 2, 0, false, 2},
        {"never the same twice", ReadMode::Secure, false, kForever, kCache * 2352, false, 2},
    };
    for (const Case& c : cases) {
        EmulatedFaults faults;
        faults.cacheSectors = kCache;
        if (c.damagedReads != 0)
            faults.corruptions.push_back({kDamaged, c.damagedReads});
        install(audioDisc({200, 100}), faults);
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        job.existingFiles = ExistingFiles::Replace;
        SecureLog log;
        log.confirm = c.confirmed;
        RipOptions options;
        options.laneOverride = 1;
        options.mode = c.mode;
        options.driveCacheBytes = c.cacheBytes;
        ripWith(job, options, &log);

        EXPECT_EQ(wavData(0) == sectors(0, 200), c.exact) << c.name;
        EXPECT_TRUE(wavData(1) == sectors(200, 100)) << c.name;
        EXPECT_EQ(log.testReads, c.testReads) << c.name;
        if (c.mode == ReadMode::Secure && c.confirmed) {
            EXPECT_EQ(m_drive->sectorsRead(), 300u) << c.name;
        }
        if (c.damagedReads == 2 && c.exact) {
            // Copy and test were both damaged (differently); two clean re-reads agree.
            ASSERT_EQ(log.rereads.size(), 1u) << c.name;
            EXPECT_EQ(log.rereads[0].lba, 176);
            EXPECT_EQ(log.rereads[0].reads, 4);
            EXPECT_TRUE(log.suspicious.empty());
        }
        if (c.damagedReads == kForever) {
            EXPECT_EQ(log.suspicious, std::vector<int32_t>{kDamaged}) << c.name;
            ASSERT_EQ(log.rereads.size(), 1u);
            EXPECT_FALSE(log.rereads[0].agreed);
            // Every other sector of the chunk settled on the disc's bytes.
            std::string file = wavData(0), disc = sectors(0, 200);
            EXPECT_TRUE(file.substr(0, kDamaged * 2352) == disc.substr(0, kDamaged * 2352));
            EXPECT_TRUE(file.substr((kDamaged + 1) * 2352) == disc.substr((kDamaged + 1) * 2352));
        }
        EXPECT_TRUE(log.unreadable.empty()) << c.name;
        uninstallEmulatedDrive(kDrivePath);
    }
}

// What a person sees of each track: a bar that only rises and ends at exactly 1. Secure reading
// reads a track whole before its encoder gets a byte, so its reads fill the bar first (0.9 of
// it: the copy read the first half, the test read the second); before, the bar sat at 0 for
// the whole read and then jumped.
TEST_F(EmulatedRip, EachTracksProgressRisesToExactlyOneAndSecureReadsMoveItBeforeTheEncoder)
{
    constexpr double kReadShare = 0.9;
    struct Case {
        const char* name;
        ReadMode mode;
        bool confirmed;
        bool testRead; // the second half of the reads shows
    } cases[] = {
        {"burst", ReadMode::Single, false, false},
        {"secure with a test read", ReadMode::Secure, false, true},
        {"secure, AccurateRip confirms the copy", ReadMode::Secure, true, false},
        {"test and copy", ReadMode::TestAndCopy, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install(audioDisc({200, 100}));
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        job.existingFiles = ExistingFiles::Replace;
        SecureLog log;
        log.confirm = c.confirmed;
        RipOptions options;
        options.laneOverride = 1;
        options.mode = c.mode;
        ripWith(job, options, &log);
        for (int32_t track : {0, 1}) {
            const std::vector<double>& seen = m_progress[track];
            ASSERT_FALSE(seen.empty()) << track;
            EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << track;
            EXPECT_GT(seen.front(), 0.0) << track;
            EXPECT_EQ(seen.back(), 1.0) << track;
            auto within = [&](double low, double high) {
                return std::count_if(seen.begin(), seen.end(), [&](double f) { return f > low && f < high; });
            };
            if (c.mode == ReadMode::Single) {
                EXPECT_EQ(within(0.0, 1.0), std::ptrdiff_t(seen.size()) - 1) << "the encoder follows the drive";
                continue;
            }
            EXPECT_GE(within(0.0, kReadShare / 2), 4) << track << ": the copy read moves the bar";
            EXPECT_NE(std::find(seen.begin(), seen.end(), kReadShare / 2), seen.end()) << track << ": the copy read's end";
            EXPECT_GE(within(kReadShare - 1e-9, 1.0), 5) << track << ": the encoder fills the last tenth";
            EXPECT_EQ(within(kReadShare / 2 + 0.01, kReadShare - 0.01) > 0, c.testRead) << track;
        }
        uninstallEmulatedDrive(kDrivePath);
    }
}

namespace {
// Calls back when the rip thread hands over a given sector of a track (before that audio enters
// the encoder's stream), to act during the rip.
struct AudioHook : RipObserver {
    void onAudio(int32_t track, int32_t sector, const uint8_t*, size_t bytes) override
    {
        if (track == atTrack && sector <= atSector && atSector < sector + static_cast<int32_t>(bytes / 2352) && action)
            action();
    }
    void onUnreadableSector(int32_t, int32_t) override {}
    int32_t atTrack = 0, atSector = 0;
    std::function<void()> action;
};

constexpr char kEarlier[] = "an earlier file of this name, kept byte for byte";
} // namespace

TEST_F(EmulatedRip, WholeTracksAreCommittedEqualToADirectEncodeAndNothingElseIsLeft)
{
    struct Case {
        int32_t format;
        uint32_t quality;
        const char* extension;
    } cases[] = {{kFormatWav, 0, ".Wav"}, {kFormatFlac, 5, ".flac"}, {kFormatMp3, 2, ".mp3"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        install(audioDisc({150, 77}));
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        for (int32_t i = 0; i < job.count; ++i)
            job.tracks[i].quality = c.quality;
        m_format = c.format;
        RipOptions options;
        options.laneOverride = 2;
        ripWith(job, options, nullptr);

        std::set<std::string> expected;
        for (int32_t i = 0; i < job.count; ++i) {
            EXPECT_EQ(job.tracks[i].status.load(), TrackStatus::Done);
            std::string name = "Track " + std::to_string(i + 1) + c.extension;
            expected.insert(name);
            // The same audio through the format's writer straight to a file elsewhere.
            TempDir direct;
            std::unique_ptr<FormatWriter> writer = makeFormatWriter(c.format);
            std::string pcm = sectors(static_cast<uint32_t>(job.tracks[i].start), static_cast<uint32_t>(job.tracks[i].length));
            std::string path = direct.file(name);
            ASSERT_TRUE(writer->open(WideString::fromUtf8(path).view(), c.quality, job.tracks[i].tags, pcm.size()));
            for (size_t at = 0; at < pcm.size(); at += kEncoderChunkBytes)
                ASSERT_TRUE(writer->write(reinterpret_cast<const uint8_t*>(pcm.data()) + at,
                                          std::min<size_t>(kEncoderChunkBytes, pcm.size() - at)));
            ASSERT_TRUE(writer->finish());
            EXPECT_TRUE(readFile(m_dir.file(name)) == readFile(path)) << name;
        }
        EXPECT_EQ(filesInFolder(), expected);
        for (const std::string& name : expected)
            std::filesystem::remove(m_dir.file(name));
        uninstallEmulatedDrive(kDrivePath);
    }
}

TEST_F(EmulatedRip, TracksThatAreNotWholeLeaveNoFileAndAnEarlierFileAlone)
{
    enum class Fault { Cancel, UnreadableSector, MediumRemoved };
    struct Case {
        const char* name;
        Fault fault;
        ExistingFiles existing;
        TrackStatus second; // the outcome of track 2, whose name an earlier file has
    } cases[] = {
        {"cancelled in track 2", Fault::Cancel, ExistingFiles::Replace, TrackStatus::Cancelled},
        {"unreadable sector in track 2", Fault::UnreadableSector, ExistingFiles::Replace, TrackStatus::Failed},
        {"medium removed in track 2", Fault::MediumRemoved, ExistingFiles::Replace, TrackStatus::Failed},
        {"unreadable sector, refusing", Fault::UnreadableSector, ExistingFiles::Refuse, TrackStatus::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatedFaults faults;
        if (c.fault == Fault::UnreadableSector)
            faults.readFaults.push_back({260, kPermanentFault});
        if (c.fault == Fault::MediumRemoved)
            faults.removeAfterSectors = 280;
        install(audioDisc({200, 200}), faults);
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        job.existingFiles = c.existing;
        test::writeFile(m_dir.file("Track 2.Wav"), kEarlier);
        ConversionJob* running = &job;
        AudioHook hook;
        hook.atTrack = 1;
        hook.atSector = 96; // track 2 is half read and its encoder has a .part file open
        if (c.fault == Fault::Cancel)
            hook.action = [running] { running->cancel.store(1); };
        RipOptions options;
        options.laneOverride = 1;
        ripWith(job, options, &hook);

        EXPECT_EQ(job.tracks[0].status.load(), TrackStatus::Done);
        EXPECT_TRUE(wavData(0) == sectors(0, 200));
        EXPECT_EQ(job.tracks[1].status.load(), c.second);
        EXPECT_EQ(readFile(m_dir.file("Track 2.Wav")), kEarlier);
        EXPECT_EQ(filesInFolder(), (std::set<std::string>{"Track 1.Wav", "Track 2.Wav"}));
        std::filesystem::remove(m_dir.file("Track 1.Wav"));
        uninstallEmulatedDrive(kDrivePath);
    }
}

TEST_F(EmulatedRip, AFileThatAppearsDuringTheRipIsKeptOrReplacedAsChosen)
{
    for (ExistingFiles existing : {ExistingFiles::Refuse, ExistingFiles::Replace}) {
        bool refuse = existing == ExistingFiles::Refuse;
        SCOPED_TRACE(refuse ? "refuse" : "replace");
        install(audioDisc({120}));
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        job.existingFiles = existing;
        job.tracks[0].title = WideString(u"Überall");
        std::string name = "01 - \xC3\x9C" "berall.Wav";
        std::string path = m_dir.file(name);
        AudioHook hook;
        hook.atSector = 60; // the file is created by someone else while the track is ripped
        hook.action = [path] { test::writeFile(path, kEarlier); };
        RipOptions options;
        options.laneOverride = 1;
        ripWith(job, options, &hook);

        EXPECT_EQ(job.tracks[0].status.load(), refuse ? TrackStatus::Failed : TrackStatus::Done);
        std::string file = readFile(path);
        if (refuse)
            EXPECT_EQ(file, kEarlier);
        else
            EXPECT_TRUE(file.size() > 44 && file.substr(44) == sectors(0, 120));
        EXPECT_EQ(filesInFolder(), std::set<std::string>{name});
        std::filesystem::remove(path);
        uninstallEmulatedDrive(kDrivePath);
    }
}

// A drive cache larger than the 4 MiB once assumed kept the damaged copy read, and the test read
// came from it: the two agreed on damage. The cache is measured now (its reads from the disc
// take the emulated time, re-reads from the cache none) and read past twice over, so the test
// read comes from the disc and differs.
TEST_F(EmulatedRip, TestAndCopyMeasuresTheDriveCacheAndCatchesADamagedSectorBehindIt)
{
    constexpr uint32_t kMiB = 1u << 20;
    constexpr uint32_t kDamaged = 700; // [LBA] in track 1
    constexpr uint32_t kSpeed = 16000; // [sectors/s] 16 sectors from the disc take 1 ms
    struct Case {
        uint32_t cacheMiB;
        uint32_t damagedReads; // the cache measurement reads it once, then copy, test, re-reads
    } cases[] = {{4, 3}, {8, 3}, {16, 3}, {8, kForever}};
    for (const Case& c : cases) {
        const uint32_t cacheSectors = c.cacheMiB * kMiB / 2352;
        EmulatedFaults faults;
        faults.cacheSectors = cacheSectors;
        faults.sectorsPerSecond = kSpeed;
        faults.corruptions.push_back({kDamaged, c.damagedReads});
        // Room past track 1 for the cache and a little more: reading the disc's end pushes
        // track 1 out of it.
        install(audioDisc({1500, cacheSectors + 1000}), faults);
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        job.tracks[1].selected = false;
        SecureLog log;
        RipOptions options;
        options.laneOverride = 1;
        options.mode = ReadMode::TestAndCopy;
        ripWith(job, options, &log);

        const std::string name = std::to_string(c.cacheMiB) + " MiB, damaged reads " + std::to_string(c.damagedReads);
        EXPECT_EQ(log.cacheSource, DriveCacheSource::Measured) << name;
        EXPECT_EQ(log.cacheBytes, c.cacheMiB * kMiB) << name;
        std::string file = wavData(0), disc = sectors(0, 1500);
        ASSERT_EQ(file.size(), disc.size());
        if (c.damagedReads == kForever) {
            // Never the same twice: named, and every other sector is the disc's.
            EXPECT_EQ(log.suspicious, std::vector<int32_t>{kDamaged}) << name;
            EXPECT_TRUE(file.substr(0, kDamaged * 2352) == disc.substr(0, kDamaged * 2352)) << name;
            EXPECT_TRUE(file.substr((kDamaged + 1) * 2352) == disc.substr((kDamaged + 1) * 2352)) << name;
        } else {
            // Copy and test differ, two clean re-reads agree: the file is the disc's.
            EXPECT_TRUE(file == disc) << name;
            ASSERT_EQ(log.rereads.size(), 1u) << name;
            EXPECT_TRUE(log.rereads[0].agreed) << name;
            EXPECT_TRUE(log.suspicious.empty()) << name;
        }
        uninstallEmulatedDrive(kDrivePath);
    }
}

TEST_F(EmulatedRip, DriveCacheIsGivenOrAssumedWhenNothingCanBeTimed)
{
    struct Case {
        const char* name;
        std::optional<uint32_t> given;
        uint32_t speed; // [sectors/s]; 0: memory speed, misses cost as little as hits
        uint32_t bytes;
        DriveCacheSource source;
    } cases[] = {
        {"given", 6u << 20, 16000, 6u << 20, DriveCacheSource::Given},
        {"memory speed", std::nullopt, 0, kDefaultDriveCacheBytes, DriveCacheSource::Assumed},
    };
    for (const Case& c : cases) {
        EmulatedFaults faults;
        faults.cacheSectors = 64;
        faults.sectorsPerSecond = c.speed;
        install(audioDisc({600, 600}), faults);
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        SecureLog log;
        RipOptions options;
        options.laneOverride = 1;
        options.mode = ReadMode::TestAndCopy;
        options.driveCacheBytes = c.given;
        ripWith(job, options, &log);
        EXPECT_EQ(log.cacheBytes, c.bytes) << c.name;
        EXPECT_EQ(log.cacheSource, c.source) << c.name;
        EXPECT_TRUE(wavData(0) == sectors(0, 600)) << c.name;
        uninstallEmulatedDrive(kDrivePath);
    }
}

// The unreadable sectors the observer hears of are exactly the silent sectors in the file, with
// the read offset moving a bad drive sector into two disc sectors, and secure reading dropping
// the sectors a later read delivered.
TEST_F(EmulatedRip, UnreadableSectorsReportedAreTheSilenceInTheFile)
{
    constexpr uint32_t kBad = 150; // [drive LBA] mid-chunk in track 1
    constexpr uint32_t kCopyFailures = 24; // the copy read's tries with offset 667: 8 for the chunk,
                                           // 8 for each of the two disc sectors it spans
    struct Case {
        const char* name;
        ReadMode mode;
        int32_t offset; // [samples]
        uint32_t failures;
        std::vector<int32_t> unreadable; // [disc LBA]
    } cases[] = {
        {"one read, no offset", ReadMode::Single, 0, kPermanentFault, {150}},
        {"one read, offset 667", ReadMode::Single, 667, kPermanentFault, {148, 149}},
        {"offset -667", ReadMode::Single, -667, kPermanentFault, {151, 152}},
        {"test and copy, never reads", ReadMode::TestAndCopy, 667, kPermanentFault, {148, 149}},
        {"test and copy, the test read delivers", ReadMode::TestAndCopy, 667, kCopyFailures, {}},
    };
    for (const Case& c : cases) {
        EmulatedFaults faults;
        faults.readFaults.push_back({kBad, c.failures});
        install(audioDisc({300, 300}), faults, c.offset);
        ConversionJob job;
        ASSERT_TRUE(loadDisc(job, kDrivePath).loaded);
        job.tracks[1].selected = false;
        SecureLog log;
        RipOptions options;
        options.laneOverride = 1;
        options.mode = c.mode;
        options.readOffset = c.offset;
        options.driveCacheBytes = 0; // no cache to read past
        options.firstBackoffMs = 0;
        ripWith(job, options, &log);

        EXPECT_EQ(log.unreadable, c.unreadable) << c.name;
        EXPECT_EQ(job.tracks[0].status.load(), c.unreadable.empty() ? TrackStatus::Done : TrackStatus::Failed)
            << c.name;
        // A track with silence for unreadable sectors is not whole: no file under its name.
        EXPECT_EQ(fileExists(m_dir.path() + "/Track 1.Wav"), c.unreadable.empty()) << c.name;
        if (c.unreadable.empty()) {
            EXPECT_TRUE(wavData(0) == log.audio[0]) << c.name;
        }
        std::string file = log.audio[0], disc = sectors(0, 300);
        ASSERT_EQ(file.size(), disc.size()) << c.name;
        if (c.offset < 0) // the drive cannot read before the disc's start
            std::fill(disc.begin(), disc.begin() + 667 * 4, '\0');
        std::vector<int32_t> silenced; // sectors of music that the file holds as silence
        for (int32_t s = 0; s < 300; ++s) {
            std::string_view inFile(file.data() + size_t(s) * 2352, 2352), onDisc(disc.data() + size_t(s) * 2352, 2352);
            if (inFile != onDisc) {
                EXPECT_EQ(inFile.find_first_not_of('\0'), std::string_view::npos) << c.name << " sector " << s;
                silenced.push_back(s);
            }
        }
        EXPECT_EQ(silenced, c.unreadable) << c.name;
        uninstallEmulatedDrive(kDrivePath);
    }
}
