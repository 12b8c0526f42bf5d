#pragma once
#include <atomic>
#include <cstdint>

namespace tonvane {

// Ends the rip thread's rotation pause early when an encoder has read its stream empty: that
// lane may now take its next track, or must be filled before its encoder starves. Any number of
// streams notify one waiting rip thread; a notification between count() and waitFor() is not
// lost.
class DrainSignal {
public:
    uint32_t count() const { return m_count.load(std::memory_order_acquire); }
    void notify();
    // Sleeps at most timeoutMs unless notify() was called since count() answered seen; true when
    // a notification came.
    bool waitFor(uint32_t seen, uint32_t timeoutMs);

private:
    std::atomic<uint32_t> m_count{0}; // futex word
    std::atomic<uint32_t> m_sleepers{0};
};

} // namespace tonvane
