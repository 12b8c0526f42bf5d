#include "app/cli/CliApplication.h"

#include "session/AccurateRipFetch.h"
#include "session/AccurateRipLookup.h"
#include "cdrom/accuraterip/OffsetSearch.h"
#include "cdrom/mmc/MmcCommands.h"
#include "session/DiscLookup.h"
#include "app/cli/DriveChoice.h"
#include "app/cli/MatchList.h"
#include "session/MusicFolder.h"
#include "app/cli/ProgressDisplay.h"
#include "session/RipChecks.h"
#include "session/RipReport.h"
#include "app/cli/RipVerification.h"
#include "app/cli/TerminalText.h"
#include "app/cli/TestFaults.h"
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
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "encoders/framework/JobEncoderStarter.h"
#include "encoders/framework/QualityTable.h"
#include "net/update/UpdateDownload.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <csignal>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane::cli {

namespace {

constexpr uint32_t kDisplayIntervalMs = 200; // [ms] between progress redraws
constexpr size_t kInquiryLength = 36; // [bytes] standard INQUIRY data
constexpr uint8_t kOpInquiryCode = 0x12;
constexpr char16_t kValueReadOffset[] = u"ReadOffset"; // DWORD, two's complement [samples]
constexpr char16_t kAccurateRipKey[] = u"\\AccurateRip";
constexpr char16_t kValueServer[] = u"Server"; // HOST[:PORT] of the AccurateRip database
constexpr int kRipMallocArenas = 1; // glibc malloc arenas of a command-line rip

std::string hexId(uint32_t value)
{
    char text[12];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

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
            std::fprintf(errors, "tonvane: %s\n", choice.problem.c_str());
            return kExitNoDisc;
        }
        drive = choice.path;
    }
    if (std::string problem = imageProblem(drive); !problem.empty()) {
        std::fprintf(errors, "tonvane: %s\n", problem.c_str());
        return kExitNoDisc;
    }
    if (!hasAudioDisc(drive, true)) {
        std::string problem = isEmulatedDrivePath(drive) ? std::string() : openProblem(drive);
        std::fprintf(errors, "tonvane: %s\n", problem.empty() ? ("no audio disc in " + drive).c_str() : problem.c_str());
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

// Restores the previous SIGINT handler on every way out of a conversion.
class InterruptGuard {
public:
    InterruptGuard()
    {
        struct sigaction action{};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        g_interrupted = 0;
        ::sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptGuard() { ::sigaction(SIGINT, &m_previous, nullptr); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction m_previous{};
};

// Everything one `tonvane rip` decides and learns, phase by phase.
struct RipSession {
    const Options& options;
    std::FILE* out;
    std::FILE* errors;
    ConversionJob job;
    std::string drive;
    DiscLoadResult loaded;
    std::string folder;
    std::string model; // of the drive, for its stored read offset and the log
    int32_t readOffset = 0; // [samples]
    std::optional<TocSnapshot> toc;
    std::vector<uint32_t> gaps; // [sectors] INDEX 00 to INDEX 01 per job track; empty: unknown
    AccurateRipRecord accurateRip;
    std::string discId;
};

int applyFormatChoice(RipSession& session)
{
    const Options& options = session.options;
    ConversionJob& job = session.job;
    // Format and quality for this run only; the stored settings stay as they are.
    if (!options.format && !options.quality)
        return kExitOk;
    int32_t format = options.format.value_or(job.tracks[0].format);
    uint32_t quality = options.quality.value_or(storedQuality(format));
    if (quality >= qualityCount(format)) {
        std::fprintf(session.errors, "tonvane: --quality %u is outside 0-%u for this format\n", quality,
                     qualityCount(format) - 1);
        return kExitUsage;
    }
    for (int32_t i = 0; i < job.count; ++i) {
        job.tracks[i].format = format;
        job.tracks[i].quality = quality;
    }
    return kExitOk;
}

int applyTrackSelection(RipSession& session)
{
    ConversionJob& job = session.job;
    std::string error;
    auto selection = parseTrackSelection(session.options.tracks, job.count, error);
    if (!selection) {
        std::fprintf(session.errors, "tonvane: %s\n", error.c_str());
        return kExitUsage;
    }
    for (int32_t i = 0; i < job.count; ++i)
        job.tracks[i].selected = 0;
    for (int32_t number : *selection)
        job.tracks[number - 1].selected = 1;
    return kExitOk;
}

int chooseOutputFolder(RipSession& session)
{
    std::string folder = session.options.outputFolder;
    if (folder.empty()) {
        WideString stored;
        folder = settings::readString(product::kProductKey, settings::kEncodersKey, settings::kValuePath, stored)
                     ? stored.toUtf8()
                     : musicFolder();
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string error;
    if (!prepareOutputFolder(folder, error)) {
        std::fprintf(session.errors, "tonvane: %s\n", error.c_str());
        return kExitUsage;
    }
    session.folder = folder;
    return kExitOk;
}

int lookUpTitles(RipSession& session)
{
    const Options& options = session.options;
    ConversionJob& job = session.job;
    const std::string& drive = session.drive;
    std::FILE* errors = session.errors;
    if (!wantLookup(options, drive))
        return kExitOk;
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
        saveCover(job, session.folder, errors);
    }
    return kExitOk;
}

// --offset is kept per drive model; without it the model's stored offset applies.
void chooseReadOffset(RipSession& session)
{
    session.model = driveModel(session.drive);
    std::u16string key = u"\\Drives\\";
    for (char c : session.model.empty() ? std::string("unknown drive") : session.model)
        key.push_back(c == '\\' ? u' ' : static_cast<char16_t>(static_cast<unsigned char>(c)));
    if (session.options.readOffset) {
        session.readOffset = *session.options.readOffset;
        settings::writeDword(product::kProductKey, key, kValueReadOffset, static_cast<uint32_t>(session.readOffset));
        return;
    }
    uint32_t stored = 0;
    if (settings::readDword(product::kProductKey, key, kValueReadOffset, stored)) {
        int32_t offset = static_cast<int32_t>(stored);
        if (offset >= -kMaxReadOffset && offset <= kMaxReadOffset)
            session.readOffset = offset;
    }
}

// The disc's AccurateRip ids from its table of contents. Without them, or with --no-accuraterip,
// the record's note says why nothing is checked and no fetch is needed.
bool readAccurateRipIds(RipSession& session)
{
    session.toc = readTocSnapshot(session.drive);
    if (session.toc)
        session.discId = hexId(session.toc->id.id3);
    if (!session.options.accurateRip) {
        session.accurateRip.note = "not checked (--no-accuraterip)";
        return false;
    }
    if (!session.toc) {
        session.accurateRip.note = "not checked: the table of contents could not be read";
        return false;
    }
    return true;
}

// Starts fetching the database's record of the disc (from the cache, else the server).
std::unique_ptr<AccurateRipFetch> startAccurateRipFetch(const RipSession& session)
{
    std::string server = session.options.accurateRipServer;
    if (server.empty()) {
        WideString stored;
        if (settings::readString(product::kProductKey, kAccurateRipKey, kValueServer, stored))
            server = stored.toUtf8();
    }
    return std::make_unique<AccurateRipFetch>(session.toc->id, server, updateCacheDirectory());
}

// Waits for a fetch still running and takes its record; nothing when there is none.
void finishAccurateRipFetch(RipSession& session, std::unique_ptr<AccurateRipFetch>& fetch)
{
    if (!fetch)
        return;
    session.accurateRip = fetch->finish();
    fetch.reset();
    std::fprintf(session.errors, "AccurateRip: %s\n", terminalText(session.accurateRip.note).c_str());
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

const char* modeText(RipMode mode)
{
    switch (mode) {
    case RipMode::Secure:
        return "secure (AccurateRip first, then test and copy)";
    case RipMode::TestAndCopy:
        return "test and copy";
    case RipMode::Normal:
        break;
    }
    return "normal";
}

// The pregaps from the Q sub-channel, for the CUE sheet and the log.
void detectGaps(RipSession& session)
{
    std::vector<GapTrack> tracks;
    for (int32_t i = 0; i < session.job.count; ++i)
        tracks.push_back({session.job.tracks[i].trackNumber, static_cast<uint32_t>(session.job.tracks[i].start)});
    if (std::optional<std::vector<uint32_t>> gaps = detectPregaps(session.drive, tracks))
        session.gaps = std::move(*gaps);
    else
        std::fprintf(session.errors, "Gaps: the drive gives no Q sub-channel positions; none are listed\n");
}

// Runs the conversion with a Ctrl-C handler; false when it could not start.
bool convert(RipSession& session, RipChecks& checks)
{
    ConversionJob& job = session.job;
    DeviceRipDrive ripDrive;
    JobEncoderStarter encoders;
    RipEnvironment environment{&ripDrive, &encoders, {}, &checks};
    environment.options.laneOverride = session.options.jobs.value_or(0);
    environment.options.readOffset = session.readOffset;
    environment.options.mode = readModeOf(session.options.mode);
    if (session.options.cacheMiB)
        environment.options.driveCacheBytes = *session.options.cacheMiB << 20;
    // Nobody watches a list here, so the lanes take the longest tracks first and end together.
    environment.options.order = TrackOrder::LongestFirst;
    CliSink sink(job);
    ProgressDisplay display(job, session.out, ::isatty(::fileno(session.out)) == 1);
    InterruptGuard interrupts;

    std::fprintf(session.out, "Ripping %d track(s) from %s into %s\n", job.selectedCount(), session.drive.c_str(),
                 session.folder.c_str());
    if (!startConversion(job, WideString::fromUtf8(session.folder + "/"), sink, environment)) {
        std::fprintf(session.errors, "tonvane: the conversion could not be started\n");
        return false;
    }
    while (!sink.waitFinished(kDisplayIntervalMs)) {
        display.update();
        if (g_interrupted && !job.cancel.load()) {
            std::fprintf(session.errors, "\nInterrupted: stopping and closing the files...\n");
            closeStop(job); // cancel, wait for the rip thread and its encoders
        }
    }
    waitForConversion(job);
    display.finish();
    return true;
}

std::string fileNameOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The summary table, the log and the CUE sheet. Answers the number of tracks not whole.
int reportRip(RipSession& session, const RipChecks& checks)
{
    const ConversionJob& job = session.job;
    RipReport report;
    report.version = std::string("Tonvane ") + product::kVersion;
    report.drive = session.drive;
    report.driveModel = session.model;
    report.readOffset = session.readOffset;
    report.mode = modeText(session.options.mode);
    report.discId = session.discId;
    report.toc = session.toc;
    report.accurateRipNote = session.accurateRip.note;
    for (int32_t i = 0; i < job.count; ++i) {
        if (job.tracks[i].selected && report.album.empty()) {
            report.album = job.tracks[i].tags.album.toUtf8();
            report.artist = job.tracks[i].tags.artist.toUtf8();
        }
    }

    std::fprintf(session.out, "\nTrack  Status     Size        AccurateRip                File\n");
    int failed = 0, accurate = 0, checked = 0;
    for (int32_t i = 0; i < job.count; ++i) {
        const TrackEntry& entry = job.tracks[i];
        if (!entry.selected)
            continue;
        std::string path = job.outputPath(i).toUtf8();
        struct stat info;
        uint64_t size = ::stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
        TrackStatus status = entry.status.load();
        const TrackCheck& check = checks.track(i);
        std::string verdict = "not checked";
        bool whole = status == TrackStatus::Done && check.accurateRip.wordsSeen() == uint64_t(entry.length) * kWordsPerSector;
        if (whole && session.accurateRip.state != AccurateRipRecord::State::NotChecked && session.toc) {
            AccurateRipVerdict result = accurateRipVerdict(session.accurateRip.blocks, session.toc->id,
                                                           static_cast<uint32_t>(i), check.accurateRip.v1(),
                                                           check.accurateRip.v2());
            verdict = result.text();
            ++checked;
            accurate += result.status == AccurateRipStatus::Accurate ? 1 : 0;
        }
        // Whole, but with sectors whose reads never agreed: the file may not be the disc's audio.
        bool suspicious = status == TrackStatus::Done && !check.suspicious.empty();
        const char* shown = suspicious ? "suspicious" : statusText(status);
        std::fprintf(session.out, "%5d  %-10s %-10s  %-25s  %s\n", entry.trackNumber, shown,
                     humanSize(size).c_str(), verdict.c_str(), path.c_str());
        if (suspicious) {
            ++failed;
            std::fprintf(session.errors, "tonvane: track %d is suspicious: %zu sector(s) never read the same twice\n",
                         entry.trackNumber, check.suspicious.size());
        }
        if (status != TrackStatus::Done) {
            ++failed;
            if (!check.unreadable.empty())
                std::fprintf(session.errors, "tonvane: track %d: %zu unreadable sector(s) written as silence in %s\n",
                             entry.trackNumber, check.unreadable.size(), path.c_str());
            else if (status == TrackStatus::Failed)
                std::fprintf(session.errors, "tonvane: track %d failed: %s is incomplete\n", entry.trackNumber,
                             path.c_str());
        }
        ReportTrack line;
        line.number = entry.trackNumber;
        line.fileName = fileNameOf(path);
        line.start = static_cast<uint32_t>(entry.start);
        line.length = static_cast<uint32_t>(entry.length);
        line.gap = static_cast<size_t>(i) < session.gaps.size() ? session.gaps[static_cast<size_t>(i)] : 0;
        line.copyCrc = check.copyCrc;
        line.testCrc = check.testCrc;
        line.accurateRip = verdict;
        line.suspicious = check.unreadable;
        line.suspicious.insert(line.suspicious.end(), check.suspicious.begin(), check.suspicious.end());
        line.notes = check.rereads;
        if (check.testCrc)
            line.notes.push_back(*check.testCrc == check.copyCrc ? "Test and copy CRCs agree"
                                                                 : "Re-reads settled what the test read disagreed on");
        line.status = shown;
        report.tracks.push_back(std::move(line));
    }
    int ripped = static_cast<int>(report.tracks.size());
    report.summary = std::to_string(ripped - failed) + " of " + std::to_string(ripped) + " track(s) ripped whole; " +
                     std::to_string(accurate) + " of " + std::to_string(checked) + " checked track(s) accurate";
    if (g_interrupted)
        report.summary += "; interrupted";
    std::fprintf(session.out, "%s\n", report.summary.c_str());

    if (session.discId.empty())
        return failed; // without a table of contents there is nothing to name the files after
    std::string base = session.folder + "/" + reportBaseName(report);
    std::string error;
    if (!writeFileAtomically(base + ".log", buildRipLog(report), error) ||
        !writeFileAtomically(base + ".cue", buildCueSheet(report), error))
        std::fprintf(session.errors, "tonvane: %s\n", error.c_str());
    return failed;
}

int runRip(const Options& options, std::FILE* out, std::FILE* errors)
{
    // One malloc arena for the whole process, set before any thread starts: glibc would give
    // each encoder thread (and the one still finishing its file beside it) an arena of its own
    // that keeps the encoder's freed 0.7 MiB, about 1.7 MiB resident more on a 2-lane FLAC rip.
    // The rip's threads allocate a few dozen times a track, so they never wait for each other.
    mallopt(M_ARENA_MAX, kRipMallocArenas);
    RipSession session{options, out, errors};
    if (int code = loadChosenDisc(options, session.job, session.drive, errors, session.loaded); code != kExitOk)
        return code;
    for (auto phase : {applyFormatChoice, applyTrackSelection, chooseOutputFolder, lookUpTitles})
        if (int code = phase(session); code != kExitOk)
            return code;
    chooseReadOffset(session);
    std::unique_ptr<AccurateRipFetch> fetch;
    if (readAccurateRipIds(session))
        fetch = startAccurateRipFetch(session);
    // Secure reading asks the record about each track as it reads; a normal rip or test and
    // copy needs it only for the report, and reads the disc while it arrives.
    if (session.options.mode == RipMode::Secure)
        finishAccurateRipFetch(session, fetch);
    detectGaps(session);

    RipChecks checks(session.job, &session.accurateRip, session.toc ? &session.toc->id : nullptr);
    const bool converted = convert(session, checks);
    finishAccurateRipFetch(session, fetch);
    if (!converted)
        return kExitTrackFailed;
    int failed = reportRip(session, checks);
    if (g_interrupted)
        return kExitInterrupted;
    return failed == 0 ? kExitOk : kExitTrackFailed;
}

// Tries every read offset against the record's sector-450 checksums of each track the database
// knows; the offset most tracks agree on is the drive's.
int runOffset(const Options& options, std::FILE* out, std::FILE* errors)
{
    ConversionJob job;
    std::string drive;
    DiscLoadResult loaded;
    if (int code = loadChosenDisc(options, job, drive, errors, loaded); code != kExitOk)
        return code;
    std::optional<TocSnapshot> toc = readTocSnapshot(drive);
    if (!toc) {
        std::fprintf(errors, "tonvane: the table of contents of %s could not be read\n", drive.c_str());
        return kExitNoDisc;
    }
    AccurateRipRecord record = fetchAccurateRipRecord(toc->id, options.accurateRipServer, updateCacheDirectory());
    std::fprintf(errors, "AccurateRip: %s\n", terminalText(record.note).c_str());
    if (record.state != AccurateRipRecord::State::Found) {
        std::fprintf(errors, "tonvane: AccurateRip has no record of this disc; try a disc it knows\n");
        return kExitTrackFailed;
    }
    CdDevice device;
    if (!openDevice(device, drive)) {
        std::fprintf(errors, "tonvane: %s cannot be opened\n", drive.c_str());
        return kExitNoDisc;
    }
    std::map<int32_t, int> votes; // offset -> tracks that agree
    std::vector<uint8_t> window(size_t{kOffsetWindowSectors} * kSectorBytes);
    size_t entryShift = toc->id.dataTrackFirst ? 1 : 0;
    for (int32_t i = 0; i < job.count; ++i) {
        const TrackEntry& entry = job.tracks[i];
        if (entry.length < static_cast<int32_t>(kOffsetFindingSector + kOffsetWindowSectors))
            continue;
        uint32_t first = static_cast<uint32_t>(entry.start) + kOffsetFindingSector - kOffsetWindowBefore;
        if (!readCd(device, first, kOffsetWindowSectors, window.data()))
            continue;
        std::set<int32_t> found;
        for (const AccurateRipBlock& block : record.blocks) {
            size_t at = static_cast<size_t>(i) + entryShift;
            if (at < block.size() && block[at].confidence != 0)
                for (int32_t offset : offsetsMatching(window.data(), block[at].frame450Crc))
                    found.insert(offset);
        }
        for (int32_t offset : found)
            ++votes[offset];
        std::fprintf(out, "Track %2d: %zu matching offset(s)", entry.trackNumber, found.size());
        for (int32_t offset : found)
            std::fprintf(out, " %+d", offset);
        std::fprintf(out, "\n");
    }
    closeDevice(device);
    auto best = std::max_element(votes.begin(), votes.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
    if (best == votes.end()) {
        std::fprintf(errors, "tonvane: no read offset from -2939 to 2939 matches this disc\n");
        return kExitTrackFailed;
    }
    std::fprintf(out, "Read offset: %+d samples (%d track(s) agree); rip with --offset %d\n", best->first,
                 best->second, best->first);
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
    case Command::Window:
        break; // main() runs the window program
    }
    return kExitUsage;
}

} // namespace tonvane::cli
