#pragma once
#include "app/station/StationContext.h"
#include "app/station/StationView.h"
#include "core/disc/ConversionJob.h"
#include "session/AccurateRipLookup.h"
#include "session/RipSession.h"
#include "session/SessionObserver.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tonvane::station {

// How a disc of the station ended.
enum class DiscResult : uint8_t {
    Whole, // every track whole, the log and CUE sheet written
    Attention, // ripped, but a track failed, is suspicious or does not match AccurateRip
    Skipped, // a log under --out names it already
    Failed, // could not be read, or nothing could be written
    Interrupted, // the station stopped in its middle
};
const char* discResultName(DiscResult result);

// The counts of one disc's tracks, for its line and its event.
struct DiscCounts {
    int32_t tracks = 0;
    int32_t accurate = 0;
    int32_t notInDatabase = 0; // whole, the database has no record of the disc
    int32_t notChecked = 0; // whole, no record could be had (no answer, an unusable one, turned off)
    int32_t inaccurate = 0; // whole, but AccurateRip knows other checksums
    int32_t suspicious = 0;
    int32_t failed = 0; // not whole
};
// Folds the outcome's verdicts into counts.
DiscCounts countTracks(const SessionOutcome& outcome);
// Whole, Attention or Failed from the outcome (Interrupted when it was).
DiscResult resultOf(const SessionOutcome& outcome, const DiscCounts& counts);
// Why a disc needs attention, one line: "2 failed (track 3, 7), 1 suspicious (track 5)".
std::string attentionReason(const SessionOutcome& outcome, const DiscCounts& counts);

// One disc from arrival to its accounting (the eject is the drive's): load, the duplicate check,
// lookups and the automatic match, a folder of its own, the session, the line, the events, the
// attention list and the desktop notice. Runs on its drive's thread; interrupt and fillLine may
// come from any thread.
class DiscRun final : public SessionObserver {
public:
    DiscRun(StationContext& context, std::string driveSpec, std::string drivePath);
    ~DiscRun() override;
    DiscRun(const DiscRun&) = delete;
    DiscRun& operator=(const DiscRun&) = delete;

    DiscResult run();
    void interrupt();
    void fillLine(DriveLine& line) const;

    void onTrackStarted(int32_t index) override;
    void onTrackFinished(const TrackVerdict& verdict) override;
    void onEnded(const SessionOutcome& outcome) override;

private:
    bool load();
    bool alreadyRipped();
    void lookUp(RipSession& session);
    bool chooseFolder();
    DiscResult rip();
    DiscResult account(const SessionOutcome& outcome);
    DiscResult fail(const std::string& problem);
    void releaseIds();
    std::string discName() const;

    StationContext& m_context;
    std::string m_driveName; // the station drive
    std::string m_drive; // the path the disc is read through
    ConversionJob m_job;
    std::optional<TocSnapshot> m_toc;
    std::string m_idsLine; // registered in the context while this disc runs
    std::string m_discId; // CDDB
    std::string m_folder;
    SessionSettings m_settings;
    const std::shared_ptr<std::atomic<bool>> m_lookupCancel = std::make_shared<std::atomic<bool>>(false);

    mutable std::mutex m_mutex; // guards the members below
    RipSession* m_session = nullptr;
    bool m_interrupted = false;
    bool m_loaded = false; // the job's track list is complete: the view may read it
    int32_t m_currentTrack = 0; // on the disc
    std::string m_album; // for the view
    std::optional<SessionOutcome> m_outcome;
};

} // namespace tonvane::station
