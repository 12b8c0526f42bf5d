#include "cdrom/rip/EncoderPool.h"

#include "cdrom/rip/DrainSignal.h"

#include <algorithm>

namespace tonvane {

EncoderPool::EncoderPool(int32_t tokens) : m_tokens(std::max<int32_t>(tokens, 1)) {}

EncoderPool::~EncoderPool()
{
    std::unique_lock lock(m_mutex);
    m_left.wait(lock, [this] { return m_members.empty(); });
}

EncoderPool::Counts EncoderPool::counts() const
{
    std::lock_guard lock(m_mutex);
    Counts counts;
    counts.tokens = m_tokens;
    counts.inUse = m_inUse;
    counts.highWater = m_highWater;
    counts.members = static_cast<int32_t>(m_members.size());
    for (const Member* member : m_members)
        counts.waiting += member->m_waitingSince != 0 ? 1 : 0;
    return counts;
}

void EncoderPool::wakeWaiters()
{
    for (Member* member : m_members)
        if (member->m_waitingSince != 0)
            member->m_wake.notify();
}

// Waiting members with a better claim: fewer tokens, or as many and refused earlier.
int32_t EncoderPool::membersAhead(const Member& member) const
{
    int32_t ahead = 0;
    for (const Member* other : m_members) {
        if (other == &member || other->m_waitingSince == 0)
            continue;
        bool earlier = member.m_waitingSince == 0 || other->m_waitingSince < member.m_waitingSince;
        if (other->m_held < member.m_held || (other->m_held == member.m_held && earlier))
            ++ahead;
    }
    return ahead;
}

EncoderPool::Member::Member(EncoderPool& pool, DrainSignal& wake) : m_pool(pool), m_wake(wake)
{
    std::lock_guard lock(m_pool.m_mutex);
    m_pool.m_members.push_back(this);
}

EncoderPool::Member::~Member()
{
    std::lock_guard lock(m_pool.m_mutex);
    m_pool.m_inUse -= m_held;
    m_held = 0;
    std::erase(m_pool.m_members, this);
    m_pool.wakeWaiters();
    m_pool.m_left.notify_all();
}

bool EncoderPool::Member::tryAcquire()
{
    std::lock_guard lock(m_pool.m_mutex);
    int32_t free = m_pool.m_tokens - m_pool.m_inUse;
    if (free <= 0 || m_pool.membersAhead(*this) >= free) {
        if (m_waitingSince == 0)
            m_waitingSince = m_pool.m_nextTicket++;
        return false;
    }
    m_waitingSince = 0;
    ++m_held;
    ++m_pool.m_inUse;
    m_pool.m_highWater = std::max(m_pool.m_highWater, m_pool.m_inUse);
    return true;
}

void EncoderPool::Member::release()
{
    std::lock_guard lock(m_pool.m_mutex);
    if (m_held == 0)
        return;
    --m_held;
    --m_pool.m_inUse;
    m_pool.wakeWaiters();
}

void EncoderPool::Member::withdraw()
{
    if (m_waitingSince == 0) // only the owner changes it
        return;
    std::lock_guard lock(m_pool.m_mutex);
    m_waitingSince = 0;
    // A member that waited behind this one may now take a free token.
    m_pool.wakeWaiters();
}

bool EncoderPool::Member::shouldYield() const
{
    std::lock_guard lock(m_pool.m_mutex);
    for (const Member* other : m_pool.m_members)
        if (other != this && other->m_waitingSince != 0 && other->m_held < m_held)
            return true;
    return false;
}

} // namespace tonvane
