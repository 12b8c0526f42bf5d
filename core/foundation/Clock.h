#pragma once
#include <cstdint>

namespace tonvane {

// Milliseconds of CLOCK_MONOTONIC: the tick count the timing rules of the program use.
uint64_t tickCountMs();
// Nanoseconds of CLOCK_MONOTONIC, for rates and benchmarks.
uint64_t monotonicNs();
void sleepMs(uint32_t milliseconds);
// Yields the processor to another ready thread.
void yieldProcessor();
// Processors the calling thread may run on (its affinity mask); at least 1.
unsigned processorCount();

} // namespace tonvane
