#pragma once
#include "session/SessionObserver.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tonvane {

struct ConversionJob;

// What one row of the track list shows of the running or last conversion.
enum class RowState : uint8_t {
    Idle, // not part of it
    Waiting, // selected, not reached yet
    Converting,
    Checking, // whole; its AccurateRip verdict comes with the report
    Accurate,
    NotAccurate,
    NotInDatabase,
    NotChecked,
    Failed,
    Stopped, // a Stop ended it or it was never reached
};

// How a state reads at a glance: its colour, and a mark beside the word so that colour is never
// the only sign.
enum class RowMark : uint8_t { None, Tick, Dash, Cross };
struct RowLook {
    uint32_t colour = 0; // ARGB
    RowMark mark = RowMark::None;
};

struct RowEnd {
    RowState state = RowState::Idle;
    int32_t confidence = 0; // of an accurate track
    std::u16string reason; // of a failed track, shown while the pointer rests on its state
};

// The window's follower of a rip session: receives the session's events on the window's thread
// and keeps each row's end state and, at the end, the outcome for the summary and the links.
class ConversionFollower final : public SessionObserver {
public:
    // changed(row) after a row's state moved; changed(-1) when all of them may have.
    explicit ConversionFollower(std::function<void(int32_t row)> changed = {}) : m_changed(std::move(changed)) {}

    // A conversion of job starts: its selected rows wait, the others are idle.
    void begin(const ConversionJob& job);
    // Another disc: count idle rows, no outcome.
    void clear(int32_t count);

    void onTrackStarted(int32_t index) override;
    void onTrackFinished(const TrackVerdict& verdict) override;
    void onEnded(const SessionOutcome& outcome) override;

    int32_t rowCount() const { return static_cast<int32_t>(m_rows.size()); }
    // Idle for a row outside the list.
    const RowEnd& row(int32_t index) const;
    // The session's end has been told (for the summary and the links).
    bool ended() const { return m_ended; }
    const SessionOutcome& outcome() const { return m_outcome; }
    // "n of m tracks whole, k accurate" in the interface language; empty before the end.
    std::u16string summary() const;

    // A verdict as a row shows it; interrupted: the conversion was stopped.
    static RowEnd endOf(const TrackVerdict& verdict, bool interrupted);
    // The state's word in the interface language ("Accurate (confidence 3)"); empty for the
    // states that show only their bar.
    static std::u16string wordOf(const RowEnd& end);
    static RowLook lookOf(RowState state);

private:
    void set(int32_t index, RowEnd end);

    std::function<void(int32_t)> m_changed;
    std::vector<RowEnd> m_rows;
    SessionOutcome m_outcome;
    bool m_ended = false;
};

} // namespace tonvane
