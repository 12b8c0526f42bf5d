// A ripping station in one process: N rip sessions at once (one session thread each) on emulated
// drives with speed limits, all drawing their encoders from one pool sized to the processors.
//   drive-bound: two 8x drives ripping FLAC at once against one (target: at most 1.05x the time)
//   processor-bound: four 24x drives ripping MP3 at once against two lame processes in parallel
//     on the same audio with the program's settings (target: at least 0.9 of their throughput)
//   peak memory (VmHWM) of the four-drive rounds (target: under 96 MiB)
// Medians and spread over the rounds.
//
//   bench-station [CUE] [--rounds N] [--seconds S] [--station-binary PATH [ARGS...]]
//
// CUE defaults to build/bench-music/disc.cue (tools/bench/pipeline/make-music-disc.sh). --seconds
// rips only the first tracks that add up to S seconds (0: the whole disc); lame encodes the same.
// --station-binary also times PATH ARGS... --drive image:A.cue --drive image:B.cue --out DIR (two
// 8x drives, then four 24x drives), so that a station command can be measured the same way.
#include "session/RipSession.h"
#include "cdrom/rip/DiscLoader.h"
#include "cdrom/rip/EncoderPool.h"
#include "core/disc/EncoderFormat.h"
#include "core/foundation/Clock.h"
#include "core/language/Language.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace tonvane;

namespace {

constexpr uint32_t kEightTimes = 8 * 75; // [sectors/s]
constexpr uint32_t kTwentyFourTimes = 24 * 75; // [sectors/s]
constexpr uint32_t kFlacLevel = 5;
constexpr uint32_t kMp3Quality = 8; // 128 kbit/s, the program's default
constexpr double kDriveBoundTarget = 1.05; // [x the time of one drive]
constexpr double kThroughputTarget = 0.9; // [x the throughput of two lame processes]
constexpr double kPeakTargetMiB = 96.0;
constexpr double kBytesPerSecond = 176400.0; // CD audio

double now() { return static_cast<double>(monotonicNs()) / 1e9; }

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string spread(const std::vector<double>& values)
{
    auto [low, high] = std::minmax_element(values.begin(), values.end());
    char text[64];
    std::snprintf(text, sizeof text, "%.3f-%.3f", *low, *high);
    return text;
}

class QuietObserver final : public SessionObserver {};

// The CUE sheet with the drive's speed, as a sheet of its own beside the original (its FILE
// names resolve there); every drive gets its own path, hence its own emulated drive.
std::string speedSheet(const std::string& cue, uint32_t sectorsPerSecond, int32_t drive)
{
    std::ifstream in(cue);
    std::stringstream text;
    text << in.rdbuf();
    std::filesystem::path path(cue);
    std::string out = (path.parent_path() / ("station-" + std::to_string(sectorsPerSecond) + "-" +
                                              std::to_string(drive) + ".cue")).string();
    std::ofstream(out) << "REM TONVANE SPEED " << sectorsPerSecond << "\n" << text.str();
    return out;
}

struct Rip {
    double seconds = 0; // [s] wall clock of the whole batch
    double audio = 0; // [s] of audio ripped by all drives
    double cpu = 0; // [s] of processor time of the whole process meanwhile
    double tokensBusy = 0; // the pool's tokens in use, on average over the batch (0..1)
    bool ok = true;
};

double secondsOf(const timeval& time) { return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6; }

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
}

// Selects the first tracks that add up to at least limit seconds (0: every track).
double selectTracks(ConversionJob& job, double limit)
{
    double total = 0;
    for (int32_t i = 0; i < job.count; ++i) {
        job.tracks[i].selected = limit <= 0 || total < limit ? 1 : 0;
        if (job.tracks[i].selected)
            total += job.tracks[i].length * 2352.0 / kBytesPerSecond;
    }
    return total;
}

// drives sessions at once, each on its own speed-limited drive, sharing one pool.
Rip ripTogether(const std::string& cue, int32_t drives, uint32_t speed, int32_t format, uint32_t quality,
                double limit, const std::string& work)
{
    Rip rip;
    EncoderPool pool(static_cast<int32_t>(processorCount()));
    std::vector<std::unique_ptr<ConversionJob>> jobs;
    std::vector<std::unique_ptr<RipSession>> sessions;
    QuietObserver observer;
    for (int32_t d = 0; d < drives; ++d) {
        std::string path = "image:" + speedSheet(cue, speed, d);
        jobs.push_back(std::make_unique<ConversionJob>());
        ConversionJob& job = *jobs.back();
        if (!loadDisc(job, path).loaded) {
            std::fprintf(stderr, "bench-station: %s does not load\n", path.c_str());
            rip.ok = false;
            return rip;
        }
        for (int32_t i = 0; i < job.count; ++i) {
            job.tracks[i].format = format;
            job.tracks[i].quality = quality;
        }
        rip.audio += selectTracks(job, limit);
        SessionSettings settings;
        settings.drive = path;
        settings.folder = work + "/drive" + std::to_string(d);
        std::filesystem::create_directories(settings.folder);
        settings.accurateRip = false;
        settings.readOffset = 0;
        settings.order = TrackOrder::LongestFirst;
        settings.existingFiles = ExistingFiles::Replace;
        settings.encoderPool = &pool;
        settings.version = "Tonvane bench";
        sessions.push_back(std::make_unique<RipSession>(job, settings, observer, [](std::function<void()>) {}));
    }
    double start = now(), cpuBefore = processCpuSeconds();
    std::atomic<bool> over{false};
    std::thread sampler([&] {
        constexpr uint32_t kSampleMs = 10;
        uint64_t samples = 0, busy = 0;
        for (; !over.load(); ++samples, sleepMs(kSampleMs))
            busy += static_cast<uint64_t>(pool.counts().inUse);
        rip.tokensBusy = samples ? static_cast<double>(busy) / static_cast<double>(samples * pool.size()) : 0.0;
    });
    for (auto& session : sessions)
        rip.ok = session->start(nullptr) && rip.ok;
    for (auto& session : sessions)
        session->wait();
    rip.seconds = now() - start;
    rip.cpu = processCpuSeconds() - cpuBefore;
    over.store(true);
    sampler.join();
    for (auto& job : jobs)
        for (int32_t i = 0; i < job->count; ++i)
            if (job->tracks[i].selected && job->tracks[i].status.load() != TrackStatus::Done)
                rip.ok = false;
    sessions.clear(); // before the pool and the jobs
    std::filesystem::remove_all(work);
    return rip;
}

pid_t spawn(const std::vector<std::string>& command)
{
    std::vector<char*> argv;
    for (const auto& part : command)
        argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// [s] wall clock until every command ended; negative when one failed. cpu: the children's
// processor time [s].
double runTogether(const std::vector<std::vector<std::string>>& commands, double* cpu = nullptr)
{
    double start = now();
    std::vector<pid_t> children;
    for (const auto& command : commands)
        children.push_back(spawn(command));
    bool ok = true;
    for (pid_t child : children) {
        int status = 0;
        rusage usage{};
        ok = child > 0 && wait4(child, &status, 0, &usage) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
        if (cpu)
            *cpu += secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    }
    double seconds = now() - start;
    return ok ? seconds : -1;
}

// The first bytes of the disc's audio as one WAV file (44-byte header, then the BIN's bytes).
bool writeWav(const std::string& bin, uint32_t bytes, const std::string& wav)
{
    std::ifstream in(bin, std::ios::binary);
    std::ofstream out(wav, std::ios::binary);
    auto le32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    le32(36 + bytes);
    out.write("WAVEfmt ", 8);
    le32(16);
    le16(1);
    le16(2);
    le32(44100);
    le32(176400);
    le16(4);
    le16(16);
    out.write("data", 4);
    le32(bytes);
    std::vector<char> audio(bytes);
    in.read(audio.data(), bytes);
    out.write(audio.data(), in.gcount());
    return in.gcount() == static_cast<std::streamsize>(bytes) && static_cast<bool>(out);
}

// The BIN a CUE sheet names (the first FILE line), beside the sheet.
std::string binOf(const std::string& cue)
{
    std::ifstream in(cue);
    std::string line;
    while (std::getline(in, line)) {
        size_t open = line.find('"'), close = line.rfind('"');
        if (line.rfind("FILE", 0) == 0 && open != std::string::npos && close > open)
            return (std::filesystem::path(cue).parent_path() / line.substr(open + 1, close - open - 1)).string();
    }
    return {};
}

double peakMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5"; // VmHWM back to the current RSS
}

// The station command on the same drives: PATH ARGS... --drive image:... --out DIR.
double runStationBinary(const std::vector<std::string>& binary, const std::string& cue, int32_t drives,
                        uint32_t speed, const std::string& work)
{
    std::vector<std::string> command = binary;
    for (int32_t d = 0; d < drives; ++d) {
        command.push_back("--drive");
        command.push_back("image:" + speedSheet(cue, speed, d));
    }
    command.push_back("--out");
    command.push_back(work);
    std::filesystem::create_directories(work);
    double seconds = runTogether({command});
    std::filesystem::remove_all(work);
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    std::string cue = "build/bench-music/disc.cue";
    int rounds = 3;
    double limit = 240; // [s] of audio per 8x drive
    std::vector<std::string> binary;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--seconds" && i + 1 < argc)
            limit = std::atof(argv[++i]);
        else if (arg == "--station-binary" && i + 1 < argc)
            binary.assign(argv + i + 1, argv + argc), i = argc;
        else
            cue = arg;
    }
    std::string bin = binOf(cue);
    if (bin.empty() || !std::filesystem::exists(bin)) {
        std::fprintf(stderr, "bench-station: no disc image at %s (run tools/bench/pipeline/make-music-disc.sh)\n",
                     cue.c_str());
        return 2;
    }
    std::string work = std::filesystem::temp_directory_path().string() + "/tonvane-station-" + std::to_string(getpid());
    std::filesystem::create_directories(work);
    setenv("XDG_CONFIG_HOME", work.c_str(), 1); // the sessions store read offsets: not in the user's settings
    setenv("XDG_CACHE_HOME", work.c_str(), 1);
    fillLanguageSlots();
    setCurrentLanguage(kEnglish);
    std::printf("bench-station: %u processors, %d rounds, %s\n", processorCount(), rounds, cue.c_str());
    std::fflush(stdout);

    // The audio each drive rips: the first selected tracks, read from the disc as it loads.
    ConversionJob probe;
    if (!loadDisc(probe, "image:" + cue).loaded) {
        std::fprintf(stderr, "bench-station: %s does not load\n", cue.c_str());
        return 2;
    }
    double discSeconds = selectTracks(probe, limit);
    uint32_t ripBytes = static_cast<uint32_t>(discSeconds * kBytesPerSecond);
    std::string wavA = work + "/a.wav", wavB = work + "/b.wav";
    if (!writeWav(bin, ripBytes, wavA) || !writeWav(bin, ripBytes, wavB)) {
        std::fprintf(stderr, "bench-station: cannot write %s\n", wavA.c_str());
        return 2;
    }
    auto lame = [&](const std::string& in) {
        return std::vector<std::string>{"lame", "--quiet", "-q", "0", "-b", "128", "-m", "j", "--cbr", "--nores",
                                        "--noreplaygain", in, in + ".mp3"};
    };

    std::vector<double> driveRatios, throughputRatios, oneTimes, twoTimes, fourTimes, lameTimes, peaks;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        Rip one = ripTogether(cue, 1, kEightTimes, kFormatFlac, kFlacLevel, limit, work + "/rip");
        Rip two = ripTogether(cue, 2, kEightTimes, kFormatFlac, kFlacLevel, limit, work + "/rip");
        resetPeak();
        Rip four = ripTogether(cue, 4, kTwentyFourTimes, kFormatMp3, kMp3Quality, limit, work + "/rip");
        peaks.push_back(peakMiB());
        double lameCpu = 0;
        double lameSeconds = runTogether({lame(wavA), lame(wavB)}, &lameCpu);
        ok = ok && one.ok && two.ok && four.ok && lameSeconds > 0;
        oneTimes.push_back(one.seconds);
        twoTimes.push_back(two.seconds);
        fourTimes.push_back(four.seconds);
        lameTimes.push_back(lameSeconds);
        driveRatios.push_back(two.seconds / one.seconds);
        double ours = four.audio / four.seconds, theirs = 2 * discSeconds / lameSeconds;
        throughputRatios.push_back(ours / theirs);
        std::printf("  round %d: 8x FLAC one drive %.2f s, two %.2f s (%.3fx); 24x MP3 four drives %.1fx, "
                    "two lame %.1fx (%.3f); tokens busy %.0f%%, processor time ours %.1f s for %.0f s of audio, "
                    "lame %.1f s for %.0f s; peak %.1f MiB\n",
                    round + 1, one.seconds, two.seconds, driveRatios.back(), ours, theirs, throughputRatios.back(),
                    100 * four.tokensBusy, four.cpu, four.audio, lameCpu, 2 * discSeconds, peaks.back());
        std::fflush(stdout);
    }
    double driveRatio = median(driveRatios), throughputRatio = median(throughputRatios), peak = median(peaks);
    std::printf("two 8x drives FLAC / one: %.3fx (median, %s over %d rounds; one %.2f s, two %.2f s) target <= %.2f %s\n",
                driveRatio, spread(driveRatios).c_str(), rounds, median(oneTimes), median(twoTimes), kDriveBoundTarget,
                driveRatio <= kDriveBoundTarget ? "ok" : "MISSED");
    std::printf("four 24x drives MP3 / two lame: %.3f of the throughput (median, %s; ours %.2f s for %.0f s of audio, "
                "lame %.2f s for %.0f s) target >= %.2f %s\n",
                throughputRatio, spread(throughputRatios).c_str(), median(fourTimes), 4 * discSeconds,
                median(lameTimes), 2 * discSeconds, kThroughputTarget,
                throughputRatio >= kThroughputTarget ? "ok" : "MISSED");
    std::printf("peak memory, four drives: %.1f MiB (median, %s) target < %.0f MiB %s\n", peak, spread(peaks).c_str(),
                kPeakTargetMiB, peak < kPeakTargetMiB ? "ok" : "MISSED");
    if (!binary.empty()) {
        double two = runStationBinary(binary, cue, 2, kEightTimes, work + "/station");
        double four = runStationBinary(binary, cue, 4, kTwentyFourTimes, work + "/station");
        std::printf("station binary: two 8x drives %.2f s, four 24x drives %.2f s%s\n", two, four,
                    two < 0 || four < 0 ? " (a run failed)" : "");
    }
    std::filesystem::remove_all(work);
    if (!ok)
        std::fprintf(stderr, "bench-station: a rip or a lame run did not finish whole\n");
    return ok ? 0 : 1;
}
