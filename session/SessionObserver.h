#pragma once
#include "core/disc/TrackEntry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tonvane {

// The phases of a rip, in the order a session goes through them. A front end that looks up
// titles on its own (the window program) starts at ReadOffset.
enum class SessionPhase : uint8_t {
    DiscLoaded, // detail: the drive
    Lookup, // detail: the sources' failures, one per note
    Match, // detail: the index of the match applied
    Cover, // detail: where the cover went, or why there is none
    ReadOffset, // detail: "+667 samples (stored for MODEL)"
    AccurateRip, // detail: the record's note
    Gaps, // detail: how many pregaps were found, or why none
    Conversion, // detail: tracks and folder
    Loudness, // detail: the album's gain and peak, or why there is none
    Report, // detail: the summary line
};
const char* sessionPhaseName(SessionPhase phase);
// "done", "FAILED", "cancelled", "skipped" for a track's status.
const char* trackStatusText(TrackStatus status);

// How one selected track ended, as the summary, the log and a front end show it.
struct TrackVerdict {
    int32_t index = 0; // in the job
    int32_t number = 0; // on the disc
    TrackStatus status = TrackStatus::Pending;
    bool suspicious = false; // whole, but with sectors whose reads never agreed
    bool whole = false; // Done, every sector fed to the checks, nothing suspicious
    std::string accurateRip = "not checked"; // the verdict
    bool checked = false; // against a record
    bool accurate = false;
    int32_t confidence = 0; // of an accurate verdict: the submissions that agree
    std::string path; // the final file (UTF-8)
    uint64_t bytes = 0; // of that file, 0 when missing
    size_t unreadable = 0; // sectors written as silence
    size_t suspiciousSectors = 0;
};

struct SessionOutcome {
    int32_t selected = 0;
    int32_t whole = 0;
    int32_t accurate = 0;
    int32_t checked = 0;
    bool started = false; // the conversion ran
    bool interrupted = false;
    std::vector<TrackVerdict> tracks; // the selected ones, in disc order
    std::string summary;
    std::string logPath, cuePath; // written files; empty when not written
    std::vector<std::string> problems; // what could not be written, one line each

    bool allWhole() const { return started && !interrupted && whole == selected; }
    // Every selected track whole and the log and CUE sheet written.
    bool complete() const { return allWhole() && problems.empty() && !logPath.empty() && !cuePath.empty(); }
};

// What a session tells its front end. Every call comes through the session's deliver function,
// so it runs on the thread the front end chose; the calls of one session come in order.
class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    virtual void onPhase(SessionPhase, const std::string& /*detail*/) {}
    virtual void onNote(const std::string& /*line*/) {} // something worth a line of its own
    virtual void onTrackStarted(int32_t /*index*/) {}
    virtual void onTrackFinished(const TrackVerdict&) {}
    virtual void onEnded(const SessionOutcome&) {}
};

// Runs work on the front end's chosen thread (a queue the command line drains, the window's
// UiThread::post). Called from the session's threads; must not block long.
using SessionDeliver = std::function<void(std::function<void()> work)>;

} // namespace tonvane
