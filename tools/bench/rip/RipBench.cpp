// Rip-to-WAV throughput against a plain memcpy of the same bytes, and the CPU the whole process
// spends per audio minute when an 8x drive is the bottleneck.
//
//   bench-rip [minutes]     (default 10 minutes of audio for the memory-speed run)
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/rip/DeviceRipDrive.h"
#include "cdrom/rip/RipThread.h"
#include "core/foundation/Clock.h"
#include "core/language/Language.h"
#include "encoders/framework/JobEncoderStarter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace tonvane;

namespace {

constexpr char kDrivePath[] = "image:/bench/disc.cue";
constexpr uint32_t kSectorsPerMinute = 60 * 75;
constexpr uint32_t kEightTimesSpeed = 8 * 75; // [sectors/s]

class BenchSink : public ProgressSink {
public:
    explicit BenchSink(ConversionJob& job) : m_job(job) {}
    void onProgress(int32_t, double) override {}
    void onFinished() override {}
    bool isCancelled() override { return m_job.cancel.load() != 0; }

private:
    ConversionJob& m_job;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct RunResult {
    double wallSeconds;
    double cpuSeconds;
    uint64_t bytes;
};

RunResult ripDisc(const std::vector<uint32_t>& trackSectors, uint32_t sectorsPerSecond, int lanes,
                  const std::string& folder)
{
    DiscDescription description;
    description.silentAudio = true; // content does not matter to WAV; building it should not cost
    for (uint32_t length : trackSectors)
        description.tracks.push_back({TrackKind::Audio, length, 0, 0});
    EmulatedDriveConfig config;
    config.faults.sectorsPerSecond = sectorsPerSecond;
    auto drive = std::make_shared<EmulatedDrive>(buildDisc(description), config);
    installEmulatedDrive(kDrivePath, drive);

    ConversionJob job;
    job.resetTracks(static_cast<int32_t>(trackSectors.size()));
    int32_t start = 0;
    uint64_t bytes = 0;
    for (size_t i = 0; i < trackSectors.size(); ++i) {
        TrackEntry& entry = job.tracks[i];
        entry.start = start;
        entry.length = static_cast<int32_t>(trackSectors[i]);
        entry.format = kFormatWav;
        start += entry.length;
        bytes += entry.byteSize();
    }
    job.count = static_cast<int32_t>(trackSectors.size());
    job.drivePath = WideString::fromUtf8(kDrivePath);

    BenchSink sink(job);
    DeviceRipDrive ripDrive;
    JobEncoderStarter starter;
    RipEnvironment environment{&ripDrive, &starter, {}};
    environment.options.laneOverride = lanes;
    double cpuBefore = cpuSeconds();
    uint64_t before = monotonicNs();
    startConversion(job, WideString::fromUtf8(folder + "/"), sink, environment);
    waitForConversion(job);
    RunResult result{static_cast<double>(monotonicNs() - before) / 1e9, cpuSeconds() - cpuBefore, bytes};
    uninstallEmulatedDrive(kDrivePath);
    for (int32_t i = 0; i < job.count; ++i)
        if (job.tracks[i].status.load() != TrackStatus::Done)
            std::fprintf(stderr, "bench-rip: track %d did not finish\n", i + 1);
    return result;
}

double memcpySeconds(uint64_t bytes)
{
    // The same bytes moved once by memcpy in rip-sized pieces between two large buffers.
    constexpr size_t kBlock = 64u << 20;
    std::vector<uint8_t> from(kBlock, 1), to(kBlock);
    uint64_t before = monotonicNs();
    for (uint64_t done = 0; done < bytes; done += kBlock) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, bytes - done));
        std::memcpy(to.data(), from.data(), n);
        from[done % kBlock] = to[n - 1]; // keep the copy from being optimised away
    }
    return static_cast<double>(monotonicNs() - before) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    fillLanguageSlots();
    setCurrentLanguage(kEnglish);
    double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (minutes <= 0)
        minutes = 10.0;
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string folder = std::string(base) + "/tonvane-bench-rip-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);

    // Memory speed: four tracks, two lanes.
    uint32_t trackSectors = static_cast<uint32_t>(minutes * kSectorsPerMinute / 4);
    RunResult fast = ripDisc({trackSectors, trackSectors, trackSectors, trackSectors}, 0, 2, folder);
    double copy = memcpySeconds(fast.bytes);
    std::printf("rip to WAV at memory speed: %.1f MiB in %.3f s = %.0f MiB/s (%.0fx real time)\n",
                static_cast<double>(fast.bytes) / 1048576.0, fast.wallSeconds,
                static_cast<double>(fast.bytes) / 1048576.0 / fast.wallSeconds,
                static_cast<double>(fast.bytes) / 176400.0 / fast.wallSeconds);
    std::printf("memcpy of the same bytes: %.3f s\n", copy);
    std::printf("ratio rip throughput / memcpy throughput: %.3f\n", copy / fast.wallSeconds);

    // An 8x drive: the drive is the bottleneck and the process should idle.
    uint32_t slowSectors = 45 * 75; // two tracks of 45 s
    RunResult slow = ripDisc({slowSectors, slowSectors}, kEightTimesSpeed, 2, folder);
    double audioMinutes = static_cast<double>(slow.bytes) / 176400.0 / 60.0;
    std::printf("8x drive: %.1f s audio in %.2f s, CPU %.3f s = %.3f CPU s per audio minute, %.2f%% of one core\n",
                audioMinutes * 60.0, slow.wallSeconds, slow.cpuSeconds, slow.cpuSeconds / audioMinutes,
                100.0 * slow.cpuSeconds / slow.wallSeconds);
    std::printf("target: under 2%% of one core while waiting for the drive: %s\n",
                100.0 * slow.cpuSeconds / slow.wallSeconds < 2.0 ? "met" : "NOT met");
    std::filesystem::remove_all(folder);
    return 0;
}
