// Secure reading against a normal rip on the ten-minute music disc through an emulated 8x drive:
// secure on a disc the (local) AccurateRip record knows (target at most 1.1x the normal time),
// secure on a disc it does not know and test-and-copy (target at most 2.2x), and the CPU the
// AccurateRip and CRC-32 pass costs against the normal rip's CPU (target under 1%).
//
//   bench-secure [CUE [runs]]   (default build/bench-music/disc.cue, 1 run; medians of the runs)
#include "session/AccurateRipLookup.h"
#include "session/RipChecks.h"
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/Crc32.h"
#include "cdrom/emulated/CueSheet.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/rip/DeviceRipDrive.h"
#include "cdrom/rip/RipThread.h"
#include "core/disc/EncoderSettings.h"
#include "core/foundation/Clock.h"
#include "core/language/Language.h"
#include "encoders/framework/JobEncoderStarter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace tonvane;

namespace {

constexpr char kDrivePath[] = "image:/bench/secure.cue";
constexpr uint32_t kEightTimesSpeed = 8 * 75; // [sectors/s]
constexpr int32_t kLanes = 2;
constexpr uint32_t kVorbisDefaultQuality = 6; // q0.6, the program's default

class BenchSink : public ProgressSink {
public:
    explicit BenchSink(ConversionJob& job) : m_job(job) {}
    void onProgress(int32_t, double) override {}
    void onFinished() override {}
    bool isCancelled() override { return m_job.cancel.load() != 0; }

private:
    ConversionJob& m_job;
};

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Run {
    double wall = 0; // [s]
    double cpu = 0; // [s] of the whole process
};

// The record the database would hold for this disc: every track with confidence 10.
AccurateRipRecord recordFor(const EmulatedDisc& disc, const AccurateRipDiscId& id)
{
    AccurateRipRecord record;
    record.state = AccurateRipRecord::State::Found;
    AccurateRipBlock block;
    const auto& tracks = disc.tracks();
    std::vector<uint8_t> pcm;
    for (size_t t = 0; t < tracks.size(); ++t) {
        uint32_t end = t + 1 < tracks.size() ? tracks[t + 1].start : disc.leadOut();
        pcm.resize(size_t{end - tracks[t].start} * 2352);
        disc.readSectors(tracks[t].start, end - tracks[t].start, pcm.data());
        AccurateRipChecksum checksum(pcm.size() / 4, t == 0, t + 1 == tracks.size());
        checksum.feed(pcm.data(), pcm.size());
        block.push_back({10, checksum.v1(), 0});
    }
    record.blocks.push_back(block);
    (void)id;
    return record;
}

Run rip(const std::shared_ptr<const EmulatedDisc>& disc, ReadMode mode, const AccurateRipRecord* record,
        const AccurateRipDiscId& id, const std::string& folder)
{
    EmulatedDriveConfig config;
    config.faults.sectorsPerSecond = kEightTimesSpeed;
    installEmulatedDrive(kDrivePath, std::make_shared<EmulatedDrive>(disc, config));
    ConversionJob job;
    const auto& tracks = disc->tracks();
    job.resetTracks(static_cast<int32_t>(tracks.size()));
    for (size_t i = 0; i < tracks.size(); ++i) {
        TrackEntry& entry = job.tracks[i];
        entry.trackNumber = tracks[i].number;
        entry.start = static_cast<int32_t>(tracks[i].start);
        entry.length = static_cast<int32_t>(tracks[i].length);
        entry.format = kFormatVorbis; // the program's default format, at its default quality
        entry.quality = kVorbisDefaultQuality;
    }
    job.count = static_cast<int32_t>(tracks.size());
    job.drivePath = WideString::fromUtf8(kDrivePath);

    BenchSink sink(job);
    DeviceRipDrive drive;
    JobEncoderStarter starter;
    RipChecks checks(job, record, &id);
    RipEnvironment environment{&drive, &starter, {}, &checks};
    environment.options.laneOverride = kLanes;
    environment.options.order = TrackOrder::LongestFirst;
    environment.options.mode = mode;
    double cpuBefore = processCpuSeconds();
    uint64_t before = monotonicNs();
    startConversion(job, WideString::fromUtf8(folder + "/"), sink, environment);
    waitForConversion(job);
    Run run{static_cast<double>(monotonicNs() - before) / 1e9, processCpuSeconds() - cpuBefore};
    uninstallEmulatedDrive(kDrivePath);
    for (int32_t i = 0; i < job.count; ++i)
        if (job.tracks[i].status.load() != TrackStatus::Done)
            std::fprintf(stderr, "bench-secure: track %d did not finish\n", i + 1);
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void report(const char* name, const std::vector<double>& times, double normal, double target)
{
    double m = median(times);
    auto [low, high] = std::minmax_element(times.begin(), times.end());
    std::printf("%-28s median %7.2f s (%.2f-%.2f)  ratio to normal %.3f  target <= %.1f: %s\n", name, m, *low, *high,
                m / normal, target, m / normal <= target ? "met" : "NOT met");
}

} // namespace

int main(int argc, char** argv)
{
    fillLanguageSlots();
    setCurrentLanguage(kEnglish);
    std::string cue = argc > 1 ? argv[1] : "build/bench-music/disc.cue";
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    CueLoadResult loaded = loadCueSheet(cue);
    if (!loaded.ok()) {
        std::fprintf(stderr, "bench-secure: %s: %s (make it with tools/bench/pipeline/make-music-disc.sh)\n",
                     cue.c_str(), loaded.error.message.c_str());
        return 1;
    }
    std::shared_ptr<const EmulatedDisc> disc = loaded.disc;
    std::vector<DiscIdTrack> idTracks;
    for (const EmulatedTrack& track : disc->tracks())
        idTracks.push_back({track.start, track.kind == TrackKind::Audio});
    AccurateRipDiscId id = *accurateRipDiscId(idTracks, disc->leadOut());
    AccurateRipRecord known = recordFor(*disc, id);
    AccurateRipRecord unknown;
    unknown.state = AccurateRipRecord::State::NoRecord;

    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string folder = std::string(base) + "/tonvane-bench-secure-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    std::printf("disc: %zu tracks, %.1f min, 8x drive, %d lanes, Ogg Vorbis\n", disc->tracks().size(),
                disc->leadOut() / 4500.0, kLanes);

    std::vector<double> normal, secureKnown, secureUnknown, testAndCopy, normalCpu;
    for (int r = 0; r < runs; ++r) {
        Run n = rip(disc, ReadMode::Single, &unknown, id, folder);
        normal.push_back(n.wall);
        normalCpu.push_back(n.cpu);
        secureKnown.push_back(rip(disc, ReadMode::Secure, &known, id, folder).wall);
        secureUnknown.push_back(rip(disc, ReadMode::Secure, &unknown, id, folder).wall);
        testAndCopy.push_back(rip(disc, ReadMode::TestAndCopy, &known, id, folder).wall);
    }
    double normalTime = median(normal);
    std::printf("%-28s median %7.2f s (%.2f-%.2f)\n", "normal", normalTime, *std::min_element(normal.begin(), normal.end()),
                *std::max_element(normal.begin(), normal.end()));
    report("secure, disc known", secureKnown, normalTime, 1.1);
    report("secure, disc not known", secureUnknown, normalTime, 2.2);
    report("test and copy", testAndCopy, normalTime, 2.2);

    // The checksum pass alone over the whole disc, as the rip makes it: AccurateRip, then the
    // log's CRC-32.
    std::vector<uint8_t> pcm(size_t{disc->leadOut()} * 2352);
    disc->readSectors(0, disc->leadOut(), pcm.data());
    constexpr size_t kChunk = 16 * 2352; // [bytes] as the rip thread hands them over
    double before = threadCpuSeconds();
    AccurateRipChecksum checksum(pcm.size() / 4, true, true);
    for (size_t at = 0; at < pcm.size(); at += kChunk)
        checksum.feed(pcm.data() + at, std::min(kChunk, pcm.size() - at));
    double accurateRipCpu = threadCpuSeconds() - before;
    before = threadCpuSeconds();
    uint32_t crc = 0;
    for (size_t at = 0; at < pcm.size(); at += kChunk)
        crc = crc32Update(crc, pcm.data() + at, std::min(kChunk, pcm.size() - at));
    double crcCpu = threadCpuSeconds() - before;
    double ripCpu = median(normalCpu);
    double share = 100.0 * accurateRipCpu / ripCpu;
    std::printf("AccurateRip checksums (%08x): %.3f CPU s = %.2f%% of the normal rip's %.2f CPU s; target under 1%%: "
                "%s\n",
                checksum.v1(), accurateRipCpu, share, ripCpu, share < 1.0 ? "met" : "NOT met");
    std::printf("the log's CRC-32 (%08x): %.3f CPU s = %.2f%% more\n", crc, crcCpu, 100.0 * crcCpu / ripCpu);
    std::filesystem::remove_all(folder);
    return 0;
}
