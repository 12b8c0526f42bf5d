#include "core/foundation/Thread.h"

#include <sched.h>

namespace tonvane {

Thread& Thread::operator=(Thread&& other) noexcept
{
    if (this != &other) {
        join();
        m_handle = other.m_handle;
        m_running = other.m_running;
        other.m_running = false;
    }
    return *this;
}

void Thread::join()
{
    if (m_running) {
        pthread_join(m_handle, nullptr);
        m_running = false;
    }
}

bool Thread::tryJoin()
{
    if (m_running && pthread_tryjoin_np(m_handle, nullptr) == 0)
        m_running = false;
    return !m_running;
}

void Thread::detach()
{
    if (m_running) {
        pthread_detach(m_handle);
        m_running = false;
    }
}

ErrorCode startThread(Thread& out, void* (*routine)(void*), void* parameter, size_t stackSize)
{
    out.join();
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize != 0)
        pthread_attr_setstacksize(&attributes, stackSize);
    pthread_t handle;
    int error = pthread_create(&handle, &attributes, routine, parameter);
    pthread_attr_destroy(&attributes);
    if (error != 0)
        return errorFromSystem(static_cast<uint32_t>(error));
    out.m_handle = handle;
    out.m_running = true;
    return kSuccess;
}

int allowedProcessor(unsigned ordinal)
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0)
        return kNoProcessor;
    int count = CPU_COUNT(&allowed);
    if (count == 0)
        return kNoProcessor;
    int wanted = static_cast<int>(ordinal % static_cast<unsigned>(count));
    for (int processor = 0; processor < CPU_SETSIZE; ++processor) {
        if (CPU_ISSET(processor, &allowed) && wanted-- == 0)
            return processor;
    }
    return kNoProcessor;
}

bool pinThisThread(int processor)
{
    if (processor < 0 || processor >= CPU_SETSIZE)
        return false;
    cpu_set_t only;
    CPU_ZERO(&only);
    CPU_SET(processor, &only);
    return pthread_setaffinity_np(pthread_self(), sizeof only, &only) == 0;
}

void nameThisThread(const char* name)
{
    char kept[16] = {};
    for (size_t i = 0; i + 1 < sizeof kept && name[i] != '\0'; ++i)
        kept[i] = name[i];
    pthread_setname_np(pthread_self(), kept);
}

int currentProcessor()
{
    int processor = sched_getcpu();
    return processor < 0 ? kNoProcessor : processor;
}

} // namespace tonvane
