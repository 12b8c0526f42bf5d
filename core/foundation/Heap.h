#pragma once
#include <cstddef>

namespace tonvane {

// The program's own allocations. allocate/reallocate end the process with a message when the
// heap is exhausted (nothing sensible can go on); tryAllocate answers null instead and is used
// where a failure can be handled (audio stream storage, pixel memory).
void* allocate(size_t bytes);
void* reallocate(void* block, size_t bytes);
void* tryAllocate(size_t bytes);
void release(void* block);

} // namespace tonvane
