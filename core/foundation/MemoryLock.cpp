#include "core/foundation/MemoryLock.h"

#include <initializer_list>
#include <sys/mman.h>
#include <sys/resource.h>

namespace tonvane {

bool pinMemory(void* address, size_t bytes)
{
    if (::mlock(address, bytes) == 0)
        return true;
    // Two more tries, each after asking for a larger soft limit (twice, then four times the
    // block on top of what is locked already), never above the hard limit.
    for (rlim_t factor : {rlim_t{2}, rlim_t{4}}) {
        rlimit limit{};
        if (::getrlimit(RLIMIT_MEMLOCK, &limit) != 0)
            return false;
        rlim_t wanted = limit.rlim_cur + factor * bytes;
        if (limit.rlim_max != RLIM_INFINITY && wanted > limit.rlim_max)
            wanted = limit.rlim_max;
        if (wanted <= limit.rlim_cur)
            return false;
        limit.rlim_cur = wanted;
        if (::setrlimit(RLIMIT_MEMLOCK, &limit) != 0)
            return false;
        if (::mlock(address, bytes) == 0)
            return true;
    }
    return false;
}

void unpinMemory(void* address, size_t bytes)
{
    ::munlock(address, bytes);
}

} // namespace tonvane
