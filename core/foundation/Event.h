#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

namespace tonvane {

// Auto-reset event: set() wakes one waiter (or the next one to wait) and the event falls back
// to not signalled as that waiter returns. Starts not signalled. A futex word rather than a
// mutex and condition variable: the band renderer starts and joins its workers through these
// every frame, and a woken waiter then has no lock to take again.
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
    bool waitUntil(uint64_t deadlineNs); // [ns, monotonic clock]
    bool tryConsume();
    // Bit 0: signalled. The bits above count the threads sleeping (or about to sleep) on the word.
    std::atomic<uint32_t> m_word{0};
};

} // namespace tonvane
