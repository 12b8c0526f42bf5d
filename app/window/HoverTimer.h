#pragma once
#include "core/foundation/ErrorCode.h"
#include "core/foundation/Event.h"
#include "core/foundation/Thread.h"
#include "windowing/message/Message.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace tonvane {

class UiThread;

// A delayed step of a popup menu: a thread waits on its stop event for the delay and, unless
// stopped meanwhile, posts the step to the window's thread (the invoke message). stop() sets the
// event and joins, so no step is posted once it has returned; the destructor stops.
class HoverTimer {
public:
    HoverTimer() = default;
    ~HoverTimer() { stop(); }
    HoverTimer(const HoverTimer&) = delete;
    HoverTimer& operator=(const HoverTimer&) = delete;

    // Starts the wait anew (a wait under way is stopped first). The error when no thread could
    // be started: the step then never comes.
    ErrorCode start(UiThread& ui, WindowId window, uint32_t delayMs, std::function<void()> step);
    void stop();
    // Started, and neither posted nor stopped yet.
    bool waiting() const { return m_waiting.load(); }

private:
    static void* run(void* self);

    UiThread* m_ui = nullptr;
    WindowId m_window = kNoWindow;
    uint32_t m_delayMs = 0;
    std::function<void()> m_step;
    std::atomic<bool> m_waiting{false};
    Event m_stop;
    Thread m_thread;
};

} // namespace tonvane
