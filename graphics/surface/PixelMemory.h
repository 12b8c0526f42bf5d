#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>

namespace tonvane {

// Zeroed, page-aligned pixel memory locked into physical memory so that the frame buffer is
// never paged out. When mlock is refused the soft RLIMIT_MEMLOCK is raised towards the hard
// limit and the lock retried; a memory that stays unlocked is used all the same.
class PixelMemory {
public:
    PixelMemory() = default;
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
    }

    uint32_t* words() const { return m_words; }
    size_t bytes() const { return m_bytes; }
    bool locked() const { return m_locked; }

private:
    uint32_t* m_words = nullptr;
    size_t m_bytes = 0;
    bool m_locked = false;
};

} // namespace tonvane
