#pragma once
#include <cstddef>

namespace tonvane {

// Pins memory against paging (mlock). When the lock limit refuses it, the soft RLIMIT_MEMLOCK is
// raised towards the hard limit and the lock tried again. Answers whether the memory is pinned;
// callers work either way.
bool pinMemory(void* address, size_t bytes);
void unpinMemory(void* address, size_t bytes);

} // namespace tonvane
