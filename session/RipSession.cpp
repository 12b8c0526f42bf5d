#include "session/RipSession.h"

#include "session/AccurateRipFetch.h"

#include "session/DriveModel.h"
#include "session/RipReport.h"
#include "cdrom/rip/DeviceRipDrive.h"
#include "cdrom/rip/GapDetection.h"
#include "core/ProductConfig.h"
#include "core/disc/SafeFileName.h"
#include "core/settings/SettingsStore.h"
#include "encoders/framework/JobEncoderStarter.h"
#include "encoders/tags/LoudnessRetag.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane {

namespace {

constexpr uint32_t kWatchIntervalMs = 50; // [ms] between looks at the tracks' states
constexpr char16_t kAccurateRipKey[] = u"\\AccurateRip";
constexpr char kVerdictPending[] = "pending"; // the record is still on its way
constexpr char16_t kValueServer[] = u"Server"; // HOST[:PORT] of the AccurateRip database
constexpr int kMaxKeptCopies = 9999; // " (2)" .. " (9999)", then the last one is taken

std::string hexId(uint32_t value)
{
    char text[12];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

const char* modeText(ReadMode mode)
{
    switch (mode) {
    case ReadMode::Secure:
        return "secure (AccurateRip first, then test and copy)";
    case ReadMode::TestAndCopy:
        return "test and copy";
    case ReadMode::Single:
        break;
    }
    return "normal";
}

std::string fileNameOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool exists(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

// The rip thread's encoder starter lives as long as the process: it holds no per-rip state. The
// drive does (its open device), so each session has its own: two sessions at once (the station's
// drives) must never read each other's discs.
JobEncoderStarter& sharedEncoders()
{
    static JobEncoderStarter encoders;
    return encoders;
}

} // namespace

const char* trackStatusText(TrackStatus status)
{
    switch (status) {
    case TrackStatus::Pending:
        return "skipped";
    case TrackStatus::Converting:
        return "converting";
    case TrackStatus::Done:
        return "done";
    case TrackStatus::Cancelled:
        return "cancelled";
    case TrackStatus::Failed:
        return "FAILED";
    }
    return "?";
}

const char* sessionPhaseName(SessionPhase phase)
{
    switch (phase) {
    case SessionPhase::DiscLoaded:
        return "disc";
    case SessionPhase::Lookup:
        return "lookup";
    case SessionPhase::Match:
        return "match";
    case SessionPhase::Cover:
        return "cover";
    case SessionPhase::ReadOffset:
        return "read offset";
    case SessionPhase::AccurateRip:
        return "AccurateRip";
    case SessionPhase::Gaps:
        return "gaps";
    case SessionPhase::Conversion:
        return "conversion";
    case SessionPhase::Loudness:
        return "loudness";
    case SessionPhase::Report:
        return "report";
    }
    return "?";
}

// Between the rip thread and the front end's sink: progress goes straight through (the window
// draws it as before); the end of the conversion wakes the session, which writes the report
// before the front end hears of the end.
class RipSession::Sink final : public ProgressSink {
public:
    explicit Sink(RipSession& session) : m_session(session) {}
    void onProgress(int32_t trackIndex, double fraction) override
    {
        if (m_session.m_frontSink != nullptr)
            m_session.m_frontSink->onProgress(trackIndex, fraction);
        else if (trackIndex >= 0 && trackIndex < m_session.m_job.count)
            m_session.m_job.tracks[trackIndex].progress.store(fraction);
    }
    void onFinished() override { m_session.m_conversionEnded.set(); }
    bool isCancelled() override
    {
        return m_session.m_job.cancel.load() != 0 ||
               (m_session.m_frontSink != nullptr && m_session.m_frontSink->isCancelled());
    }

private:
    RipSession& m_session;
};

RipSession::RipSession(ConversionJob& job, SessionSettings settings, SessionObserver& observer, SessionDeliver deliver)
    : m_job(job), m_settings(std::move(settings)), m_observer(observer), m_deliver(std::move(deliver)),
      m_sink(std::make_unique<Sink>(*this)), m_ripDrive(std::make_unique<DeviceRipDrive>())
{
}

RipSession::~RipSession()
{
    interrupt();
    wait();
}

void RipSession::deliverPhase(SessionPhase phase, std::string detail)
{
    SessionObserver* observer = &m_observer;
    m_deliver([observer, phase, detail = std::move(detail)] { observer->onPhase(phase, detail); });
}

void RipSession::deliverNote(std::string line)
{
    SessionObserver* observer = &m_observer;
    m_deliver([observer, line = std::move(line)] { observer->onNote(line); });
}

void RipSession::discLoaded()
{
    deliverPhase(SessionPhase::DiscLoaded, m_settings.drive);
}

MatchList RipSession::lookUp(const LookupOptions& options)
{
    // The servers answer while the drive spins up for the first track.
    BackgroundMatchLookup lookup(m_settings.drive, options, m_job);
    if (int32_t first = m_job.firstSelected(); first >= 0)
        spinUpDrive(m_settings.drive, static_cast<uint32_t>(m_job.tracks[first].start));
    MatchList list = lookup.finish();
    deliverPhase(SessionPhase::Lookup, std::to_string(list.entries.size()) + " match(es)");
    for (const std::string& failure : list.failures)
        deliverNote(failure);
    return list;
}

void RipSession::applyMatch(const MatchList& list, size_t n, const LookupOptions& options)
{
    if (n >= list.entries.size())
        return;
    std::string coverNote = applyListedMatch(list, n, options, m_job);
    deliverPhase(SessionPhase::Match, std::to_string(n));
    if (!coverNote.empty())
        deliverNote(coverNote);
}

void RipSession::keepCover()
{
    if (m_job.count == 0 || !m_job.tracks[0].tags.cover)
        return;
    std::string problem = saveCover(m_job, m_settings.folder);
    deliverPhase(SessionPhase::Cover, problem.empty() ? m_settings.folder : problem);
    if (!problem.empty())
        deliverNote(problem);
}

bool RipSession::start(ProgressSink* frontSink)
{
    if (m_running.load())
        return false;
    m_thread.join(); // an earlier run of this session has ended
    m_frontSink = frontSink;
    m_interrupted.store(false);
    m_conversionEnded.reset();
    m_outcome = SessionOutcome{};
    m_running.store(true);
    if (startThread(m_thread, run, this) != kSuccess) {
        m_running.store(false);
        return false;
    }
    return true;
}

void RipSession::interrupt()
{
    if (!m_running.load())
        return;
    m_interrupted.store(true);
    m_job.cancel.store(1);
}

void RipSession::wait()
{
    m_thread.join();
}

void* RipSession::run(void* self)
{
    auto* session = static_cast<RipSession*>(self);
    nameThisThread("session");
    session->runPhases();
    return nullptr;
}

void RipSession::runPhases()
{
    chooseReadOffset();
    if (!m_interrupted.load())
        fetchRecord();
    if (!m_interrupted.load())
        detectGaps();
    m_checks = std::make_unique<RipChecks>(m_job, &m_record, m_toc ? &m_toc->id : nullptr);
    m_loudness.reset();
    m_loudnessLines.assign(static_cast<size_t>(m_job.count), std::string());
    m_albumLoudness.clear();
    if (m_settings.replayGain) {
        m_loudness = std::make_unique<LoudnessMeter>(m_job.count, m_settings.truePeak ? PeakKind::True : PeakKind::Sample);
        m_checks->measureLoudness(m_loudness.get());
    }
    m_outcome.started = !m_interrupted.load() && convert();
    if (m_fetch) // the rip thread is done: nothing reads the record while it is written
        finishRecord();
    m_outcome.interrupted = m_interrupted.load();
    if (m_loudness && m_outcome.started)
        writeLoudness();
    report();
    SessionObserver* observer = &m_observer;
    m_deliver([observer, outcome = m_outcome] { observer->onEnded(outcome); });
    ProgressSink* front = m_frontSink;
    m_running.store(false);
    // Last: a front end may free the session once it hears of the end.
    if (front != nullptr)
        front->onFinished();
}

// A given offset is kept for the drive model; without one the model's stored offset applies.
void RipSession::chooseReadOffset()
{
    m_model = driveModel(m_settings.drive);
    std::string source;
    if (m_settings.readOffset) {
        m_readOffset = *m_settings.readOffset;
        storeReadOffset(m_model, m_readOffset);
        source = "given";
    } else if (std::optional<int32_t> stored = storedReadOffset(m_model)) {
        m_readOffset = *stored;
        source = "stored";
    } else {
        m_readOffset = 0;
        source = "none stored";
    }
    char text[24];
    std::snprintf(text, sizeof text, "%+d samples", m_readOffset);
    deliverPhase(SessionPhase::ReadOffset, std::string(text) + " (" + source + " for " +
                                               (m_model.empty() ? "an unknown drive" : m_model) + ")");
}

// The disc's AccurateRip ids from its table of contents and the database's record of them.
void RipSession::fetchRecord()
{
    m_toc = readTocSnapshot(m_settings.drive);
    if (m_toc)
        m_discId = hexId(m_toc->id.id3);
    if (!m_settings.accurateRip) {
        m_record.note = "not checked (--no-accuraterip)";
    } else if (!m_toc) {
        m_record.note = "not checked: the table of contents could not be read";
    } else {
        std::string server = m_settings.accurateRipServer;
        if (server.empty()) {
            WideString stored;
            if (settings::readString(product::kProductKey, kAccurateRipKey, kValueServer, stored))
                server = stored.toUtf8();
        }
        m_fetch = std::make_unique<AccurateRipFetch>(m_toc->id, server, m_settings.cacheFolder);
        // Secure reading asks the record about each track as it reads; a normal rip or test and
        // copy needs it only for the verdicts, and reads the disc while it arrives.
        if (m_settings.mode != ReadMode::Secure)
            return;
    }
    finishRecord();
}

// Takes the record of a fetch still running (waiting for it) and says what it is.
void RipSession::finishRecord()
{
    if (m_fetch) {
        m_record = m_fetch->finish();
        m_fetch.reset();
    }
    deliverPhase(SessionPhase::AccurateRip, m_record.note);
}

// The pregaps from the Q sub-channel, for the CUE sheet and the log.
void RipSession::detectGaps()
{
    std::vector<GapTrack> tracks;
    for (int32_t i = 0; i < m_job.count; ++i)
        tracks.push_back({m_job.tracks[i].trackNumber, static_cast<uint32_t>(m_job.tracks[i].start)});
    if (std::optional<std::vector<uint32_t>> gaps = detectPregaps(m_settings.drive, tracks)) {
        m_gaps = std::move(*gaps);
        size_t found = 0;
        for (uint32_t gap : m_gaps)
            found += gap != 0 ? 1 : 0;
        deliverPhase(SessionPhase::Gaps, std::to_string(found) + " pregap(s)");
    } else {
        m_gaps.clear();
        deliverPhase(SessionPhase::Gaps, "the drive gives no Q sub-channel positions; none are listed");
    }
}

bool RipSession::convert()
{
    RipEnvironment environment{m_ripDrive.get(), &sharedEncoders(), {}, m_checks.get()};
    environment.options.laneOverride = m_settings.lanes;
    environment.options.encoderPool = m_settings.encoderPool;
    environment.options.readOffset = m_readOffset;
    environment.options.mode = m_settings.mode;
    if (m_settings.driveCacheBytes)
        environment.options.driveCacheBytes = *m_settings.driveCacheBytes;
    environment.options.order = m_settings.order;
    m_job.existingFiles = m_settings.existingFiles;
    // A cancel belongs to the conversion it stopped; a new rip must not inherit it.
    m_job.cancel.store(0);
    deliverPhase(SessionPhase::Conversion, std::to_string(m_job.selectedCount()) + " track(s) from " +
                                               m_settings.drive + " into " + m_settings.folder);
    if (!startConversion(m_job, WideString::fromUtf8(m_settings.folder + "/"), *m_sink, environment)) {
        deliverNote("the conversion could not be started");
        return false;
    }
    std::vector<TrackStatus> seen(static_cast<size_t>(m_job.count), TrackStatus::Pending);
    bool stopping = false;
    while (!m_conversionEnded.waitFor(std::chrono::milliseconds(kWatchIntervalMs))) {
        watchTracks(seen, false);
        if (m_interrupted.load() && !stopping) {
            stopping = true;
            m_job.cancel.store(1);
        }
    }
    waitForConversion(m_job);
    watchTracks(seen, true);
    // A track that did not end whole leaves no temporary file behind.
    for (int32_t i = 0; i < m_job.count; ++i)
        if (m_job.tracks[i].selected && m_job.tracks[i].status.load() != TrackStatus::Done)
            ::unlink(m_job.partPath(i).toUtf8().c_str());
    return true;
}

// Start and end events for every track whose state changed since the last look.
// A Done track's checks are complete (the rip thread fed all its audio before the encoder could
// finish); a failed or cancelled one may still be read into while the rip thread runs, so its
// end is told once the conversion is over.
void RipSession::watchTracks(std::vector<TrackStatus>& seen, bool conversionOver)
{
    SessionObserver* observer = &m_observer;
    for (int32_t i = 0; i < m_job.count; ++i) {
        TrackStatus now = m_job.tracks[i].status.load();
        TrackStatus& before = seen[static_cast<size_t>(i)];
        if (now == before || !m_job.tracks[i].selected)
            continue;
        if (before == TrackStatus::Pending) {
            m_deliver([observer, i] { observer->onTrackStarted(i); });
            before = TrackStatus::Converting;
        }
        bool ended = now != TrackStatus::Converting && now != TrackStatus::Pending;
        if (ended && (now == TrackStatus::Done || conversionOver)) {
            m_deliver([observer, verdict = verdictOf(i)] { observer->onTrackFinished(verdict); });
            before = now;
        }
    }
}

TrackVerdict RipSession::verdictOf(int32_t index) const
{
    const TrackEntry& entry = m_job.tracks[index];
    const TrackCheck& check = m_checks->track(index);
    TrackVerdict verdict;
    verdict.index = index;
    verdict.number = entry.trackNumber;
    verdict.status = entry.status.load();
    verdict.path = m_job.outputPath(index).toUtf8();
    verdict.unreadable = check.unreadable.size();
    verdict.suspiciousSectors = check.suspicious.size();
    bool fed = check.accurateRip.wordsSeen() == uint64_t(entry.length) * kWordsPerSector;
    bool done = verdict.status == TrackStatus::Done;
    // A track that is not whole has no file; a file of that name is someone else's.
    struct stat info;
    verdict.bytes = done && ::stat(verdict.path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    // A normal rip fetches the record while it reads: the verdict comes with the report.
    verdict.accurateRip = m_fetch ? kVerdictPending : m_record.unjudgedVerdict();
    if (done && fed && m_record.judges() && m_toc) {
        AccurateRipVerdict result = accurateRipVerdict(m_record.blocks, m_toc->id, static_cast<uint32_t>(index),
                                                       check.accurateRip.v1(), check.accurateRip.v2());
        verdict.accurateRip = result.text();
        verdict.accurate = result.status == AccurateRipStatus::Accurate;
        verdict.confidence = verdict.accurate ? static_cast<int32_t>(result.confidence) : 0;
        verdict.checked = true;
    }
    verdict.suspicious = done && !check.suspicious.empty();
    verdict.whole = done && !verdict.suspicious;
    return verdict;
}

// After the last track: every whole track's loudness, the album's over them, and the tags
// written into the finished files. A track that failed or was stopped is not measured; an
// interrupted rip has no album, so its files get track values only.
void RipSession::writeLoudness()
{
    std::vector<int32_t> whole;
    for (int32_t i = 0; i < m_job.count; ++i) {
        const TrackEntry& entry = m_job.tracks[i];
        bool fed = m_loudness->bytesFed(i) == uint64_t(entry.length) * kWordsPerSector * 4; // [bytes] 16-bit stereo
        if (entry.selected && entry.status.load() == TrackStatus::Done && fed && m_loudness->track(i))
            whole.push_back(i);
    }
    std::optional<Loudness> album;
    if (m_outcome.interrupted)
        m_albumLoudness = "none: the rip was interrupted";
    else if (!(album = m_loudness->album(whole)))
        m_albumLoudness = "none: no track has a measurable loudness";
    else
        m_albumLoudness = loudnessLine(*album);
    deliverPhase(SessionPhase::Loudness, "album " + m_albumLoudness);
    for (int32_t i = 0; i < m_job.count; ++i) {
        const TrackEntry& entry = m_job.tracks[i];
        std::string& line = m_loudnessLines[static_cast<size_t>(i)];
        if (!entry.selected || entry.status.load() != TrackStatus::Done)
            continue;
        if (std::find(whole.begin(), whole.end(), i) == whole.end()) {
            line = "no loudness (digital silence, or not every sector measured)";
            continue;
        }
        Loudness track = *m_loudness->track(i);
        line = loudnessLine(track);
        std::string path = m_job.outputPath(i).toUtf8(), problem;
        switch (writeLoudnessTags(path, loudnessTagsOf(track, album), problem)) {
        case RetagResult::Written:
            break;
        case RetagResult::NoTags:
            line += " (the format has no such tags)";
            break;
        case RetagResult::Failed: {
            line += " (tags NOT written: " + problem + ")";
            std::string failure = "ReplayGain tags of " + fileNameOf(path) + " not written: " + problem;
            deliverNote(failure);
            m_outcome.problems.push_back(std::move(failure));
            break;
        }
        }
    }
}

// The verdicts, the log (always, saying what is whole) and the CUE sheet (only when every
// selected track is whole).
void RipSession::report()
{
    RipReport report;
    report.version = m_settings.version;
    report.drive = m_settings.drive;
    report.driveModel = m_model;
    report.readOffset = m_readOffset;
    report.mode = modeText(m_settings.mode);
    report.driveCache = m_checks->driveCacheText();
    report.discId = m_discId;
    report.toc = m_toc;
    report.accurateRipNote = m_record.note;
    report.albumLoudness = m_albumLoudness;
    report.notes = m_settings.logNotes;
    for (int32_t i = 0; i < m_job.count; ++i) {
        if (m_job.tracks[i].selected && report.album.empty()) {
            report.album = m_job.tracks[i].tags.album.toUtf8();
            report.artist = m_job.tracks[i].tags.artist.toUtf8();
        }
    }
    for (int32_t i = 0; i < m_job.count; ++i) {
        const TrackEntry& entry = m_job.tracks[i];
        if (!entry.selected)
            continue;
        TrackVerdict verdict = verdictOf(i);
        const TrackCheck& check = m_checks->track(i);
        ++m_outcome.selected;
        m_outcome.whole += verdict.whole ? 1 : 0;
        m_outcome.checked += verdict.checked ? 1 : 0;
        m_outcome.accurate += verdict.accurate ? 1 : 0;
        ReportTrack line;
        line.number = entry.trackNumber;
        line.fileName = fileNameOf(verdict.path);
        line.start = static_cast<uint32_t>(entry.start);
        line.length = static_cast<uint32_t>(entry.length);
        line.gap = static_cast<size_t>(i) < m_gaps.size() ? m_gaps[static_cast<size_t>(i)] : 0;
        line.copyCrc = check.copyCrc;
        line.testCrc = check.testCrc;
        line.accurateRip = verdict.accurateRip;
        line.unreadable = check.unreadable.size();
        line.suspicious = check.unreadable; // a sector never read may also never have read the same twice
        for (int32_t lba : check.suspicious)
            if (std::find(line.suspicious.begin(), line.suspicious.end(), lba) == line.suspicious.end())
                line.suspicious.push_back(lba);
        line.notes = check.rereads;
        if (check.testCrc)
            line.notes.push_back(*check.testCrc == check.copyCrc ? "Test and copy CRCs agree"
                                                                 : "Re-reads settled what the test read disagreed on");
        line.status = verdict.suspicious ? "suspicious" : trackStatusText(verdict.status);
        line.loudness = m_loudnessLines.size() > static_cast<size_t>(i) ? m_loudnessLines[static_cast<size_t>(i)] : "";
        report.tracks.push_back(std::move(line));
        m_outcome.tracks.push_back(std::move(verdict));
    }
    m_outcome.summary = std::to_string(m_outcome.whole) + " of " + std::to_string(m_outcome.selected) +
                        " track(s) ripped whole; " + std::to_string(m_outcome.accurate) + " of " +
                        std::to_string(m_outcome.checked) + " checked track(s) accurate";
    if (m_outcome.interrupted)
        m_outcome.summary += "; interrupted";
    report.summary = m_outcome.summary;
    report.interrupted = m_outcome.interrupted;
    deliverPhase(SessionPhase::Report, m_outcome.summary);

    if (m_discId.empty()) {
        m_outcome.problems.push_back("no log or CUE sheet: the table of contents could not be read");
        return;
    }
    std::string base = m_settings.folder + "/" + reportBaseName(report);
    writeReportFile(base, ".log", buildRipLog(report), m_outcome.logPath);
    // A CUE sheet names every track's file: with one missing or cut short it would lie.
    if (m_outcome.allWhole())
        writeReportFile(base, ".cue", buildCueSheet(report), m_outcome.cuePath);
}

void RipSession::writeReportFile(const std::string& base, const char* extension, const std::string& text,
                                 std::string& writtenPath)
{
    std::string path = base + extension;
    if (m_settings.existingFiles == ExistingFiles::Refuse)
        path = freePath(path);
    std::string error;
    if (writeFileAtomically(path, text, error))
        writtenPath = path;
    else
        m_outcome.problems.push_back(error);
}

std::string discFolderName(const ConversionJob& job, const std::string& discId)
{
    int32_t first = job.firstSelected() >= 0 ? job.firstSelected() : (job.count > 0 ? 0 : -1);
    if (first < 0)
        return "Unknown disc " + discId;
    const TrackTags& tags = job.tracks[first].tags;
    std::string album = safePathComponent(tags.album.view()).toUtf8();
    if (album.empty())
        return "Unknown disc " + discId;
    std::u16string_view artistText = !tags.albumArtist.empty() ? tags.albumArtist.view() : tags.artist.view();
    std::string artist = safePathComponent(artistText).toUtf8();
    std::string discTotal = tags.discTotal.toUtf8(), discNumber = tags.discNumber.toUtf8();
    if (!discTotal.empty() && discTotal != "1" && !discNumber.empty())
        album = safePathComponent(WideString::fromUtf8(album + " (Disc " + discNumber + ")").view()).toUtf8();
    return artist.empty() ? album : artist + "/" + album;
}

std::string freePath(const std::string& path)
{
    if (!exists(path))
        return path;
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        dot = path.size();
    std::string candidate;
    for (int n = 2; n <= kMaxKeptCopies; ++n) {
        candidate = path.substr(0, dot) + " (" + std::to_string(n) + ")" + path.substr(dot);
        if (!exists(candidate))
            break;
    }
    return candidate;
}

std::vector<std::string> existingTrackFiles(const ConversionJob& job)
{
    std::vector<std::string> found;
    for (int32_t i = 0; i < job.count; ++i) {
        if (!job.tracks[i].selected)
            continue;
        std::string path = job.outputPath(i).toUtf8();
        if (!path.empty() && exists(path))
            found.push_back(path);
    }
    return found;
}

std::string cddbDiscIdOf(const std::string& drive)
{
    std::optional<TocSnapshot> toc = readTocSnapshot(drive);
    return toc ? hexId(toc->id.id3) : std::string();
}

} // namespace tonvane
