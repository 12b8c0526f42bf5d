#include "core/foundation/Futex.h"

#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tonvane {

namespace {
constexpr uint64_t kNsPerSecond = 1000000000u;

void wake(std::atomic<uint32_t>& word, int count)
{
    ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, count, nullptr, nullptr, 0);
}
} // namespace

void futexWait(std::atomic<uint32_t>& word, uint32_t expected, uint32_t timeoutMs)
{
    futexWaitNs(word, expected, timeoutMs == 0 ? 1 : uint64_t{timeoutMs} * 1000000u);
}

void futexWaitNs(std::atomic<uint32_t>& word, uint32_t expected, uint64_t timeoutNs)
{
    timespec timeout{static_cast<time_t>(timeoutNs / kNsPerSecond), static_cast<long>(timeoutNs % kNsPerSecond)};
    ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected,
              timeoutNs == 0 ? nullptr : &timeout, nullptr, 0);
}

void futexWakeAll(std::atomic<uint32_t>& word)
{
    wake(word, INT_MAX);
}

void futexWakeOne(std::atomic<uint32_t>& word)
{
    wake(word, 1);
}

} // namespace tonvane
