// Whole-pipeline benchmark over about ten minutes of real music (a CUE/BIN image built by
// make-music-disc.sh from a Debian package): for each format, the rip's throughput as x real
// time with 1 and 2 lanes; our 2-lane FLAC rip against `flac -7 -V` run on the same audio split
// in two halves in parallel (three alternating rounds: the best, and the median and spread of the
// per-round ratios), with the processor time of both, which a loaded machine disturbs far less
// than the wall clock; the peak resident memory of a 2-lane FLAC rip; and what writing each track
// to a hidden ".part" file, fsyncing and renaming it would add: fsync + rename of files of the
// rip's sizes, on the benchmark's folder and on the build folder's file system; and what the
// loudness measurement and ReplayGain tags cost: the 2-lane FLAC rip's processor time with them
// (the default) against --no-replaygain, in alternating rounds.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <cstdint>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kFlacRounds = 3; // best of, against the noise of a shared machine
constexpr int kLoudnessRounds = 5; // pairs with and without ReplayGain

struct Run {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0; // user + system of all the commands
    long peakKiB = 0;
};

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double secondsOf(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// What the hidden-file scheme adds to each track: its bytes go to ".NAME.part" anyway, then the
// file is fsynced and renamed to NAME. Copies each file of folder there (not timed) and times
// fsync + close + rename; answers the sum in seconds, -1 when something failed.
double fsyncAndRenameSeconds(const std::string& folder, const std::string& into)
{
    std::filesystem::create_directories(into);
    std::vector<char> bytes;
    double total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".flac")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        const std::string name = entry.path().filename().string();
        const std::string part = into + "/." + name + ".part", final = into + "/" + name;
        int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            if (fd >= 0)
                ::close(fd);
            return -1;
        }
        double start = now();
        bool ok = ::fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        ok = ok && ::rename(part.c_str(), final.c_str()) == 0;
        total += now() - start;
        if (!ok)
            return -1;
    }
    std::filesystem::remove_all(into);
    return total;
}

pid_t spawn(const std::vector<std::string>& command, const char* quietTo = "/dev/null")
{
    std::vector<char*> argv;
    for (const auto& part : command)
        argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, quietTo, O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, quietTo, O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs the commands at the same time and waits for all; peak RSS is the largest of them.
Run runTogether(const std::vector<std::vector<std::string>>& commands)
{
    Run run;
    double start = now();
    std::vector<pid_t> children;
    for (const auto& command : commands)
        children.push_back(spawn(command));
    run.ok = true;
    for (pid_t child : children) {
        int status = 0;
        rusage usage{};
        if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            run.ok = false;
        run.peakKiB = std::max(run.peakKiB, usage.ru_maxrss);
        run.cpuSeconds += secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    }
    run.seconds = now() - start;
    return run;
}

double audioSeconds(const std::string& bin)
{
    std::error_code error;
    auto bytes = std::filesystem::file_size(bin, error);
    return error ? 0.0 : static_cast<double>(bytes) / 176400.0;
}

} // namespace

int main()
{
    const std::string musicDir = TONVANE_MUSIC_DIR;
    const std::string cue = musicDir + "/disc.cue", bin = musicDir + "/disc.bin";
    if (!std::filesystem::exists(cue)) {
        std::printf("building the music disc with %s ...\n", TONVANE_MUSIC_SCRIPT);
        std::string command = std::string("bash ") + TONVANE_MUSIC_SCRIPT + " " + musicDir;
        if (std::system(command.c_str()) != 0 || !std::filesystem::exists(cue)) {
            std::fprintf(stderr, "bench-pipeline: the music disc could not be built\n");
            return 1;
        }
    }
    double seconds = audioSeconds(bin);
    std::printf("music disc: %.0f s of audio\n", seconds);
    const std::string work = (access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp")) +
                             "/tonvane-bench-pipeline-" + std::to_string(getpid());
    const std::string config = work + "/config";
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);

    auto rip = [&](const char* format, int lanes, bool replayGain = true) {
        std::string out = work + "/" + format + std::to_string(lanes);
        std::filesystem::remove_all(out);
        std::vector<std::string> command = {TONVANE_BINARY, "rip", "--drive", "image:" + cue, "--no-lookup", "--format",
                                            format, "--out", out, "--jobs", std::to_string(lanes)};
        if (!replayGain)
            command.push_back("--no-replaygain");
        return runTogether({command});
    };

    // flac -7 -V on the same audio in two halves, in parallel.
    std::string halfA = work + "/a.raw", halfB = work + "/b.raw";
    // Copied in pieces: a child's peak resident memory on Linux starts from this process's peak
    // (it is taken over at exec), so this process never holds the whole disc.
    {
        std::ifstream in(bin, std::ios::binary);
        const uint64_t total = std::filesystem::file_size(bin);
        const uint64_t half = total / 2 / 4 * 4; // [bytes] whole sample frames
        std::vector<char> piece(1 << 20);
        std::ofstream outA(halfA, std::ios::binary), outB(halfB, std::ios::binary);
        for (uint64_t done = 0; in && done < total;) {
            uint64_t want = std::min<uint64_t>(piece.size(), (done < half ? half : total) - done);
            in.read(piece.data(), static_cast<std::streamsize>(want));
            (done < half ? outA : outB).write(piece.data(), in.gcount());
            done += static_cast<uint64_t>(in.gcount());
        }
    }
    auto flacCommand = [](const std::string& input) {
        return std::vector<std::string>{"flac", "-7", "-V", "-s", "-f", "--force-raw-format", "--endian=little",
                                        "--sign=signed", "--channels=2", "--bps=16", "--sample-rate=44100",
                                        "-o", input + ".flac", input};
    };

    auto faster = [](const Run& a, const Run& b) { return a.ok && (!b.ok || a.seconds < b.seconds) ? a : b; };
    Run flac2, tool;
    std::vector<double> roundRatios, ripCpu, toolCpu; // per FLAC round
    for (const char* format : {"wav", "flac", "ogg", "mp3", "opus"}) {
        const bool flac = std::string(format) == "flac";
        Run one, two;
        // FLAC is compared with the tool: the three run in turn, kFlacRounds rounds, so that a
        // slow spell of the machine hits all of them alike.
        for (int round = 0; round < (flac ? kFlacRounds : 1); ++round) {
            one = round == 0 ? rip(format, 1) : faster(one, rip(format, 1));
            Run twoNow = rip(format, 2);
            two = round == 0 ? twoNow : faster(two, twoNow);
            if (flac) {
                Run halves = runTogether({flacCommand(halfA), flacCommand(halfB)});
                tool = round == 0 ? halves : faster(tool, halves);
                if (twoNow.ok && halves.ok) {
                    roundRatios.push_back(halves.seconds / twoNow.seconds);
                    ripCpu.push_back(twoNow.cpuSeconds);
                    toolCpu.push_back(halves.cpuSeconds);
                }
            }
        }
        if (flac)
            flac2 = two;
        std::printf("%-4s  1 lane %6.1fx real time   2 lanes %6.1fx real time   speed-up %.2fx%s\n", format,
                    seconds / one.seconds, seconds / two.seconds, one.seconds / two.seconds,
                    one.ok && two.ok ? "" : "   (a rip FAILED)");
    }
    std::printf("flac -7 -V, two halves in parallel: %.1fx real time%s\n", seconds / tool.seconds,
                tool.ok ? "" : " (FAILED: is flac installed?)");
    std::printf("our 2-lane FLAC rip / parallel flac tool speed: %.3f best of %d   (target >= 0.95)\n",
                tool.seconds / flac2.seconds, kFlacRounds);
    if (!roundRatios.empty()) {
        auto [low, high] = std::minmax_element(roundRatios.begin(), roundRatios.end());
        std::printf("  per round: median %.3f, %.3f-%.3f over %zu rounds\n", median(roundRatios), *low, *high,
                    roundRatios.size());
        // Processor time does not count the waits a loaded machine adds.
        std::printf("  processor time: our rip %.2f s, the tool %.2f s (medians); tool / rip %.3f\n",
                    median(ripCpu), median(toolCpu), median(toolCpu) / median(ripCpu));
    }
    std::printf("2-lane FLAC rip peak resident memory: %.1f MiB   (target < 48 MiB)\n",
                static_cast<double>(flac2.peakKiB) / 1024.0);

    // The rip's FLAC files as the hidden-file scheme would finish them: on the benchmark's folder
    // (tmpfs when /dev/shm is there: fsync costs nothing) and on the build folder's disk.
    const std::string flacFolder = work + "/flac2";
    for (const std::string& where : {work, std::string(TONVANE_MUSIC_DIR)}) {
        double cost = fsyncAndRenameSeconds(flacFolder, where + "/part-test");
        if (cost < 0)
            std::printf("fsync + rename of the rip's FLAC files in %s: FAILED\n", where.c_str());
        else
            std::printf("fsync + rename of the rip's FLAC files in %s: %.1f ms, %.1f%% of the 2-lane rip's best time\n",
                        where.c_str(), cost * 1000.0, 100.0 * cost / flac2.seconds);
    }

    // The loudness measurement runs on the rip thread beside the checksums; the tags are written
    // after the last track. Processor time of the whole rip, with and without, pair by pair.
    std::vector<double> with, without;
    for (int round = 0; round < kLoudnessRounds; ++round) {
        Run on = rip("flac", 2, true), off = rip("flac", 2, false);
        if (on.ok && off.ok) {
            with.push_back(on.cpuSeconds);
            without.push_back(off.cpuSeconds);
        }
    }
    if (with.empty()) {
        std::printf("loudness: the rips FAILED\n");
    } else {
        double on = median(with), off = median(without);
        std::printf("loudness (ReplayGain) of a 2-lane FLAC rip: processor time %.2f s with, %.2f s without "
                    "(medians of %zu); with / without %.3f, cost %.1f%% of the rip's   (target < 3%%)\n",
                    on, off, with.size(), on / off, 100.0 * (on - off) / on);
    }
    std::filesystem::remove_all(work);
    return 0;
}
