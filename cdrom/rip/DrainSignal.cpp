#include "cdrom/rip/DrainSignal.h"

#include "core/foundation/Clock.h"
#include "core/foundation/Futex.h"

namespace tonvane {

void DrainSignal::notify()
{
    m_count.fetch_add(1, std::memory_order_seq_cst);
    if (m_sleepers.load(std::memory_order_seq_cst) != 0)
        futexWakeAll(m_count);
}

bool DrainSignal::waitFor(uint32_t seen, uint32_t timeoutMs)
{
    const uint64_t deadline = tickCountMs() + timeoutMs;
    m_sleepers.fetch_add(1, std::memory_order_seq_cst);
    // The futex returns at once when the count moved on; a signal or spurious wake-up sleeps
    // again for the rest of the time.
    for (uint64_t now = tickCountMs(); m_count.load(std::memory_order_seq_cst) == seen && now < deadline;
         now = tickCountMs())
        futexWait(m_count, seen, static_cast<uint32_t>(deadline - now));
    m_sleepers.fetch_sub(1, std::memory_order_seq_cst);
    return m_count.load(std::memory_order_acquire) != seen;
}

} // namespace tonvane
