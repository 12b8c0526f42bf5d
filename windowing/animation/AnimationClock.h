#pragma once
#include <cstdint>

namespace tonvane {

// The time source of the animations: the monotonic clock and a real sleep, or a test's own.
class AnimationClock {
public:
    virtual ~AnimationClock() = default;
    virtual uint64_t nowNs() = 0;
    virtual void sleepMs(uint32_t milliseconds) = 0;

    // The process's monotonic clock.
    static AnimationClock& system();
};

} // namespace tonvane
