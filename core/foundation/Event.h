#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
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
    // Watches the event for up to spinNs before sleeping on it: for a wait that is usually short
    // and whose processor has nothing else to do meanwhile (a wake from sleep costs about 10 us
    // on a virtual machine).
    void spinThenWait(uint64_t spinNs);
    // Answers true when the event was signalled within the time, false on time-out.
    bool waitFor(std::chrono::milliseconds timeout);
    bool isSet() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    // Changed only under the mutex; atomic so that spinThenWait can watch it without the lock.
    std::atomic<bool> m_signalled{false};
};

} // namespace tonvane
