#pragma once
#include "core/foundation/Event.h"
#include "core/foundation/Thread.h"

#include <atomic>

namespace tonvane {

class AnimationClock;

// What the spinner animates: the spinner widget of the main window.
class SpinnerTarget {
public:
    virtual ~SpinnerTarget() = default;
    // -1 hides the spinner.
    virtual void setFrame(int frame) = 0;
    // Repaints the window (on the spinner's thread, under the window's surface lock).
    virtual void repaint() = 0;
    virtual void clearText() = 0;
};

// The busy spinner's thread: advances the frame every 41 ms until stopped, then keeps the last
// frame two seconds before hiding it (unless quit). The owner stops and joins it (the destructor
// quits and joins).
class BusySpinner {
public:
    static constexpr int kFrames = 47;
    static constexpr uint32_t kFrameMs = 41;
    static constexpr uint32_t kLingerMs = 2000;

    BusySpinner() = default;
    ~BusySpinner()
    {
        quit();
        join();
    }
    BusySpinner(const BusySpinner&) = delete;
    BusySpinner& operator=(const BusySpinner&) = delete;

    // Starts at firstFrame + 1. False when already running or the thread could not start.
    bool start(SpinnerTarget& target, AnimationClock& clock, int firstFrame = -1);
    void stop() { m_stop.set(); }
    // Stops without the linger: the spinner is hidden at once (a window closing, a disc going).
    void quit()
    {
        m_quit.store(true);
        m_stop.set();
    }
    // Waits for the thread, which ends after its linger.
    void join() { m_thread.join(); }
    bool running() const { return m_thread.joinable(); }

private:
    static void* run(void* self);

    SpinnerTarget* m_target = nullptr;
    AnimationClock* m_clock = nullptr;
    int m_frame = -1;
    Event m_stop;
    std::atomic<bool> m_quit{false};
    Thread m_thread;
};

} // namespace tonvane
