#include "windowing/animation/BusySpinner.h"

#include "windowing/animation/AnimationClock.h"

#include <algorithm>

namespace tonvane {

bool BusySpinner::start(SpinnerTarget& target, AnimationClock& clock, int firstFrame)
{
    if (m_thread.joinable())
        return false;
    m_target = &target;
    m_clock = &clock;
    m_frame = firstFrame;
    m_stop.reset();
    m_quit.store(false);
    return startThread(m_thread, &BusySpinner::run, this) == kSuccess;
}

void* BusySpinner::run(void* self)
{
    auto* spinner = static_cast<BusySpinner*>(self);
    SpinnerTarget& target = *spinner->m_target;
    do {
        spinner->m_frame = spinner->m_frame + 1 >= kFrames || spinner->m_frame < 0 ? 0 : spinner->m_frame + 1;
        target.setFrame(spinner->m_frame);
        target.repaint();
    } while (!spinner->m_stop.waitFor(std::chrono::milliseconds(kFrameMs)));
    // The last frame stays visible meanwhile; a quit ends the wait within a frame's time.
    for (uint32_t waited = 0; waited < kLingerMs && !spinner->m_quit.load(); waited += kFrameMs)
        spinner->m_clock->sleepMs(std::min(kFrameMs, kLingerMs - waited));
    target.setFrame(-1);
    target.repaint();
    target.clearText();
    return nullptr;
}

} // namespace tonvane
