#pragma once
#include "core/foundation/Event.h"
#include "windowing/message/Message.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace tonvane {

class UiThread;

// A thread that wakes at a fixed interval and runs a step on the window's thread, until
// stopped. Steps posted before the owner goes are dropped (they check a token the owner holds).
class Ticker {
public:
    Ticker() = default;
    ~Ticker() { stop(); }
    Ticker(const Ticker&) = delete;
    Ticker& operator=(const Ticker&) = delete;

    // False when already running.
    bool start(UiThread& ui, WindowId window, uint32_t intervalMs, std::function<void()> step);
    // Sets the stop event and joins the thread; steps already posted do nothing.
    void stop();
    bool running() const { return m_thread.joinable(); }

private:
    Event m_stop;
    std::thread m_thread;
    std::shared_ptr<std::function<void()>> m_step;
};

} // namespace tonvane
