#include "core/foundation/Event.h"

namespace tonvane {

void Event::set()
{
    // Notify under the lock: a waiter that owns this event may destroy it as soon as it wakes.
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    m_condition.notify_one();
}

void Event::reset()
{
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

void Event::wait()
{
    std::unique_lock lock(m_mutex);
    m_condition.wait(lock, [this] { return m_signalled; });
    m_signalled = false;
}

bool Event::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_condition.wait_for(lock, timeout, [this] { return m_signalled; }))
        return false;
    m_signalled = false;
    return true;
}

bool Event::isSet() const
{
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

} // namespace tonvane
