#include "app/cli/CliApplication.h"

#include "app/cli/DiscLookup.h"
#include "app/cli/MatchList.h"
#include "app/cli/MusicFolder.h"
#include "app/cli/ProgressDisplay.h"
#include "app/cli/TerminalText.h"
#include "app/cli/TestFaults.h"
#include "cdrom/device/CdDevice.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/drives/DiscCheck.h"
#include "cdrom/drives/DriveEnumerator.h"
#include "cdrom/rip/DeviceRipDrive.h"
#include "cdrom/rip/DiscLoader.h"
#include "cdrom/rip/RipThread.h"
#include "core/ProductConfig.h"
#include "core/disc/EncoderSettings.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Event.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "encoders/framework/JobEncoderStarter.h"
#include "encoders/framework/QualityTable.h"

#include <atomic>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane::cli {

namespace {

constexpr uint32_t kDisplayIntervalMs = 200; // [ms] between progress redraws
constexpr size_t kInquiryLength = 36; // [bytes] standard INQUIRY data
constexpr uint8_t kOpInquiryCode = 0x12;

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

// Vendor and product of the drive (INQUIRY bytes 8-15 and 16-31), trimmed; empty when it does
// not answer.
std::string driveModel(const std::string& path)
{
    CdDevice device;
    if (!openDevice(device, path))
        return {};
    uint8_t answer[kInquiryLength] = {};
    uint8_t cdb[6] = {kOpInquiryCode, 0, 0, 0, static_cast<uint8_t>(kInquiryLength), 0};
    bool ok = sendCommand(device, cdb, sizeof cdb, answer, sizeof answer, DataDirection::In);
    closeDevice(device);
    if (!ok)
        return {};
    auto field = [&](size_t from, size_t length) {
        std::string text;
        for (size_t i = from; i < from + length; ++i)
            text.push_back(answer[i] >= 0x20 && answer[i] < 0x7F ? static_cast<char>(answer[i]) : ' ');
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
    };
    std::string vendor = field(8, 8), product = field(16, 16);
    return vendor.empty() ? product : vendor + " " + product;
}

DriveSources sourcesFor(const Options& options)
{
    DriveSources sources;
    for (const std::string& drive : options.drives)
        if (isEmulatedDrivePath(drive))
            sources.imageDrives.push_back(drive);
    bool demoListed = false;
    for (const std::string& drive : sources.imageDrives)
        demoListed = demoListed || isDemoDrivePath(drive);
    if (!demoListed)
        sources.imageDrives.push_back(std::string(kDemoDrivePath));
    return sources;
}

// The drive of info and rip: --drive, else the first real drive with an audio disc, else demo:.
std::string chooseDrive(const Options& options, std::FILE* errors)
{
    if (!options.drives.empty())
        return options.drives.front();
    DriveSources sources;
    for (const std::string& path : listDrives(sources)) {
        if (hasAudioDisc(path, false)) {
            std::fprintf(errors, "Using drive %s\n", path.c_str());
            return path;
        }
    }
    std::fprintf(errors, "No audio CD in a real drive; using the built-in demo disc (demo:)\n");
    return std::string(kDemoDrivePath);
}

std::string minutesSeconds(double seconds)
{
    int total = static_cast<int>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", total / 60, total % 60);
    return text;
}

int loadChosenDisc(const Options& options, ConversionJob& job, std::string& drive, std::FILE* errors,
                   DiscLoadResult& loaded)
{
    drive = chooseDrive(options, errors);
    if (!hasAudioDisc(drive, true)) {
        std::fprintf(errors, "tonvane: no audio disc in %s\n", drive.c_str());
        return kExitNoDisc;
    }
    loaded = loadDisc(job, drive);
    if (!loaded.loaded || job.count == 0) {
        std::fprintf(errors, "tonvane: the disc in %s has no audio track that could be read\n", drive.c_str());
        return kExitNoDisc;
    }
    return kExitOk;
}

// The window program skips the lookup of the load that found "Auto" missing; the command line
// looks up unless the user stored 0. loadDisc has stored the default by now.
bool wantLookup(const Options& options, const std::string& drive)
{
    switch (options.lookup) {
    case LookupChoice::Lookup:
        return true;
    case LookupChoice::NoLookup:
        return false;
    case LookupChoice::Auto:
        return !isDemoDrivePath(drive)
               && settings::readDwordOr(settings::kFreeDbKey, settings::kValueAuto, settings::kDefaultAuto, false) != 0;
    }
    return false;
}

int runDrives(const Options& options, std::FILE* out)
{
    std::vector<std::string> drives = listDrives(sourcesFor(options));
    for (const std::string& drive : options.drives)
        if (!isEmulatedDrivePath(drive))
            drives.insert(drives.begin(), drive);
    for (const std::string& path : drives) {
        bool audio = hasAudioDisc(path, false);
        std::string model = driveModel(path);
        std::fprintf(out, "%-28s %-14s %s\n", path.c_str(), audio ? "audio disc" : "no audio disc",
                     model.empty() ? "(no answer)" : model.c_str());
    }
    return kExitOk;
}

void printTracks(const ConversionJob& job, std::FILE* out)
{
    std::fprintf(out, "Track  Start      Length\n");
    for (int32_t i = 0; i < job.count; ++i) {
        const TrackEntry& entry = job.tracks[i];
        std::fprintf(out, "%5d  %9d  %s", entry.trackNumber, entry.start,
                     minutesSeconds(entry.playingSeconds()).c_str());
        if (!entry.title.empty())
            std::fprintf(out, "  %s", terminalText(entry.title.toUtf8()).c_str());
        std::fprintf(out, "\n");
    }
}

int runInfo(const Options& options, std::FILE* out, std::FILE* errors)
{
    ConversionJob job;
    std::string drive;
    DiscLoadResult loaded;
    if (int code = loadChosenDisc(options, job, drive, errors, loaded); code != kExitOk)
        return code;
    std::fprintf(out, "Drive: %s\n", drive.c_str());
    DiscIdentity identity;
    if (identifyDisc(drive, identity)) {
        std::fprintf(out, "Disc ID: %s\n", identity.discId.c_str());
        std::fprintf(out, "Query: %s\n", identity.queryLine.c_str());
        if (!identity.musicBrainzId.empty())
            std::fprintf(out, "MusicBrainz disc ID: %s\n", identity.musicBrainzId.c_str());
    }
    int code = kExitOk;
    if (wantLookup(options, drive)) {
        MatchList list = lookUpMatches(drive, options, job);
        for (const std::string& failure : list.failures)
            std::fprintf(errors, "tonvane: %s\n", failure.c_str());
        if (!list.anySourceAnswered)
            code = kExitTrackFailed;
        printMatches(list, out);
        size_t match = static_cast<size_t>(options.match.value_or(0));
        if (match < list.entries.size())
            applyListedMatch(list, match, options, job, errors);
        else if (options.match)
            std::fprintf(errors, "tonvane: --match %zu, but there are %zu match(es)\n", match, list.entries.size());
    }
    printTracks(job, out);
    return code;
}

// The sink of a command-line conversion: the job's fields, plus an event for its end.
class CliSink : public ProgressSink {
public:
    explicit CliSink(ConversionJob& job) : m_job(job) {}
    void onProgress(int32_t trackIndex, double fraction) override
    {
        if (trackIndex >= 0 && trackIndex < m_job.count)
            m_job.tracks[trackIndex].progress.store(fraction);
    }
    void onFinished() override { m_finished.set(); }
    bool isCancelled() override { return m_job.cancel.load() != 0; }
    bool waitFinished(uint32_t ms) { return m_finished.waitFor(std::chrono::milliseconds(ms)); }

private:
    ConversionJob& m_job;
    Event m_finished;
};

std::string humanSize(uint64_t bytes)
{
    char text[32];
    if (bytes >= 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
    return text;
}

int printSummary(const ConversionJob& job, std::FILE* out, std::FILE* errors)
{
    std::fprintf(out, "\nTrack  Status     Size        File\n");
    int failed = 0;
    for (int32_t i = 0; i < job.count; ++i) {
        const TrackEntry& entry = job.tracks[i];
        if (!entry.selected)
            continue;
        std::string path = job.outputPath(i).toUtf8();
        struct stat info;
        uint64_t size = ::stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
        TrackStatus status = entry.status.load();
        std::fprintf(out, "%5d  %-9s  %-10s  %s\n", entry.trackNumber, statusText(status), humanSize(size).c_str(),
                     path.c_str());
        if (status != TrackStatus::Done) {
            ++failed;
            if (status == TrackStatus::Failed)
                std::fprintf(errors, "tonvane: track %d failed: %s is incomplete\n", entry.trackNumber,
                             path.c_str());
        }
    }
    return failed;
}

int runRip(const Options& options, std::FILE* out, std::FILE* errors)
{
    ConversionJob job;
    std::string drive;
    DiscLoadResult loaded;
    if (int code = loadChosenDisc(options, job, drive, errors, loaded); code != kExitOk)
        return code;

    // Format and quality for this run only; the stored settings stay as they are.
    if (options.format || options.quality) {
        int32_t format = options.format.value_or(job.tracks[0].format);
        uint32_t quality = options.quality.value_or(storedQuality(format));
        if (quality >= qualityCount(format)) {
            std::fprintf(errors, "tonvane: --quality %u is outside 0-%u for this format\n", quality,
                         qualityCount(format) - 1);
            return kExitUsage;
        }
        for (int32_t i = 0; i < job.count; ++i) {
            job.tracks[i].format = format;
            job.tracks[i].quality = quality;
        }
    }

    std::string error;
    auto selection = parseTrackSelection(options.tracks, job.count, error);
    if (!selection) {
        std::fprintf(errors, "tonvane: %s\n", error.c_str());
        return kExitUsage;
    }
    for (int32_t i = 0; i < job.count; ++i)
        job.tracks[i].selected = 0;
    for (int32_t number : *selection)
        job.tracks[number - 1].selected = 1;

    std::string folder = options.outputFolder;
    if (folder.empty()) {
        WideString stored;
        folder = settings::readString(product::kProductKey, settings::kEncodersKey, settings::kValuePath, stored)
                     ? stored.toUtf8()
                     : musicFolder();
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (!prepareOutputFolder(folder, error)) {
        std::fprintf(errors, "tonvane: %s\n", error.c_str());
        return kExitUsage;
    }

    if (wantLookup(options, drive)) {
        // The servers answer while the drive spins up for the first track.
        BackgroundMatchLookup lookup(drive, options, job);
        if (int32_t first = job.firstSelected(); first >= 0)
            spinUpDrive(drive, static_cast<uint32_t>(job.tracks[first].start));
        MatchList list = lookup.finish();
        for (const std::string& failure : list.failures)
            std::fprintf(errors, "tonvane: %s\n", failure.c_str());
        if (list.entries.empty())
            std::fprintf(errors, "%sThe tracks keep their default names\n",
                         list.anySourceAnswered ? "No match for this disc. " : "");
        size_t match = static_cast<size_t>(options.match.value_or(0));
        if (options.match && match >= list.entries.size()) {
            std::fprintf(errors, "tonvane: --match %zu, but there are %zu match(es)\n", match, list.entries.size());
            return kExitUsage;
        }
        if (match < list.entries.size()) {
            applyListedMatch(list, match, options, job, errors);
            std::fprintf(errors, "Match %zu: %s\n", match, describeMatch(list, match).c_str());
            saveCover(job, folder, errors);
        }
    }

    DeviceRipDrive ripDrive;
    JobEncoderStarter encoders;
    RipEnvironment environment{&ripDrive, &encoders, {}};
    environment.options.laneOverride = options.jobs.value_or(0);
    // Nobody watches a list here, so the lanes take the longest tracks first and end together.
    environment.options.order = TrackOrder::LongestFirst;
    CliSink sink(job);
    ProgressDisplay display(job, out, ::isatty(::fileno(out)) == 1);

    struct sigaction action{}, previous{};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    g_interrupted = 0;
    ::sigaction(SIGINT, &action, &previous);

    std::fprintf(out, "Ripping %d track(s) from %s into %s\n", job.selectedCount(), drive.c_str(), folder.c_str());
    if (!startConversion(job, WideString::fromUtf8(folder + "/"), sink, environment)) {
        ::sigaction(SIGINT, &previous, nullptr);
        std::fprintf(errors, "tonvane: the conversion could not be started\n");
        return kExitTrackFailed;
    }
    while (!sink.waitFinished(kDisplayIntervalMs)) {
        display.update();
        if (g_interrupted && !job.cancel.load()) {
            std::fprintf(errors, "\nInterrupted: stopping and closing the files...\n");
            closeStop(job); // cancel, wait for the rip thread and its encoders
        }
    }
    waitForConversion(job);
    ::sigaction(SIGINT, &previous, nullptr);
    display.finish();

    int failed = printSummary(job, out, errors);
    if (g_interrupted)
        return kExitInterrupted;
    return failed == 0 ? kExitOk : kExitTrackFailed;
}

} // namespace

int runCommandLine(const Options& options, std::FILE* out, std::FILE* errors)
{
    applyTestFaults();
    switch (options.command) {
    case Command::Help:
        std::fputs(usageText(), out);
        return kExitOk;
    case Command::Version:
        std::fprintf(out, "tonvane %s\n", product::kVersion);
        return kExitOk;
    case Command::Drives:
        return runDrives(options, out);
    case Command::Info:
        return runInfo(options, out, errors);
    case Command::Rip:
        return runRip(options, out, errors);
    case Command::Window:
        break; // main() runs the window program
    }
    return kExitUsage;
}

} // namespace tonvane::cli
