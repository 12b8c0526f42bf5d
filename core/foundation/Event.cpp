#include "core/foundation/Event.h"

#include "core/foundation/Clock.h"

namespace tonvane {

namespace {

constexpr int kPausesPerClockRead = 32;
// Longer than any wait this program means to end (a century).
constexpr std::chrono::milliseconds kForever = std::chrono::hours(24 * 365 * 100);

void pauseProcessor()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

} // namespace

void Event::set()
{
    // Notify under the lock: a waiter that owns this event may destroy it as soon as it wakes.
    std::lock_guard lock(m_mutex);
    m_signalled.store(true, std::memory_order_relaxed);
    m_condition.notify_one();
}

void Event::reset()
{
    std::lock_guard lock(m_mutex);
    m_signalled.store(false, std::memory_order_relaxed);
}

void Event::wait()
{
    std::unique_lock lock(m_mutex);
    m_condition.wait(lock, [this] { return m_signalled.load(std::memory_order_relaxed); });
    m_signalled.store(false, std::memory_order_relaxed);
}

void Event::spinThenWait(uint64_t spinNs)
{
    // The flag is only watched here; wait() takes the lock and consumes it, after set() has
    // let go of the lock.
    uint64_t end = monotonicNs() + spinNs;
    do {
        for (int i = 0; i < kPausesPerClockRead; ++i) {
            if (m_signalled.load(std::memory_order_relaxed)) {
                wait();
                return;
            }
            pauseProcessor();
        }
    } while (monotonicNs() < end);
    wait();
}

bool Event::waitFor(std::chrono::milliseconds timeout)
{
    // The condition variable adds the time-out to the clock's reading: a time-out near the
    // type's limit would overflow and end the wait at once.
    if (timeout >= kForever) {
        wait();
        return true;
    }
    std::unique_lock lock(m_mutex);
    if (!m_condition.wait_for(lock, timeout, [this] { return m_signalled.load(std::memory_order_relaxed); }))
        return false;
    m_signalled.store(false, std::memory_order_relaxed);
    return true;
}

bool Event::isSet() const
{
    std::lock_guard lock(m_mutex);
    return m_signalled.load(std::memory_order_relaxed);
}

} // namespace tonvane
