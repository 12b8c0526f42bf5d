#include "graphics/displaylist/GrowableBuffer.h"

#include "core/foundation/Heap.h"

#include <cstring>

namespace tonvane {

GrowableBuffer::~GrowableBuffer()
{
    release(m_data);
}

size_t GrowableBuffer::capacityFor(size_t needed)
{
    size_t capacity = 2048 * (needed / 1024);
    if (capacity < needed)
        capacity += 2048;
    return capacity;
}

uint8_t* GrowableBuffer::extend(size_t bytes)
{
    if (bytes > m_limit - m_size)
        return nullptr;
    size_t needed = m_size + bytes;
    if (needed > m_capacity) {
        size_t capacity = capacityFor(needed);
        auto* grown = static_cast<uint8_t*>(tryAllocate(capacity));
        if (grown == nullptr)
            return nullptr;
        if (m_size > 0)
            std::memcpy(grown, m_data, m_size);
        std::memset(grown + m_size, 0, capacity - m_size);
        release(m_data);
        m_data = grown;
        m_capacity = capacity;
    }
    uint8_t* place = m_data + m_size;
    m_size = needed;
    return place;
}

} // namespace tonvane
