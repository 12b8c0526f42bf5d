#include "core/foundation/Event.h"

#include "core/foundation/Clock.h"
#include "core/foundation/Futex.h"

#include <limits>

namespace tonvane {

namespace {
constexpr uint32_t kSignalled = 1;
constexpr uint32_t kOneWaiter = 2;
constexpr uint64_t kNsPerMs = 1000000;
constexpr uint64_t kNoDeadline = std::numeric_limits<uint64_t>::max();
constexpr int kPausesPerClockRead = 32;

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
    // One read-modify-write, then only the word's address: a waiter that owns this event may
    // destroy it as soon as it sees the flag.
    uint32_t before = m_word.fetch_or(kSignalled, std::memory_order_acq_rel);
    if (before >= kOneWaiter)
        futexWakeOne(m_word);
}

void Event::reset()
{
    m_word.fetch_and(~kSignalled, std::memory_order_acq_rel);
}

void Event::wait()
{
    waitUntil(kNoDeadline);
}

void Event::spinThenWait(uint64_t spinNs)
{
    uint64_t end = monotonicNs() + spinNs;
    do {
        for (int i = 0; i < kPausesPerClockRead; ++i) {
            if (tryConsume())
                return;
            pauseProcessor();
        }
    } while (monotonicNs() < end);
    wait();
}

bool Event::tryConsume()
{
    uint32_t word = m_word.load(std::memory_order_relaxed);
    while (word & kSignalled) {
        if (m_word.compare_exchange_weak(word, word & ~kSignalled, std::memory_order_acq_rel))
            return true;
    }
    return false;
}

bool Event::waitFor(std::chrono::milliseconds timeout)
{
    uint64_t ms = timeout.count() < 0 ? 0 : static_cast<uint64_t>(timeout.count());
    uint64_t now = monotonicNs();
    if (ms >= (kNoDeadline - now) / kNsPerMs)
        return waitUntil(kNoDeadline); // beyond any clock this program will see
    return waitUntil(now + ms * kNsPerMs);
}

bool Event::waitUntil(uint64_t deadlineNs)
{
    uint32_t word = m_word.load(std::memory_order_acquire);
    for (;;) {
        if (word & kSignalled) {
            if (m_word.compare_exchange_weak(word, word & ~kSignalled, std::memory_order_acq_rel))
                return true;
            continue;
        }
        uint64_t now = monotonicNs();
        if (now >= deadlineNs)
            return false;
        if (!m_word.compare_exchange_weak(word, word + kOneWaiter, std::memory_order_acq_rel))
            continue;
        futexWaitNs(m_word, word + kOneWaiter, deadlineNs == kNoDeadline ? 0 : deadlineNs - now);
        word = m_word.fetch_sub(kOneWaiter, std::memory_order_acq_rel) - kOneWaiter;
    }
}

bool Event::isSet() const
{
    return (m_word.load(std::memory_order_acquire) & kSignalled) != 0;
}

} // namespace tonvane
