#include "cdrom/rip/AudioStream.h"

#include "cdrom/rip/DrainSignal.h"
#include "core/foundation/Futex.h"
#include "core/foundation/Heap.h"
#include "core/foundation/MemoryLock.h"

#include <cstring>

namespace tonvane {


bool AudioStream::allocate()
{
    release();
    m_written.store(0, std::memory_order_relaxed);
    m_read.store(0, std::memory_order_relaxed);
    m_buffer = static_cast<uint8_t*>(tryAllocate(kCapacity));
    if (!m_buffer)
        return false;
    m_capacity = kCapacity;
    m_locked = pinMemory(m_buffer, m_capacity);
    return true;
}

void AudioStream::release()
{
    if (!m_buffer)
        return;
    if (m_locked)
        unpinMemory(m_buffer, m_capacity);
    tonvane::release(m_buffer);
    m_buffer = nullptr;
    m_capacity = 0;
    m_locked = false;
    m_written.store(0, std::memory_order_relaxed);
    m_read.store(0, std::memory_order_relaxed);
}

uint64_t AudioStream::freeSpace() const
{
    return m_capacity + m_read.load(std::memory_order_acquire) - m_written.load(std::memory_order_acquire);
}

uint64_t AudioStream::buffered() const
{
    uint64_t read = m_read.load(std::memory_order_acquire);
    return m_written.load(std::memory_order_acquire) - read;
}

void AudioStream::copyIn(uint64_t position, const uint8_t* source, size_t n)
{
    size_t offset = static_cast<size_t>(position % m_capacity);
    size_t first = n < m_capacity - offset ? n : static_cast<size_t>(m_capacity - offset);
    std::memcpy(m_buffer + offset, source, first);
    std::memcpy(m_buffer, source + first, n - first);
}

void AudioStream::copyOut(uint64_t position, uint8_t* destination, size_t n) const
{
    size_t offset = static_cast<size_t>(position % m_capacity);
    size_t first = n < m_capacity - offset ? n : static_cast<size_t>(m_capacity - offset);
    std::memcpy(destination, m_buffer + offset, first);
    std::memcpy(destination + first, m_buffer, n - first);
}

bool AudioStream::write(const uint8_t* source, size_t n)
{
    if (!m_buffer)
        return false;
    uint64_t written = m_written.load(std::memory_order_relaxed); // only we change it
    uint64_t read = m_read.load(std::memory_order_acquire); // the consumer is done with those bytes
    if (m_capacity + read - written < n)
        return false;
    copyIn(written, source, n);
    m_written.store(written + n, std::memory_order_release);
    wake();
    return true;
}

bool AudioStream::read(uint8_t* destination, size_t n)
{
    if (!m_buffer)
        return false;
    uint64_t read = m_read.load(std::memory_order_relaxed); // only we change it
    uint64_t written = m_written.load(std::memory_order_acquire); // the bytes up to here are in
    if (written - read < n)
        return false;
    copyOut(read, destination, n);
    m_read.store(read + n, std::memory_order_release);
    if (m_drainSignal && written == read + n)
        m_drainSignal->notify();
    return true;
}

void AudioStream::waitForData(size_t n, uint32_t timeoutMs)
{
    uint32_t seen = m_wakeCount.load(std::memory_order_acquire);
    if (buffered() >= n)
        return;
    m_sleepers.fetch_add(1, std::memory_order_seq_cst);
    // A write between the first load and here changed the wake count: the futex then returns
    // at once instead of sleeping through it.
    if (buffered() < n)
        futexWait(m_wakeCount, seen, timeoutMs);
    m_sleepers.fetch_sub(1, std::memory_order_seq_cst);
}

void AudioStream::wake()
{
    m_wakeCount.fetch_add(1, std::memory_order_seq_cst);
    if (m_sleepers.load(std::memory_order_seq_cst) != 0)
        futexWakeAll(m_wakeCount);
}

} // namespace tonvane
