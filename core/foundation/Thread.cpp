#include "core/foundation/Thread.h"

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

} // namespace tonvane
