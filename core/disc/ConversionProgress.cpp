#include "core/disc/ConversionProgress.h"

#include "core/foundation/Clock.h"

namespace tonvane {

void ConversionProgress::conversionStarting()
{
    m_startTick.store(tickCountMs());
    m_highestIndex.store(0);
}

void ConversionProgress::onProgress(int32_t trackIndex, double fraction)
{
    if (trackIndex < 0 || trackIndex >= m_job.count)
        return;
    uint64_t now = tickCountMs();
    bool expected = false;
    if (m_redrawTimed.compare_exchange_strong(expected, true))
        m_lastRedraw.store(now); // first report of the process
    m_job.tracks[trackIndex].progress.store(fraction);
    if (now - m_lastRedraw.load() > kRedrawIntervalMs || fraction == 1.0) {
        m_view.redrawTrackList();
        m_view.showElapsedTime(elapsedText());
        m_lastRedraw.store(now);
    }
    int32_t highest = m_highestIndex.load();
    while (trackIndex > highest) {
        if (m_highestIndex.compare_exchange_weak(highest, trackIndex)) {
            m_view.scrollToTrack(trackIndex);
            break;
        }
    }
}

void ConversionProgress::onFinished()
{
    m_job.running.store(0);
    m_view.showElapsedTime(elapsedText());
    m_view.conversionEnded();
}

bool ConversionProgress::isCancelled()
{
    return m_job.cancel.load() != 0;
}

WideString ConversionProgress::elapsedText() const
{
    return elapsedTimeText(tickCountMs() - m_startTick.load());
}

} // namespace tonvane
