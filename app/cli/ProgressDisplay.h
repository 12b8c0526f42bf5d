#pragma once
#include "core/disc/ConversionJob.h"
#include "session/SessionObserver.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

namespace tonvane::cli {

// Shows a running conversion. On a terminal: one live line per track being converted (number,
// percent, speed as x real time) and a total line with the elapsed mm:ss, redrawn in place. On a
// pipe or file: plain lines without control codes, one per track start, quarter and end.
class ProgressDisplay {
public:
    ProgressDisplay(const ConversionJob& job, std::FILE* out, bool terminal);

    // Call regularly from the main thread while the job runs.
    void update();
    // The last state, once the job ended.
    void finish();

private:
    struct TrackTiming {
        uint64_t startedMs = 0;
        int reportedQuarter = -1;
        bool announcedEnd = false;
    };

    std::string trackLine(int32_t index, const TrackTiming& timing, uint64_t now) const;
    void updateTerminal(uint64_t now);
    void updatePlain(uint64_t now);

    const ConversionJob& m_job;
    std::FILE* m_out;
    bool m_terminal;
    uint64_t m_startMs;
    int m_linesShown = 0;
    std::map<int32_t, TrackTiming> m_timings;
};


} // namespace tonvane::cli
