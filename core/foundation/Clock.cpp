#include "core/foundation/Clock.h"

#include <sched.h>
#include <thread>
#include <time.h>

namespace tonvane {

uint64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

uint64_t tickCountMs()
{
    return monotonicNs() / 1000000u;
}

void sleepMs(uint32_t milliseconds)
{
    timespec delay{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0) {
    }
}

void yieldProcessor()
{
    sched_yield();
}

unsigned processorCount()
{
    // The processors this process may run on: a container limited to 4 of 64 has 4.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        int count = CPU_COUNT(&allowed);
        if (count > 0)
            return static_cast<unsigned>(count);
    }
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

} // namespace tonvane
