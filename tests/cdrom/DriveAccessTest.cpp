#include "CdromTestSupport.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/drives/DiscCheck.h"
#include "cdrom/drives/DriveEnumerator.h"
#include "cdrom/drives/MediaWatcher.h"
#include "cdrom/mmc/MmcCommands.h"
#include "core/foundation/Clock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tonvane {
namespace {

TEST(DriveEnumeration, RealDrivesInNumberOrderThenImageDrives)
{
    test::TempDir sysfs;
    for (const char* name : {"sr10", "sda", "sr2", "srx", "sr0", "loop0"})
        ::mkdir(sysfs.file(name).c_str(), 0755);
    DriveSources sources;
    sources.sysfsRoot = sysfs.path();
    sources.imageDrives = {"image:/discs/a.cue", "demo:"};
    EXPECT_EQ(listDrives(sources),
        (std::vector<std::string>{"/dev/sr0", "/dev/sr2", "/dev/sr10", "image:/discs/a.cue", "demo:"}));
}

TEST(DriveEnumeration, TwoImageDrivesGiveTheirPathsThenNothing)
{
    DriveSources sources;
    sources.sysfsRoot = "/nonexistent/sys/block";
    sources.imageDrives = {"image:/discs/C.cue", "image:/discs/D.cue"};
    DriveEnumerator enumerator(sources);
    enumerator.start();
    EXPECT_EQ(enumerator.nextDriveRoot(), "image:/discs/C.cue");
    EXPECT_EQ(enumerator.nextDriveRoot(), "image:/discs/D.cue");
    EXPECT_EQ(enumerator.currentPath(), "image:/discs/D.cue");
    EXPECT_EQ(enumerator.nextDriveRoot(), std::nullopt);
    EXPECT_EQ(enumerator.nextDriveRoot(), std::nullopt);
    enumerator.start(); // a new enumeration starts over
    EXPECT_EQ(enumerator.nextDriveRoot(), "image:/discs/C.cue");

    EXPECT_TRUE(isCdDrivePath("/dev/sr3"));
    EXPECT_TRUE(isCdDrivePath("demo:"));
    EXPECT_FALSE(isCdDrivePath("/dev/sda"));
}

TEST(DeviceOpen, EveryDriveKindOpensThroughTheSamePath)
{
    CdDevice device;
    ASSERT_TRUE(openDevice(device, "demo:"));
    EXPECT_TRUE(testUnitReady(device));
    closeDevice(device);
    EXPECT_FALSE(device.isOpen());

    test::ScopedDrive installed("image:/virtual/C.cue", test::makeDrive(test::audioDisc({750})));
    ASSERT_TRUE(openDevice(device, installed.path()));
    EXPECT_TRUE(testUnitReady(device));
    EXPECT_EQ(installed.drive().recordedCommands().size(), 1u);

    EXPECT_FALSE(openDevice(device, "image:/nonexistent/disc.cue"));
    EXPECT_FALSE(device.isOpen());
    EXPECT_FALSE(openDevice(device, "/nonexistent/sr0"));
}

TEST(DeviceOpen, ADriveTakingOneAndAHalfSecondsIsNotOpenable)
{
    EmulatedDriveConfig config;
    config.faults.openDelayMs = 1500;
    auto drive = test::makeDrive(test::audioDisc({750}), config);
    test::ScopedDrive installed("image:/virtual/slow.cue", drive);
    long idle = drive.use_count();

    CdDevice device;
    uint64_t start = tickCountMs();
    EXPECT_FALSE(openDevice(device, installed.path()));
    uint64_t waited = tickCountMs() - start;
    EXPECT_GE(waited, 990u);
    EXPECT_FALSE(device.isOpen());

    // The abandoned opener finishes later and closes the connection it made itself.
    for (int i = 0; i < 300 && drive.use_count() != idle; ++i)
        sleepMs(10);
    EXPECT_EQ(drive.use_count(), idle);
    EXPECT_FALSE(drive->volumeLocked());
}

TEST(DiscCheck, AudioDiscsDataDiscsAndDvds)
{
    test::ScopedDrive audio("image:/virtual/audio.cue", test::makeDrive(test::audioDisc({750, 750})));
    EXPECT_TRUE(hasAudioDisc(audio.path(), false));

    DiscDescription dataOnly;
    dataOnly.tracks = {{TrackKind::Data, 1000, 0, 0}};
    test::ScopedDrive data("image:/virtual/data.cue", test::makeDrive(dataOnly));
    EXPECT_FALSE(hasAudioDisc(data.path(), false));

    DiscDescription dataFirst = dataOnly;
    dataFirst.silentAudio = true;
    dataFirst.tracks.push_back({TrackKind::Audio, 500, 0, 0});
    test::ScopedDrive mixed("image:/virtual/mixed.cue", test::makeDrive(dataFirst));
    EXPECT_TRUE(hasAudioDisc(mixed.path(), false));

    EmulatedDriveConfig dvdConfig;
    dvdConfig.profile = kProfileDvdRom;
    test::ScopedDrive dvd("image:/virtual/dvd.cue", test::makeDrive(test::audioDisc({750}), dvdConfig));
    EXPECT_FALSE(hasAudioDisc(dvd.path(), false));
    // The DVD is turned down on its profile alone: no disc or track information is read.
    EXPECT_EQ(test::opcodes(dvd.drive().recordedCommands()), (std::vector<uint8_t>{kOpGetConfiguration}));
}

TEST(DiscCheck, StartupScanStopsAtTheFirstDriveWithAudio)
{
    DiscDescription dataOnly;
    dataOnly.tracks = {{TrackKind::Data, 1000, 0, 0}};
    test::ScopedDrive data("image:/virtual/scan-data.cue", test::makeDrive(dataOnly));
    test::ScopedDrive first("image:/virtual/scan-audio1.cue", test::makeDrive(test::audioDisc({750})));
    test::ScopedDrive second("image:/virtual/scan-audio2.cue", test::makeDrive(test::audioDisc({750})));
    DriveSources sources;
    sources.sysfsRoot = "/nonexistent/sys/block";
    sources.imageDrives = {data.path(), first.path(), second.path()};
    EXPECT_EQ(findDriveWithAudioDisc(sources), first.path());
    EXPECT_TRUE(second.drive().recordedCommands().empty()); // never asked
    sources.imageDrives = {data.path()};
    EXPECT_EQ(findDriveWithAudioDisc(sources), std::nullopt);
}

TEST(DiscCheck, FailingCapabilityRefreshIsTriedFourTimesASecondApart)
{
    EmulatedDriveConfig config;
    config.faults.getConfigurationFails = true;
    test::ScopedDrive broken("image:/virtual/broken.cue", test::makeDrive(test::audioDisc({750}), config));
    std::vector<uint32_t> sleeps;
    DiscCheckTiming timing;
    timing.sleep = [&](uint32_t ms) { sleeps.push_back(ms); };
    EXPECT_FALSE(hasAudioDisc(broken.path(), true, timing));
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{1000, 1000, 1000}));
    EXPECT_EQ(test::opcodes(broken.drive().recordedCommands()),
        (std::vector<uint8_t>{kOpGetConfiguration, kOpGetConfiguration, kOpGetConfiguration, kOpGetConfiguration}));

    sleeps.clear();
    EXPECT_FALSE(hasAudioDisc("image:/nonexistent/x.cue", false, timing));
    EXPECT_EQ(sleeps.size(), 3u);
}

TEST(DiscCheck, NotReadyForeverSpendsTheWholeBudgetThenGoesOn)
{
    EmulatedDriveConfig config;
    config.faults.notReadyMs = kForever;
    test::ScopedDrive stuck("image:/virtual/stuck.cue", test::makeDrive(test::audioDisc({750}), config));
    uint64_t slept = 0;
    uint32_t naps = 0;
    DiscCheckTiming timing;
    timing.sleep = [&](uint32_t ms) {
        slept += ms;
        ++naps;
    };
    EXPECT_FALSE(hasAudioDisc(stuck.path(), true, timing));
    EXPECT_EQ(naps, 4400u);
    EXPECT_EQ(slept, 44000u);
    auto commands = test::opcodes(stuck.drive().recordedCommands());
    EXPECT_EQ(std::count(commands.begin(), commands.end(), kOpTestUnitReady), 4400);
    // Without the wait flag the drive is not waited for at all.
    stuck.drive().clearRecordedCommands();
    naps = 0;
    EXPECT_FALSE(hasAudioDisc(stuck.path(), false, timing));
    EXPECT_EQ(naps, 0u);
}

TEST(DiscCheck, WaitsForASpinningDriveAndThenFindsTheAudio)
{
    EmulatedDriveConfig config;
    config.faults.notReadyMs = 300;
    test::ScopedDrive spinning("image:/virtual/spin.cue", test::makeDrive(test::audioDisc({750}), config));
    EXPECT_TRUE(hasAudioDisc(spinning.path(), true));
    auto commands = test::opcodes(spinning.drive().recordedCommands());
    EXPECT_GT(std::count(commands.begin(), commands.end(), kOpTestUnitReady), 1);
}

TEST(DiscCheck, AFailedTrackInformationReadsAsAudio)
{
    // Only a data track on the disc, but every READ TRACK INFORMATION fails: the zero-filled
    // answer has the data bit clear, so the check answers true as the drive protocol has it.
    DiscDescription dataOnly;
    dataOnly.tracks = {{TrackKind::Data, 1000, 0, 0}};
    EmulatedDriveConfig config;
    config.faults.trackInformationFails = true;
    test::ScopedDrive odd("image:/virtual/odd.cue", test::makeDrive(dataOnly, config));
    EXPECT_TRUE(hasAudioDisc(odd.path(), false));
}

TEST(MediaWatcher, ReportsArrivalAndRemovalInDriveOrder)
{
    std::mutex mutex;
    std::map<std::string, DriveMediaStatus> states = {
        {"/dev/sr0", DriveMediaStatus::NoDisc},
        {"/dev/sr1", DriveMediaStatus::DiscPresent},
        {"/dev/sr2", DriveMediaStatus::DiscPresent},
    };
    std::vector<std::pair<MediaEventKind, std::string>> events;
    Event got;
    MediaWatcher watcher;
    MediaWatcher::Options options;
    options.drives = {"/dev/sr0", "/dev/sr1", "/dev/sr2"};
    options.pollIntervalMs = 20;
    options.probe = [&](const std::string& path) {
        std::lock_guard lock(mutex);
        return states[path];
    };
    ASSERT_TRUE(watcher.start(options, [&](const MediaEvent& event) {
        std::lock_guard lock(mutex);
        events.emplace_back(event.kind, event.devicePath);
        got.set();
    }));
    sleepMs(60);
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(events.empty()); // the drives' first state is no event
        states["/dev/sr2"] = DriveMediaStatus::NoDisc;
        states["/dev/sr1"] = DriveMediaStatus::NoDisc;
    }
    ASSERT_TRUE(got.waitFor(std::chrono::seconds(5)));
    sleepMs(60);
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0], std::make_pair(MediaEventKind::Removal, std::string("/dev/sr1")));
        EXPECT_EQ(events[1], std::make_pair(MediaEventKind::Removal, std::string("/dev/sr2")));
        got.reset(); // the second removal signalled it again; wait for the arrival itself
        states["/dev/sr0"] = DriveMediaStatus::DiscPresent;
    }
    ASSERT_TRUE(got.waitFor(std::chrono::seconds(5)));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(events.back(), std::make_pair(MediaEventKind::Arrival, std::string("/dev/sr0")));
    }
    watcher.stop();
    EXPECT_FALSE(watcher.isRunning());
}

// One drive's answers poll by poll (the first is the state at start, the last repeats): a loaded
// drive's NOT READY is a removal only on its second poll in a row; an empty tray is one at once.
TEST(MediaWatcher, ALoadedDrivesNotReadyIsARemovalOnlyWhenItLasts)
{
    using S = DriveMediaStatus;
    using K = MediaEventKind;
    struct Case {
        const char* what;
        std::vector<S> answers;
        std::vector<std::pair<K, int>> events; // kind, poll
    } cases[] = {
        {"one NOT READY poll", {S::DiscPresent, S::NotReady, S::DiscPresent}, {}},
        {"two apart", {S::DiscPresent, S::NotReady, S::DiscPresent, S::NotReady, S::DiscPresent}, {}},
        {"two in a row", {S::DiscPresent, S::NotReady, S::NotReady, S::DiscPresent},
         {{K::Removal, 2}, {K::Arrival, 3}}},
        {"tray opened", {S::DiscPresent, S::NoDisc, S::DiscPresent}, {{K::Removal, 1}, {K::Arrival, 2}}},
        {"a new disc spinning up", {S::NoDisc, S::NotReady, S::DiscPresent}, {{K::Arrival, 2}}},
        {"spinning up at start", {S::NotReady, S::NotReady, S::DiscPresent}, {{K::Arrival, 2}}},
    };
    for (const Case& c : cases) {
        std::mutex mutex;
        int polls = 0;
        std::vector<std::pair<K, int>> events;
        MediaWatcher watcher;
        MediaWatcher::Options options;
        options.drives = {"/dev/sr0"};
        options.pollIntervalMs = 1;
        options.probe = [&](const std::string&) {
            std::lock_guard lock(mutex);
            return c.answers[std::min(size_t(polls++), c.answers.size() - 1)];
        };
        ASSERT_TRUE(watcher.start(options, [&](const MediaEvent& event) {
            std::lock_guard lock(mutex);
            events.emplace_back(event.kind, polls - 1);
        }));
        for (int i = 0; i < 5000; ++i) {
            {
                std::lock_guard lock(mutex);
                if (polls > int(c.answers.size()) + 2)
                    break;
            }
            sleepMs(1);
        }
        watcher.stop();
        EXPECT_GT(polls, int(c.answers.size()) + 2) << c.what;
        EXPECT_EQ(events, c.events) << c.what;
    }
}

TEST(MediaWatcher, ADriveThatCannotBeAskedKeepsItsLastState)
{
    // A drive held by another program answers "unknown" for a while: no removal and no
    // arrival after it; a real removal still comes through.
    std::mutex mutex;
    DriveMediaStatus state = DriveMediaStatus::DiscPresent;
    int probes = 0;
    std::vector<MediaEventKind> events;
    Event got;
    MediaWatcher watcher;
    MediaWatcher::Options options;
    options.drives = {"/dev/sr0"};
    options.pollIntervalMs = 10;
    options.probe = [&](const std::string&) {
        std::lock_guard lock(mutex);
        ++probes;
        return state;
    };
    ASSERT_TRUE(watcher.start(options, [&](const MediaEvent& event) {
        std::lock_guard lock(mutex);
        events.push_back(event.kind);
        got.set();
    }));
    auto waitForProbes = [&](int more) {
        int target;
        {
            std::lock_guard lock(mutex);
            target = probes + more;
        }
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard lock(mutex);
                if (probes >= target)
                    return;
            }
            sleepMs(5);
        }
    };
    waitForProbes(2);
    {
        std::lock_guard lock(mutex);
        state = DriveMediaStatus::Unknown;
    }
    waitForProbes(3);
    {
        std::lock_guard lock(mutex);
        state = DriveMediaStatus::DiscPresent;
    }
    waitForProbes(3);
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(events.empty());
        state = DriveMediaStatus::NoDisc;
    }
    ASSERT_TRUE(got.waitFor(std::chrono::seconds(5)));
    watcher.stop();
    EXPECT_EQ(events, (std::vector<MediaEventKind>{MediaEventKind::Removal}));
}

TEST(MediaWatcher, StopsPromptlyAndSeesEmulatedRemoval)
{
    auto drive = test::makeDrive(test::audioDisc({750}));
    test::ScopedDrive installed("image:/virtual/watched.cue", drive);
    std::vector<MediaEvent> events;
    std::mutex mutex;
    Event got;
    MediaWatcher watcher;
    MediaWatcher::Options options;
    options.drives = {installed.path()};
    options.pollIntervalMs = 20;
    ASSERT_TRUE(watcher.start(options, [&](const MediaEvent& event) {
        std::lock_guard lock(mutex);
        events.push_back(event);
        got.set();
    }));
    sleepMs(50);
    drive->removeMedium();
    ASSERT_TRUE(got.waitFor(std::chrono::seconds(5)));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(events[0].kind, MediaEventKind::Removal);
        EXPECT_EQ(events[0].devicePath, installed.path());
    }
    watcher.stop();

    // The default interval is 2 s; stop must not wait it out.
    MediaWatcher slow;
    MediaWatcher::Options slowOptions;
    slowOptions.drives = {installed.path()};
    ASSERT_TRUE(slow.start(slowOptions, [](const MediaEvent&) {}));
    sleepMs(20);
    uint64_t start = tickCountMs();
    slow.stop();
    EXPECT_LT(tickCountMs() - start, 1000u);
}

} // namespace
} // namespace tonvane
