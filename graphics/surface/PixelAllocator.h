#pragma once
#include <cstddef>

namespace tonvane {

// Where a surface's pixel memory comes from: by default page-aligned memory locked into
// physical memory; a window backend may hand out memory the display server can read directly
// (a shared-memory segment).
class PixelAllocator {
public:
    virtual ~PixelAllocator() = default;
    // bytes zeroed bytes, page-aligned; null when refused. locked tells whether the memory is
    // kept in physical memory.
    virtual void* allocate(size_t bytes, bool& locked) = 0;
    virtual void release(void* memory, size_t bytes, bool locked) = 0;

    // Anonymous memory, locked with mlock (the soft limit raised when refused).
    static PixelAllocator& lockedMemory();
};

} // namespace tonvane
