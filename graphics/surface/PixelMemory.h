#pragma once
#include "graphics/surface/PixelAllocator.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace tonvane {

// Zeroed, page-aligned pixel memory from an allocator, by default locked into physical memory so
// that the frame buffer is never paged out.
class PixelMemory {
public:
    explicit PixelMemory(PixelAllocator& allocator = PixelAllocator::lockedMemory()) : m_allocator(&allocator) {}
    ~PixelMemory() { free(); }
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;

    // Replaces the memory with `bytes` zeroed bytes; false (and nothing held) on failure.
    bool allocate(size_t bytes);
    void free();
    void swap(PixelMemory& other)
    {
        std::swap(m_words, other.m_words);
        std::swap(m_bytes, other.m_bytes);
        std::swap(m_locked, other.m_locked);
        std::swap(m_allocator, other.m_allocator);
    }

    uint32_t* words() const { return m_words; }
    size_t bytes() const { return m_bytes; }
    bool locked() const { return m_locked; }
    PixelAllocator& allocator() const { return *m_allocator; }

private:
    PixelAllocator* m_allocator;
    uint32_t* m_words = nullptr;
    size_t m_bytes = 0;
    bool m_locked = false;
};

} // namespace tonvane
