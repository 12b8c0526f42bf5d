#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tonvane {

// Auto-reset event: set() wakes one waiter (or the next one to wait) and the event falls back
// to not signalled as that waiter returns. Starts not signalled.
class Event {
public:
    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    void wait();
    // Answers true when the event was signalled within the time, false on time-out.
    bool waitFor(std::chrono::milliseconds timeout);
    bool isSet() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_signalled = false;
};

} // namespace tonvane
