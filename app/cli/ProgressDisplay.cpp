#include "app/cli/ProgressDisplay.h"

#include "core/foundation/Clock.h"

namespace tonvane::cli {

ProgressDisplay::ProgressDisplay(const ConversionJob& job, std::FILE* out, bool terminal)
    : m_job(job), m_out(out), m_terminal(terminal), m_startMs(tickCountMs())
{
}


std::string ProgressDisplay::trackLine(int32_t index, const TrackTiming& timing, uint64_t now) const
{
    const TrackEntry& entry = m_job.tracks[index];
    double fraction = entry.progress.load();
    double seconds = static_cast<double>(now - timing.startedMs) / 1000.0;
    double audioSeconds = fraction * entry.playingSeconds();
    char line[160];
    if (seconds > 0.2)
        std::snprintf(line, sizeof line, "  track %2d  %5.1f%%  %6.1fx", entry.trackNumber, fraction * 100.0,
                      audioSeconds / seconds);
    else
        std::snprintf(line, sizeof line, "  track %2d  %5.1f%%", entry.trackNumber, fraction * 100.0);
    return line;
}

void ProgressDisplay::update()
{
    uint64_t now = tickCountMs();
    for (int32_t i = 0; i < m_job.count; ++i)
        if (m_job.tracks[i].status.load() != TrackStatus::Pending && !m_timings.count(i))
            m_timings[i].startedMs = now;
    if (m_terminal)
        updateTerminal(now);
    else
        updatePlain(now);
    std::fflush(m_out);
}

void ProgressDisplay::updateTerminal(uint64_t now)
{
    // Back to the first line of the block drawn last time. Tracks that ended since get a line of
    // their own that stays; the live block is drawn below them.
    if (m_linesShown > 0)
        std::fprintf(m_out, "\x1b[%dA", m_linesShown);
    int lines = 0;
    int finished = 0;
    for (auto& [index, timing] : m_timings) {
        TrackStatus status = m_job.tracks[index].status.load();
        if (status == TrackStatus::Converting)
            continue;
        ++finished;
        if (!timing.announcedEnd) {
            timing.announcedEnd = true;
            std::fprintf(m_out, "\r\x1b[2K  track %2d  %s\n", m_job.tracks[index].trackNumber, trackStatusText(status));
            --m_linesShown; // that line of the old block is now taken
        }
    }
    for (auto& [index, timing] : m_timings) {
        if (m_job.tracks[index].status.load() != TrackStatus::Converting)
            continue;
        std::fprintf(m_out, "\r\x1b[2K%s\n", trackLine(index, timing, now).c_str());
        ++lines;
    }
    std::fprintf(m_out, "\r\x1b[2K  %d of %d tracks finished  elapsed %s\n", finished, m_job.selectedCount(),
                 elapsedTimeText(now - m_startMs).toUtf8().c_str());
    ++lines;
    // Clear what is left of a longer block from before.
    for (int extra = lines; extra < m_linesShown; ++extra)
        std::fprintf(m_out, "\r\x1b[2K\n");
    if (m_linesShown > lines)
        std::fprintf(m_out, "\x1b[%dA", m_linesShown - lines);
    m_linesShown = lines;
}

void ProgressDisplay::updatePlain(uint64_t now)
{
    for (auto& [index, timing] : m_timings) {
        const TrackEntry& entry = m_job.tracks[index];
        TrackStatus status = entry.status.load();
        if (status == TrackStatus::Converting) {
            int quarter = static_cast<int>(entry.progress.load() * 4.0);
            if (quarter > timing.reportedQuarter && quarter < 4) {
                timing.reportedQuarter = quarter;
                std::fprintf(m_out, "%s\n", trackLine(index, timing, now).c_str());
            }
        } else if (!timing.announcedEnd) {
            timing.announcedEnd = true;
            std::fprintf(m_out, "  track %2d  %s  elapsed %s\n", entry.trackNumber, trackStatusText(status),
                         elapsedTimeText(now - m_startMs).toUtf8().c_str());
        }
    }
}

void ProgressDisplay::finish()
{
    update();
}

} // namespace tonvane::cli
