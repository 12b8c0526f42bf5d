#pragma once
#include "core/disc/ConversionJob.h"
#include "core/disc/ProgressSink.h"

#include <atomic>
#include <cstdint>

namespace tonvane {

// What a front end shows of a running conversion (the disc page, the command line).
class ConversionView {
public:
    virtual ~ConversionView() = default;
    virtual void redrawTrackList() = 0;
    virtual void showElapsedTime(const WideString& text) = 0;
    virtual void scrollToTrack(int32_t index) = 0;
    // Running is 0 again: commands come back (called on the rip thread).
    virtual void conversionEnded() = 0;
};

// The job's ProgressSink: stores each track's fraction, redraws at most every 100 ms (always
// for a finished track), keeps the highest reported track in view, and answers the cancel byte.
class ConversionProgress : public ProgressSink {
public:
    static constexpr uint64_t kRedrawIntervalMs = 100;

    ConversionProgress(ConversionJob& job, ConversionView& view) : m_job(job), m_view(view) {}

    // Called by Start conversion: remembers the start tick and forgets the highest index.
    void conversionStarting();

    void onProgress(int32_t trackIndex, double fraction) override;
    void onFinished() override;
    bool isCancelled() override;

    WideString elapsedText() const;

private:
    ConversionJob& m_job;
    ConversionView& m_view;
    std::atomic<uint64_t> m_startTick{0};
    std::atomic<uint64_t> m_lastRedraw{0};
    std::atomic<bool> m_redrawTimed{false};
    std::atomic<int32_t> m_highestIndex{0};
};

} // namespace tonvane
