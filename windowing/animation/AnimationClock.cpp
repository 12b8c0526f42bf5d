#include "windowing/animation/AnimationClock.h"

#include "core/foundation/Clock.h"

namespace tonvane {

namespace {

class SystemClock final : public AnimationClock {
public:
    uint64_t nowNs() override { return monotonicNs(); }
    void sleepMs(uint32_t milliseconds) override { tonvane::sleepMs(milliseconds); }
};

} // namespace

AnimationClock& AnimationClock::system()
{
    static SystemClock clock;
    return clock;
}

} // namespace tonvane
