#pragma once
#include <cstdint>

namespace tonvane {

// How the rip and encoder threads report to whoever runs the conversion (the disc page, the
// command line). onProgress and isCancelled are called from several encoder threads at once.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Fraction of track trackIndex converted, 0.0 to 1.0; exactly 1.0 once a track is complete.
    virtual void onProgress(int32_t trackIndex, double fraction) = 0;
    // Once per conversion, on the rip thread, after every encoder thread has ended.
    virtual void onFinished() = 0;
    virtual bool isCancelled() = 0;
};

} // namespace tonvane
