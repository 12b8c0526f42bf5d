#include "app/cli/CliApplication.h"

#include "session/AccurateRipLookup.h"
#include "cdrom/accuraterip/OffsetDetection.h"
#include "cdrom/accuraterip/OffsetSearch.h"
#include "cdrom/mmc/MmcCommands.h"
#include "session/DiscLookup.h"
#include "app/cli/DriveChoice.h"
#include "app/cli/MatchList.h"
#include "session/MusicFolder.h"
#include "session/OffsetDetect.h"
#include "app/cli/ProgressDisplay.h"
#include "session/RipChecks.h"
#include "session/RipReport.h"
#include "session/RipSession.h"
#include "session/SessionEventQueue.h"
#include "session/DriveModel.h"
#include "app/cli/RipVerification.h"
#include "app/cli/TerminalText.h"
#include "app/cli/TestFaults.h"
#include "app/station/StationApplication.h"
#include "cdrom/device/CdDevice.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/drives/DiscCheck.h"
#include "cdrom/drives/DriveEnumerator.h"
#include "cdrom/rip/DeviceRipDrive.h"
#include "cdrom/rip/DiscLoader.h"
#include "cdrom/rip/GapDetection.h"
#include "cdrom/rip/OffsetRipDrive.h"
#include "cdrom/rip/RipThread.h"
#include "core/ProductConfig.h"
#include "core/disc/EncoderSettings.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Event.h"
#include "core/foundation/Utf.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "encoders/framework/JobEncoderStarter.h"
#include "encoders/framework/QualityTable.h"
#include "net/update/UpdateDownload.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <csignal>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane::cli {

namespace {

constexpr int kRipMallocArenas = 1; // glibc malloc arenas of a command-line rip
constexpr uint32_t kDisplayIntervalMs = 200; // [ms] between progress redraws

volatile std::sig_atomic_t g_signal = 0; // the signal that stops the rip, 0 while none came

void onInterrupt(int signal)
{
    g_signal = signal;
}

DriveSources sourcesFor(const Options& options)
{
    DriveSources sources = realDriveSources();
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
    if (!options.drives.empty()) {
        drive = options.drives.front();
    } else {
        DriveChoice choice = chooseDefaultDrive(realDriveSources(), errors);
        if (choice.path.empty()) {
            std::fprintf(errors, "tonvane: %s\n", terminalText(choice.problem).c_str());
            return kExitNoDisc;
        }
        drive = choice.path;
    }
    if (std::string problem = imageProblem(drive); !problem.empty()) {
        std::fprintf(errors, "tonvane: %s\n", terminalText(problem).c_str());
        return kExitNoDisc;
    }
    if (!hasAudioDisc(drive, true)) {
        std::string problem = isEmulatedDrivePath(drive) ? std::string() : openProblem(drive);
        std::fprintf(errors, "tonvane: %s\n", terminalText(problem.empty() ? "no audio disc in " + drive : problem).c_str());
        return kExitNoDisc;
    }
    loaded = loadDisc(job, drive);
    if (!loaded.loaded || job.count == 0) {
        std::fprintf(errors, "tonvane: the disc in %s has no audio track that could be read\n", terminalText(drive).c_str());
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
        std::fprintf(out, "%-28s %-14s %s\n", terminalText(path).c_str(), audio ? "audio disc" : "no audio disc",
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
    std::fprintf(out, "Drive: %s\n", terminalText(drive).c_str());
    DiscIdentity identity;
    if (identifyDisc(drive, identity)) {
        std::fprintf(out, "Disc ID: %s\n", identity.discId.c_str());
        std::fprintf(out, "Query: %s\n", identity.queryLine.c_str());
        if (!identity.musicBrainzId.empty())
            std::fprintf(out, "MusicBrainz disc ID: %s\n", identity.musicBrainzId.c_str());
    }
    int code = kExitOk;
    if (wantLookup(options, drive)) {
        LookupOptions lookup = lookupOptionsOf(options);
        MatchList list = lookUpMatches(drive, lookup, job);
        for (const std::string& failure : list.failures)
            std::fprintf(errors, "tonvane: %s\n", terminalText(failure).c_str());
        if (!list.anySourceAnswered)
            code = kExitTrackFailed;
        printMatches(list, out);
        size_t match = static_cast<size_t>(options.match.value_or(0));
        if (match < list.entries.size())
            applyListedMatch(list, match, lookup, job);
        else if (options.match)
            std::fprintf(errors, "tonvane: --match %zu, but there are %zu match(es)\n", match, list.entries.size());
    }
    printTracks(job, out);
    return code;
}

std::string humanSize(uint64_t bytes)
{
    char text[32];
    if (bytes >= 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
    return text;
}

// SIGINT, SIGTERM and SIGHUP all stop a rip the same way; the previous handlers come back on
// every way out.
class InterruptGuard {
public:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

    InterruptGuard()
    {
        struct sigaction action{};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        g_signal = 0;
        for (size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &action, &m_previous[i]);
    }
    ~InterruptGuard()
    {
        for (size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction m_previous[std::size(kSignals)]{};
};

// Everything one `tonvane rip` decides before the session takes over.
struct RipPlan {
    const Options& options;
    std::FILE* out;
    std::FILE* errors;
    ConversionJob job;
    std::string drive;
    DiscLoadResult loaded;
    std::string baseFolder; // --out, the stored folder or the music folder
    std::string folder; // where the files go
};

int applyFormatChoice(RipPlan& plan)
{
    const Options& options = plan.options;
    ConversionJob& job = plan.job;
    // Format and quality for this run only; the stored settings stay as they are.
    if (!options.format && !options.quality)
        return kExitOk;
    int32_t format = options.format.value_or(job.tracks[0].format);
    uint32_t quality = options.quality.value_or(storedQuality(format));
    if (quality >= qualityCount(format)) {
        std::fprintf(plan.errors, "tonvane: --quality %u is outside 0-%u for this format\n", quality,
                     qualityCount(format) - 1);
        return kExitUsage;
    }
    for (int32_t i = 0; i < job.count; ++i) {
        job.tracks[i].format = format;
        job.tracks[i].quality = quality;
    }
    return kExitOk;
}

int applyTrackSelection(RipPlan& plan)
{
    ConversionJob& job = plan.job;
    std::string error;
    auto selection = parseTrackSelection(plan.options.tracks, job.count, error);
    if (!selection) {
        std::fprintf(plan.errors, "tonvane: %s\n", terminalText(error).c_str());
        return kExitUsage;
    }
    for (int32_t i = 0; i < job.count; ++i)
        job.tracks[i].selected = 0;
    for (int32_t number : *selection)
        job.tracks[number - 1].selected = 1;
    return kExitOk;
}

int chooseBaseFolder(RipPlan& plan)
{
    std::string folder = plan.options.outputFolder;
    if (folder.empty()) {
        WideString stored;
        folder = settings::readString(product::kProductKey, settings::kEncodersKey, settings::kValuePath, stored)
                     ? stored.toUtf8()
                     : musicFolder();
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    // File names go through UTF-16 on their way to the encoders: a folder whose name is not
    // UTF-8 would come back as another folder, and every track would fail.
    if (!isValidUtf8(folder)) {
        std::fprintf(plan.errors, "tonvane: the output folder %s is not a UTF-8 name\n", terminalText(folder).c_str());
        return kExitUsage;
    }
    std::string error;
    if (!prepareOutputFolder(folder, error)) {
        std::fprintf(plan.errors, "tonvane: %s\n", terminalText(error).c_str());
        return kExitUsage;
    }
    plan.baseFolder = folder;
    return kExitOk;
}

int lookUpTitles(RipPlan& plan, RipSession& session, SessionEventQueue& events)
{
    const Options& options = plan.options;
    if (!wantLookup(options, plan.drive))
        return kExitOk;
    LookupOptions lookup = lookupOptionsOf(options);
    MatchList list = session.lookUp(lookup);
    events.drain();
    if (list.entries.empty())
        std::fprintf(plan.errors, "%sThe tracks keep their default names\n",
                     list.anySourceAnswered ? "No match for this disc. " : "");
    size_t match = static_cast<size_t>(options.match.value_or(0));
    if (options.match && match >= list.entries.size()) {
        std::fprintf(plan.errors, "tonvane: --match %zu, but there are %zu match(es)\n", match, list.entries.size());
        return kExitUsage;
    }
    if (match < list.entries.size()) {
        session.applyMatch(list, match, lookup);
        events.drain();
        std::fprintf(plan.errors, "Match %zu: %s\n", match, describeMatch(list, match).c_str());
    }
    return kExitOk;
}

// One folder per disc below the base folder, so that two discs never share file names; then no
// existing file may be in the way unless --overwrite says it may be replaced.
int settleFolder(RipPlan& plan)
{
    plan.folder = plan.baseFolder;
    if (!plan.options.flat) {
        std::string discId = cddbDiscIdOf(plan.drive);
        plan.folder += "/" + discFolderName(plan.job, discId.empty() ? std::string("00000000") : discId);
        std::string error;
        if (!prepareOutputFolder(plan.folder, error)) {
            std::fprintf(plan.errors, "tonvane: %s\n", terminalText(error).c_str());
            return kExitUsage;
        }
    }
    plan.job.outputFolder = WideString::fromUtf8(plan.folder + "/");
    if (plan.options.overwrite)
        return kExitOk;
    std::vector<std::string> existing = existingTrackFiles(plan.job);
    if (existing.empty())
        return kExitOk;
    std::fprintf(plan.errors, "tonvane: %s exists (%zu file(s) of this rip do); nothing was read. "
                 "--overwrite replaces them\n", terminalText(existing.front()).c_str(), existing.size());
    return kExitUsage;
}

ReadMode readModeOf(RipMode mode)
{
    switch (mode) {
    case RipMode::Secure:
        return ReadMode::Secure;
    case RipMode::TestAndCopy:
        return ReadMode::TestAndCopy;
    case RipMode::Normal:
        break;
    }
    return ReadMode::Single;
}

SessionSettings sessionSettingsOf(const RipPlan& plan)
{
    const Options& options = plan.options;
    SessionSettings settings;
    settings.drive = plan.drive;
    settings.readOffset = options.readOffset;
    settings.accurateRip = options.accurateRip;
    settings.accurateRipServer = options.accurateRipServer;
    settings.replayGain = options.replayGain;
    settings.truePeak = options.truePeak;
    settings.cacheFolder = updateCacheDirectory();
    settings.mode = readModeOf(options.mode);
    settings.lanes = options.jobs.value_or(0);
    if (options.cacheMiB)
        settings.driveCacheBytes = uint64_t{*options.cacheMiB} << 20;
    // Nobody watches a list here, so the lanes take the longest tracks first and end together.
    settings.order = TrackOrder::LongestFirst;
    settings.existingFiles = options.overwrite ? ExistingFiles::Replace : ExistingFiles::Refuse;
    settings.version = std::string("Tonvane ") + product::kVersion;
    return settings;
}

// Prints what the session tells, on the command line's own thread.
class CliObserver final : public SessionObserver {
public:
    CliObserver(std::FILE* out, std::FILE* errors) : m_out(out), m_errors(errors) {}

    void onPhase(SessionPhase phase, const std::string& detail) override
    {
        if (phase == SessionPhase::AccurateRip)
            std::fprintf(m_errors, "AccurateRip: %s\n", terminalText(detail).c_str());
        else if (phase == SessionPhase::Gaps && detail.find("pregap") == std::string::npos)
            std::fprintf(m_errors, "Gaps: %s\n", terminalText(detail).c_str());
        else if (phase == SessionPhase::Conversion)
            std::fprintf(m_out, "Ripping %s\n", terminalText(detail).c_str());
        else if (phase == SessionPhase::Loudness)
            std::fprintf(m_out, "ReplayGain: %s\n", terminalText(detail).c_str());
    }
    void onNote(const std::string& line) override { std::fprintf(m_errors, "tonvane: %s\n", terminalText(line).c_str()); }
    void onEnded(const SessionOutcome& outcome) override
    {
        m_outcome = outcome;
        m_ended = true;
    }
    bool ended() const { return m_ended; }
    const SessionOutcome& outcome() const { return m_outcome; }

private:
    std::FILE* m_out;
    std::FILE* m_errors;
    SessionOutcome m_outcome;
    bool m_ended = false;
};

// The summary table and every track that is not whole, named.
void printOutcome(const SessionOutcome& outcome, std::FILE* out, std::FILE* errors)
{
    std::fprintf(out, "\nTrack  Status     Size        AccurateRip                File\n");
    for (const TrackVerdict& track : outcome.tracks) {
        const char* shown = track.suspicious ? "suspicious" : trackStatusText(track.status);
        std::string path = terminalText(track.path);
        std::fprintf(out, "%5d  %-10s %-10s  %-25s  %s\n", track.number, shown, humanSize(track.bytes).c_str(),
                     terminalText(track.accurateRip).c_str(), path.c_str());
        if (track.suspicious)
            std::fprintf(errors, "tonvane: track %d is suspicious: %zu sector(s) never read the same twice\n",
                         track.number, track.suspiciousSectors);
        if (track.status == TrackStatus::Done)
            continue;
        if (track.unreadable != 0)
            std::fprintf(errors, "tonvane: track %d: %zu unreadable sector(s) written as silence in %s\n",
                         track.number, track.unreadable, path.c_str());
        else if (track.status == TrackStatus::Failed)
            std::fprintf(errors, "tonvane: track %d failed: %s is incomplete\n", track.number, path.c_str());
    }
    std::fprintf(out, "%s\n", terminalText(outcome.summary).c_str());
    for (const std::string& problem : outcome.problems)
        std::fprintf(errors, "tonvane: %s\n", terminalText(problem).c_str());
}

int exitCodeOf(const SessionOutcome& outcome)
{
    if (g_signal != 0)
        return kExitSignalBase + g_signal;
    return outcome.complete() ? kExitOk : kExitTrackFailed;
}

// Runs the session's rip phases, showing progress; a signal stops the running tracks.
int convert(RipPlan& plan, RipSession& session, SessionEventQueue& events, CliObserver& observer)
{
    ProgressDisplay display(plan.job, plan.out, ::isatty(::fileno(plan.out)) == 1);
    if (!session.start(nullptr)) {
        std::fprintf(plan.errors, "tonvane: the conversion could not be started\n");
        return kExitTrackFailed;
    }
    while (!observer.ended()) {
        events.waitFor(kDisplayIntervalMs);
        events.drain();
        display.update();
        if (g_signal != 0 && !session.interrupted()) {
            std::fprintf(plan.errors, "\nInterrupted: stopping and closing the files...\n");
            session.interrupt();
        }
    }
    session.wait();
    display.finish();
    printOutcome(observer.outcome(), plan.out, plan.errors);
    return exitCodeOf(observer.outcome());
}

int runRip(const Options& options, std::FILE* out, std::FILE* errors)
{
    // One malloc arena for the whole process, set before any thread starts: glibc would give
    // each encoder thread (and the one still finishing its file beside it) an arena of its own
    // that keeps the encoder's freed 0.7 MiB, about 1.7 MiB resident more on a 2-lane FLAC rip.
    // The rip's threads allocate a few dozen times a track, so they never wait for each other.
    mallopt(M_ARENA_MAX, kRipMallocArenas);
    InterruptGuard interrupts;
    RipPlan plan{options, out, errors};
    if (int code = loadChosenDisc(options, plan.job, plan.drive, errors, plan.loaded); code != kExitOk)
        return code;
    for (auto phase : {applyFormatChoice, applyTrackSelection, chooseBaseFolder})
        if (int code = phase(plan); code != kExitOk)
            return code;
    SessionEventQueue events;
    CliObserver observer(out, errors);
    RipSession session(plan.job, sessionSettingsOf(plan), observer, events.deliver());
    session.discLoaded();
    if (int code = lookUpTitles(plan, session, events); code != kExitOk)
        return code;
    if (int code = settleFolder(plan); code != kExitOk)
        return code;
    if (g_signal != 0)
        return kExitSignalBase + g_signal; // stopped before anything was read or written
    session.settings().folder = plan.folder;
    session.keepCover();
    events.drain();
    return convert(plan, session, events, observer);
}

// Tries every read offset against the record's sector-450 checksums of each track the database
// knows; an offset counts when exactly one offset matches a track with audio, and the offset
// most such tracks agree on is the drive's.
int runOffset(const Options& options, std::FILE* out, std::FILE* errors)
{
    ConversionJob job;
    std::string drive;
    DiscLoadResult loaded;
    if (int code = loadChosenDisc(options, job, drive, errors, loaded); code != kExitOk)
        return code;
    OffsetDetectRequest request;
    request.drive = drive;
    request.accurateRipServer = options.accurateRipServer;
    request.cacheFolder = updateCacheDirectory();
    OffsetDetectResult result = detectReadOffset(job, request);
    switch (result.state) {
    case OffsetDetectState::NoToc:
        std::fprintf(errors, "tonvane: the table of contents of %s could not be read\n", drive.c_str());
        return kExitNoDisc;
    case OffsetDetectState::NoRecord:
        std::fprintf(errors, "AccurateRip: %s\n", terminalText(result.record.note).c_str());
        std::fprintf(errors, "tonvane: AccurateRip has no record of this disc; try a disc it knows\n");
        return kExitTrackFailed;
    case OffsetDetectState::CannotOpen:
        std::fprintf(errors, "AccurateRip: %s\n", terminalText(result.record.note).c_str());
        std::fprintf(errors, "tonvane: %s cannot be opened\n", drive.c_str());
        return kExitNoDisc;
    case OffsetDetectState::Found:
    case OffsetDetectState::NoEvidence:
    case OffsetDetectState::Cancelled:
        std::fprintf(errors, "AccurateRip: %s\n", terminalText(result.record.note).c_str());
        break;
    }
    const std::vector<TrackOffsetEvidence>& evidence = result.evidence;
    if (options.verbose)
        for (const TrackOffsetEvidence& track : evidence)
            std::fprintf(out, "%s\n", describeOffsetEvidence(track).c_str());
    const OffsetAnswer& answer = result.answer;
    if (!answer.offset) {
        std::fprintf(errors, "tonvane: the read offset cannot be found with this disc: no track's sector 450 matches "
                             "the record at exactly one offset with audio that is not silence%s\n",
                     options.verbose ? "" : " (--verbose lists each track)");
        return kExitTrackFailed;
    }
    std::fprintf(out, "Read offset: %+d samples (%d track(s) agree", *answer.offset, answer.agreeing);
    if (answer.disagreeing > 0)
        std::fprintf(out, ", %d disagree", answer.disagreeing);
    std::fprintf(out, "); rip with --offset %d\n", *answer.offset);
    return kExitOk;
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
    case Command::Offset:
        return runOffset(options, out, errors);
    case Command::Verify:
        return runVerify(options, out, errors);
    case Command::Station:
        return station::runStation(options, out, errors);
    case Command::Window:
        break; // main() runs the window program
    }
    return kExitUsage;
}

} // namespace tonvane::cli
