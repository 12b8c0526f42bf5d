#include "graphics/surface/PixelMemory.h"

#include <algorithm>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tonvane {

namespace {

// Locks the memory; on refusal raises the soft limit by n (starting at the byte count and
// doubling, up to four times the byte count) towards the hard limit and retries.
bool lockMemory(void* address, size_t bytes)
{
    if (mlock(address, bytes) == 0)
        return true;
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    for (size_t n = bytes; n <= 4 * bytes; n *= 2) {
        rlimit limit{};
        if (getrlimit(RLIMIT_MEMLOCK, &limit) != 0)
            return false;
        if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= limit.rlim_max)
            return false;
        rlim_t wanted = limit.rlim_cur + static_cast<rlim_t>(page * (n / page + 1));
        limit.rlim_cur = std::min(wanted, limit.rlim_max);
        if (setrlimit(RLIMIT_MEMLOCK, &limit) != 0)
            return false;
        if (mlock(address, bytes) == 0)
            return true;
    }
    return false;
}

} // namespace

namespace {

// When mlock is refused the soft RLIMIT_MEMLOCK is raised towards the hard limit and the lock
// retried; a memory that stays unlocked is used all the same.
class LockedMemory final : public PixelAllocator {
public:
    void* allocate(size_t bytes, bool& locked) override
    {
        locked = false;
        void* address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (address == MAP_FAILED)
            return nullptr;
        locked = lockMemory(address, bytes);
        return address;
    }

    void release(void* memory, size_t bytes, bool locked) override
    {
        if (locked)
            munlock(memory, bytes);
        munmap(memory, bytes);
    }
};

} // namespace

PixelAllocator& PixelAllocator::lockedMemory()
{
    static LockedMemory allocator;
    return allocator;
}

bool PixelMemory::allocate(size_t bytes)
{
    free();
    if (bytes == 0)
        return false;
    bool locked = false;
    void* address = m_allocator->allocate(bytes, locked);
    if (address == nullptr)
        return false;
    m_words = static_cast<uint32_t*>(address);
    m_bytes = bytes;
    m_locked = locked;
    return true;
}

void PixelMemory::free()
{
    if (m_words == nullptr)
        return;
    m_allocator->release(m_words, m_bytes, m_locked);
    m_words = nullptr;
    m_bytes = 0;
    m_locked = false;
}

} // namespace tonvane
