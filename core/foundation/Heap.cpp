#include "core/foundation/Heap.h"

#include <cstdlib>
#include <unistd.h>

namespace tonvane {

namespace {
[[noreturn]] void outOfMemory()
{
    static const char message[] = "Error: out of memory\n";
    ssize_t ignored = ::write(2, message, sizeof message - 1);
    (void)ignored;
    std::abort();
}
} // namespace

void* allocate(size_t bytes)
{
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (!block)
        outOfMemory();
    return block;
}

void* reallocate(void* block, size_t bytes)
{
    void* grown = std::realloc(block, bytes == 0 ? 1 : bytes);
    if (!grown)
        outOfMemory();
    return grown;
}

void* tryAllocate(size_t bytes)
{
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void release(void* block)
{
    std::free(block);
}

} // namespace tonvane
