// Whole-pipeline benchmark over about ten minutes of real music (a CUE/BIN image built by
// make-music-disc.sh from a Debian package): for each format, the rip's throughput as x real
// time with 1 and 2 lanes; our 2-lane FLAC rip against `flac -7 -V` run on the same audio split
// in two halves in parallel (best of three alternating rounds); and the peak resident memory of
// a 2-lane FLAC rip.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
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

struct Run {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
};

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
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

    auto rip = [&](const char* format, int lanes) {
        std::string out = work + "/" + format + std::to_string(lanes);
        std::filesystem::remove_all(out);
        return runTogether({{TONVANE_BINARY, "rip", "--drive", "image:" + cue, "--no-lookup", "--format", format,
                             "--out", out, "--jobs", std::to_string(lanes)}});
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
    for (const char* format : {"wav", "flac", "ogg", "mp3"}) {
        const bool flac = std::string(format) == "flac";
        Run one, two;
        // FLAC is compared with the tool: the three run in turn, best of kFlacRounds rounds, so
        // that a slow spell of the machine hits all of them alike.
        for (int round = 0; round < (flac ? kFlacRounds : 1); ++round) {
            one = round == 0 ? rip(format, 1) : faster(one, rip(format, 1));
            two = round == 0 ? rip(format, 2) : faster(two, rip(format, 2));
            if (flac) {
                Run halves = runTogether({flacCommand(halfA), flacCommand(halfB)});
                tool = round == 0 ? halves : faster(tool, halves);
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
    std::printf("our 2-lane FLAC rip / parallel flac tool speed: %.3f   (target >= 0.95)\n",
                tool.seconds / flac2.seconds);
    std::printf("2-lane FLAC rip peak resident memory: %.1f MiB   (target < 48 MiB)\n",
                static_cast<double>(flac2.peakKiB) / 1024.0);
    std::filesystem::remove_all(work);
    return 0;
}
