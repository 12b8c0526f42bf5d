#include "app/station/DiscRun.h"

#include "app/station/RipHistory.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/rip/DiscLoader.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Utf.h"
#include "session/AutoMatch.h"
#include "session/MusicFolder.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane::station {

namespace {

constexpr uint32_t kEndPollMs = 50; // [ms] between looks at a running session
constexpr int kMaxFolderSuffix = 999; // " (2)" ... " (999)"
constexpr char kUnknownDiscId[] = "00000000";

std::string trackList(const std::vector<int32_t>& numbers)
{
    std::string text;
    for (int32_t number : numbers)
        text += (text.empty() ? "" : ", ") + std::to_string(number);
    return text;
}

// Claims a folder of the disc's own: base/name, else "base/name (2)", ... The first one this
// call creates is the disc's; one that exists belongs to another disc (or an earlier rip).
bool claimFolder(const std::string& wanted, std::string& claimed, std::string& error)
{
    size_t slash = wanted.rfind('/');
    if (slash != std::string::npos && slash > 0 && !prepareOutputFolder(wanted.substr(0, slash), error))
        return false;
    for (int n = 1; n <= kMaxFolderSuffix; ++n) {
        std::string candidate = n == 1 ? wanted : wanted + " (" + std::to_string(n) + ")";
        if (::mkdir(candidate.c_str(), 0755) == 0) {
            claimed = candidate;
            return true;
        }
        if (errno != EEXIST) {
            error = "cannot create " + candidate + ": " + std::strerror(errno);
            return false;
        }
    }
    error = "every folder name for " + wanted + " is taken";
    return false;
}

} // namespace

const char* discResultName(DiscResult result)
{
    switch (result) {
    case DiscResult::Whole:
        return "whole";
    case DiscResult::Attention:
        return "attention";
    case DiscResult::Skipped:
        return "skipped";
    case DiscResult::Failed:
        return "failed";
    case DiscResult::Interrupted:
        return "interrupted";
    }
    return "";
}

DiscCounts countTracks(const SessionOutcome& outcome)
{
    DiscCounts counts;
    for (const TrackVerdict& track : outcome.tracks) {
        ++counts.tracks;
        if (track.status != TrackStatus::Done)
            ++counts.failed;
        else if (track.suspicious)
            ++counts.suspicious;
        else if (track.accurate)
            ++counts.accurate;
        else if (!track.checked)
            ++counts.notChecked;
        else if (track.accurateRip.rfind("not in the database", 0) == 0)
            ++counts.notInDatabase;
        else
            ++counts.inaccurate;
    }
    return counts;
}

DiscResult resultOf(const SessionOutcome& outcome, const DiscCounts& counts)
{
    if (outcome.interrupted)
        return DiscResult::Interrupted;
    if (!outcome.started || (counts.tracks > 0 && counts.failed == counts.tracks))
        return DiscResult::Failed;
    if (counts.failed > 0 || counts.suspicious > 0 || counts.inaccurate > 0 || !outcome.complete())
        return DiscResult::Attention;
    return DiscResult::Whole;
}

std::string attentionReason(const SessionOutcome& outcome, const DiscCounts& counts)
{
    std::vector<int32_t> failed, suspicious, inaccurate, unreadable;
    for (const TrackVerdict& track : outcome.tracks) {
        if (track.status != TrackStatus::Done)
            failed.push_back(track.number);
        else if (track.suspicious)
            suspicious.push_back(track.number);
        else if (track.checked && !track.accurate && track.accurateRip.rfind("not in the database", 0) != 0)
            inaccurate.push_back(track.number);
        if (track.unreadable > 0)
            unreadable.push_back(track.number);
    }
    std::string reason;
    auto add = [&](const std::string& part) { reason += (reason.empty() ? "" : "; ") + part; };
    if (outcome.interrupted)
        add("interrupted");
    if (!failed.empty())
        add(std::to_string(counts.failed) + " failed (track " + trackList(failed) + ")");
    if (!unreadable.empty())
        add("unreadable sectors (track " + trackList(unreadable) + ")");
    if (!suspicious.empty())
        add(std::to_string(counts.suspicious) + " suspicious (track " + trackList(suspicious) + ")");
    if (!inaccurate.empty())
        add(std::to_string(counts.inaccurate) + " not accurate (track " + trackList(inaccurate) + ")");
    for (const std::string& problem : outcome.problems)
        add(problem);
    if (outcome.started && !outcome.interrupted && outcome.problems.empty() && outcome.logPath.empty())
        add("no log written");
    return reason.empty() ? "not complete" : reason;
}

DiscRun::DiscRun(StationContext& context, std::string driveSpec, std::string drivePath)
    : m_context(context), m_driveName(std::move(driveSpec)), m_drive(std::move(drivePath))
{
}

DiscRun::~DiscRun() { releaseIds(); }

void DiscRun::releaseIds()
{
    if (m_idsLine.empty())
        return;
    std::lock_guard lock(m_context.mutex);
    m_context.discsInProgress.erase(m_idsLine);
    m_idsLine.clear();
}

std::string DiscRun::discName() const
{
    for (int32_t i = 0; i < m_job.count; ++i) {
        const TrackEntry& entry = m_job.tracks[i];
        if (!entry.tags.album.empty()) {
            std::string artist = entry.tags.artist.toUtf8();
            return (artist.empty() ? "" : artist + " / ") + entry.tags.album.toUtf8();
        }
    }
    return "Unknown disc " + (m_discId.empty() ? std::string(kUnknownDiscId) : m_discId);
}

void DiscRun::interrupt()
{
    std::lock_guard lock(m_mutex);
    m_interrupted = true;
    m_lookupCancel->store(true);
    if (m_session != nullptr)
        m_session->interrupt();
}

void DiscRun::fillLine(DriveLine& line) const
{
    std::lock_guard lock(m_mutex);
    line.disc = m_album;
    if (!m_loaded)
        return;
    line.track = m_currentTrack;
    line.tracks = m_job.count;
    double done = 0.0;
    int32_t selected = 0;
    for (int32_t i = 0; i < m_job.count; ++i) {
        if (!m_job.tracks[i].selected)
            continue;
        ++selected;
        done += m_job.tracks[i].progress.load();
    }
    line.fraction = selected > 0 ? done / selected : 0.0;
}

void DiscRun::onTrackStarted(int32_t index)
{
    std::lock_guard lock(m_mutex);
    if (index >= 0 && index < m_job.count)
        m_currentTrack = m_job.tracks[index].trackNumber;
}

void DiscRun::onTrackFinished(const TrackVerdict& verdict)
{
    m_context.events.write({{"event", "track"},
                            {"drive", m_driveName},
                            {"disc", m_drive},
                            {"track", verdict.number},
                            {"status", trackStatusText(verdict.status)},
                            {"whole", verdict.whole},
                            {"suspicious", verdict.suspicious},
                            {"unreadable", verdict.unreadable},
                            {"accuraterip", verdict.accurateRip},
                            {"accurate", verdict.accurate},
                            {"file", verdict.status == TrackStatus::Done ? verdict.path : std::string()}});
}

void DiscRun::onEnded(const SessionOutcome& outcome)
{
    std::lock_guard lock(m_mutex);
    m_outcome = outcome;
}

DiscResult DiscRun::fail(const std::string& problem)
{
    m_context.view.note(m_driveName + ": " + problem);
    m_context.events.write({{"event", "error"}, {"drive", m_driveName}, {"disc", m_drive}, {"message", problem}});
    m_context.events.write({{"event", "done"}, {"drive", m_driveName}, {"disc", m_drive}, {"result", "failed"},
                            {"reason", problem}});
    std::string error;
    if (!m_context.attention.add(m_folder, m_drive + ": " + problem, error))
        m_context.view.note(error);
    m_context.notice.send("Disc needs attention", problem);
    std::lock_guard lock(m_context.mutex);
    ++m_context.tally.failed;
    ++m_context.tally.attention;
    return DiscResult::Failed;
}

bool DiscRun::load()
{
    DiscLoadResult loaded = loadDisc(m_job, m_drive);
    if (!loaded.loaded || m_job.count == 0)
        return false;
    const StationSetup& setup = m_context.setup;
    for (int32_t i = 0; i < m_job.count; ++i) {
        if (setup.format)
            m_job.tracks[i].format = *setup.format;
        if (setup.quality)
            m_job.tracks[i].quality = *setup.quality;
        m_job.tracks[i].selected = 1;
    }
    m_toc = readTocSnapshot(m_drive);
    m_discId = cddbDiscIdOf(m_drive);
    std::lock_guard lock(m_mutex);
    m_album = discName();
    m_loaded = true;
    return true;
}

bool DiscRun::alreadyRipped()
{
    if (!m_toc)
        return false;
    std::string line = accurateRipIdsLine(m_toc->id);
    {
        std::lock_guard lock(m_context.mutex);
        bool twin = m_context.discsInProgress.count(line) != 0; // the same disc in another drive now
        if (!twin || m_context.setup.again) {
            m_context.discsInProgress.insert(line);
            m_idsLine = line;
        }
        if (twin && !m_context.setup.again) {
            m_context.events.write({{"event", "done"}, {"drive", m_driveName}, {"disc", m_drive}, {"result", "skipped"},
                                    {"reason", "the same disc is being ripped in another drive"}});
            m_context.view.note(m_driveName + ": " + m_album + ": skipped, the same disc is being ripped in another drive");
            ++m_context.tally.skipped;
            return true;
        }
    }
    if (m_context.setup.again)
        return false;
    std::string log = findRipLog(m_context.setup.baseFolder, m_toc->id);
    if (log.empty())
        return false;
    m_context.events.write({{"event", "done"}, {"drive", m_driveName}, {"disc", m_drive}, {"result", "skipped"},
                            {"reason", "ripped before"}, {"log", log}});
    m_context.view.note(m_driveName + ": " + m_album + ": skipped, ripped before (" + log + ")");
    std::lock_guard lock(m_context.mutex);
    ++m_context.tally.skipped;
    return true;
}

void DiscRun::lookUp(RipSession& session)
{
    // The station's stop ends the lookups and the cover fetch at once, instead of waiting out
    // a silent server's timeout.
    LookupOptions options = m_context.setup.lookupOptions;
    options.cancel = m_lookupCancel;
    MatchList list = session.lookUp(options);
    AutoMatchChoice choice = chooseAutoMatch(list, m_job.count);
    if (choice.entry)
        session.applyMatch(list, *choice.entry, options);
    std::vector<std::string>& notes = session.settings().logNotes;
    notes.push_back("match: " + (choice.entry ? describeListedMatch(list, *choice.entry) + ", " : std::string()) +
                    choice.reason);
    for (const std::string& failure : list.failures)
        notes.push_back(failure);
    notes.insert(notes.end(), choice.others.begin(), choice.others.end());
    {
        std::lock_guard lock(m_mutex);
        m_album = discName();
    }
    std::string source = !choice.entry ? "none" : list.entries[*choice.entry].musicBrainz ? "musicbrainz" : "cddb";
    m_context.events.write({{"event", "matched"},
                            {"drive", m_driveName},
                            {"disc", m_drive},
                            {"album", discName()},
                            {"source", source},
                            {"reason", choice.reason},
                            {"others", choice.others},
                            {"failures", list.failures}});
}

bool DiscRun::chooseFolder()
{
    std::string name = discFolderName(m_job, m_discId.empty() ? std::string(kUnknownDiscId) : m_discId);
    std::string error;
    std::lock_guard lock(m_context.mutex); // two drives may bring discs of the same name
    if (!claimFolder(m_context.setup.baseFolder + "/" + name, m_folder, error)) {
        m_folder.clear();
        m_context.view.note(m_driveName + ": " + error);
        return false;
    }
    m_job.outputFolder = WideString::fromUtf8(m_folder + "/");
    return true;
}

DiscResult DiscRun::run()
{
    m_context.events.write({{"event", "arrived"}, {"drive", m_driveName}, {"disc", m_drive}});
    {
        std::lock_guard lock(m_context.mutex);
        ++m_context.tally.discs;
    }
    if (!load())
        return fail("the disc in " + m_drive + " has no audio track that could be read");
    if (alreadyRipped())
        return DiscResult::Skipped;
    return rip();
}

DiscResult DiscRun::rip()
{
    m_settings = m_context.setup.session;
    m_settings.drive = m_drive;
    auto deliverHere = [](std::function<void()> work) { work(); };
    RipSession session(m_job, m_settings, *this, deliverHere);
    {
        std::lock_guard lock(m_mutex);
        m_session = &session;
    }
    auto forget = [&] {
        std::lock_guard lock(m_mutex);
        m_session = nullptr;
    };
    session.discLoaded();
    // No database knows the built-in demo disc.
    if (m_context.setup.lookup && !isDemoDrivePath(m_drive) && !m_context.stopping.load())
        lookUp(session);
    else
        m_context.events.write({{"event", "matched"}, {"drive", m_driveName}, {"disc", m_drive}, {"album", discName()},
                                {"source", "none"}, {"reason", "no lookup"}});
    if (!chooseFolder()) {
        forget();
        return fail("no folder for " + discName() + " could be created under " + m_context.setup.baseFolder);
    }
    session.settings().folder = m_folder;
    session.keepCover();
    bool started = false;
    {
        std::lock_guard lock(m_mutex);
        started = !m_interrupted && session.start(nullptr);
    }
    if (!started) {
        forget();
        ::rmdir(m_folder.c_str()); // nothing was written into it
        SessionOutcome nothing;
        nothing.interrupted = m_context.stopping.load();
        return account(nothing);
    }
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_outcome)
                break;
        }
        sleepMs(kEndPollMs);
    }
    session.wait();
    forget();
    return account(*m_outcome);
}

DiscResult DiscRun::account(const SessionOutcome& outcome)
{
    DiscCounts counts = countTracks(outcome);
    DiscResult result = resultOf(outcome, counts);
    std::string album = discName();
    char numbers[256];
    std::snprintf(numbers, sizeof numbers,
                  "%d tracks: %d accurate, %d not in the database, %d suspicious, %d failed", counts.tracks,
                  counts.accurate, counts.notInDatabase, counts.suspicious, counts.failed);
    std::string line = m_driveName + ": " + album + ": " + discResultName(result) + ", " + numbers;
    if (counts.notChecked > 0)
        line += ", " + std::to_string(counts.notChecked) + " not checked";
    if (counts.inaccurate > 0)
        line += ", " + std::to_string(counts.inaccurate) + " not accurate";
    line += " -> " + m_folder;
    m_context.view.note(line);
    std::string reason;
    if (result != DiscResult::Whole) {
        reason = attentionReason(outcome, counts);
        std::string error;
        if (!m_context.attention.add(m_folder, reason, error))
            m_context.view.note(error);
    }
    m_context.events.write({{"event", "done"},
                            {"drive", m_driveName},
                            {"disc", m_drive},
                            {"album", album},
                            {"folder", m_folder},
                            {"result", discResultName(result)},
                            {"reason", reason},
                            {"tracks", counts.tracks},
                            {"accurate", counts.accurate},
                            {"not_in_database", counts.notInDatabase},
                            {"not_checked", counts.notChecked},
                            {"inaccurate", counts.inaccurate},
                            {"suspicious", counts.suspicious},
                            {"failed", counts.failed},
                            {"log", outcome.logPath}});
    if (result == DiscResult::Whole)
        m_context.notice.send("Disc done", album);
    else
        m_context.notice.send("Disc needs attention", album + ": " + reason);
    std::lock_guard lock(m_context.mutex);
    if (result == DiscResult::Whole)
        ++m_context.tally.whole;
    else
        ++m_context.tally.attention;
    if (result == DiscResult::Failed)
        ++m_context.tally.failed;
    return result;
}

} // namespace tonvane::station
