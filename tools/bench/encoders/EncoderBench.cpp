// Encodes the same music-like audio through our writers (16384-byte chunks, as the encoder thread
// hands them over) and through the reference command-line encoders with the same settings, all
// pinned to one core, and prints our speed as a ratio of theirs per format (CPU time; >= 0.95 is
// the target): of the best rounds, and the median and spread of the rounds' own ratios, since
// ours and the tool run alternately. Usage: bench-encoders [seconds of audio, default 90]
// [rounds, default 3] [only: flac, mp3, vorbis or opus]
#include "core/ProductConfig.h"
#include "encoders/flac/FlacWriter.h"
#include "encoders/mp3/Mp3Writer.h"
#include "encoders/opus/OpusWriter.h"
#include "encoders/vorbis/VorbisWriter.h"
#include "support/MusicSignal.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace tonvane;

namespace {

constexpr size_t kChunk = 16384; // [bytes]

struct Format {
    const char* key;
    const char* name;
    uint32_t quality;
    const char* extension;
    std::vector<std::string> tool; // argv; "IN" and "OUT" are replaced
    std::unique_ptr<FormatWriter> (*make)();
};

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

struct Timing {
    double cpu = 1e30; // [s] the best round's
    double wall = 1e30; // [s]
    std::vector<double> rounds; // [s] processor time of each round, in order
    void keepBest(double c, double w)
    {
        cpu = std::min(cpu, c);
        wall = std::min(wall, w);
        rounds.push_back(c);
    }
};

struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};

// Our speed as a ratio of the tool's in each round (they ran one after the other).
Spread roundRatios(const Timing& ours, const Timing& tool)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < std::min(ours.rounds.size(), tool.rounds.size()); ++i)
        ratios.push_back(tool.rounds[i] / ours.rounds[i]);
    if (ratios.empty())
        return {};
    std::sort(ratios.begin(), ratios.end());
    const size_t n = ratios.size();
    const double median = n % 2 == 1 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
    return {median, ratios.front(), ratios.back()};
}

bool writeWav(const std::string& path, const std::vector<uint8_t>& pcm)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const auto dataSize = static_cast<uint32_t>(pcm.size());
    uint8_t header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0,
                          0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
    auto put32 = [&header](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(4, 36 + dataSize);
    put32(40, dataSize);
    const bool ok = std::fwrite(header, 1, 44, file) == 44 && std::fwrite(pcm.data(), 1, pcm.size(), file) == pcm.size();
    return std::fclose(file) == 0 && ok;
}

bool runOurs(const Format& format, const std::string& out, const std::vector<uint8_t>& pcm, Timing& timing)
{
    TrackTags tags;
    tags.encoder = WideString(std::u16string_view(product::kEncoderText));
    const std::u16string path(WideString::fromUtf8(out).view());
    const double cpu0 = cpuSeconds();
    const double wall0 = wallSeconds();
    const std::unique_ptr<FormatWriter> writer = format.make();
    bool ok = writer->open(path, format.quality, tags, pcm.size());
    for (size_t at = 0; at < pcm.size(); at += kChunk)
        ok = writer->write(pcm.data() + at, std::min(kChunk, pcm.size() - at)) && ok;
    ok = writer->finish() && ok;
    timing.keepBest(cpuSeconds() - cpu0, wallSeconds() - wall0);
    return ok;
}

bool runTool(const Format& format, const std::string& in, const std::string& out, Timing& timing)
{
    std::vector<std::string> args = format.tool;
    for (std::string& arg : args) {
        if (arg == "IN")
            arg = in;
        else if (arg == "OUT")
            arg = out;
    }
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const double wall0 = wallSeconds();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0)
        return false;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return false;
    const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                       usage.ru_stime.tv_usec / 1e6;
    timing.keepBest(cpu, wallSeconds() - wall0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 90;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string only = argc > 3 ? argv[3] : "";

    // One core for us and, inherited, for the tools.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu() >= 0 ? sched_getcpu() : 0, &one);
    sched_setaffinity(0, sizeof one, &one);

    char folder[] = "/tmp/tonvane-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = folder;
    const std::vector<uint8_t> pcm = test::musicSignal(static_cast<uint32_t>(seconds * 44100));
    const std::string wav = dir + "/source.wav";
    if (!writeWav(wav, pcm)) {
        std::fprintf(stderr, "cannot write %s\n", wav.c_str());
        return 1;
    }

    const std::vector<Format> formats = {
        {"flac", "FLAC -7", 7, ".flac", {"/usr/bin/flac", "-7", "-V", "-s", "-f", "-o", "OUT", "IN"},
         [] { return std::unique_ptr<FormatWriter>(new FlacWriter); }},
        {"mp3", "MP3 128k", 8, ".mp3",
         {"/usr/bin/lame", "--quiet", "-q", "0", "-b", "128", "-m", "j", "--cbr", "--nores", "--noreplaygain", "IN", "OUT"},
         [] { return std::unique_ptr<FormatWriter>(new Mp3Writer); }},
        {"vorbis", "Vorbis q6", 6, ".ogg", {"/usr/bin/oggenc", "-Q", "-q", "6", "-o", "OUT", "IN"},
         [] { return std::unique_ptr<FormatWriter>(new VorbisWriter); }},
        // opusenc's defaults are ours: complexity 10, 20 ms frames, unconstrained VBR.
        {"opus", "Opus 160k", 3, ".opus", {"/usr/bin/opusenc", "--quiet", "--bitrate", "160", "--vbr", "IN", "OUT"},
         [] { return std::unique_ptr<FormatWriter>(new OpusWriter); }},
    };

    std::printf("%d s of music-like audio, best of %d rounds, one core\n", seconds, rounds);
    std::printf("%-10s %10s %10s %12s %12s %8s %8s %15s\n", "format", "ours [s]", "tool [s]", "ours [x rt]",
                "tool [x rt]", "ratio", "median", "rounds");
    int failures = 0;
    for (const Format& format : formats) {
        if (!only.empty() && only != format.key)
            continue;
        if (access(format.tool[0].c_str(), X_OK) != 0) {
            std::printf("%-10s skipped: %s is not installed\n", format.name, format.tool[0].c_str());
            continue;
        }
        Timing ours;
        Timing tool;
        bool ok = true;
        for (int round = 0; round < rounds; ++round) {
            ok = runOurs(format, dir + "/ours" + format.extension, pcm, ours) && ok;
            ok = runTool(format, wav, dir + "/tool" + format.extension, tool) && ok;
        }
        if (!ok) {
            std::printf("%-10s an encoder failed\n", format.name);
            ++failures;
            continue;
        }
        const Spread spread = roundRatios(ours, tool);
        std::printf("%-10s %10.3f %10.3f %12.1f %12.1f %8.3f %8.3f %7.3f-%-7.3f\n", format.name, ours.cpu, tool.cpu,
                    seconds / ours.cpu, seconds / tool.cpu, tool.cpu / ours.cpu, spread.median, spread.low,
                    spread.high);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return failures == 0 ? 0 : 1;
}
