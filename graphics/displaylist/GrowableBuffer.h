#pragma once
#include <cstddef>
#include <cstdint>

namespace tonvane {

// A byte buffer that grows to 2048 x floor(n / 1024) bytes for a need of n, plus 2048 when that
// is still short: about twice the need, in steps of 2 KiB. The old content is kept and the new
// tail zeroed. It never grows beyond its limit: an append that would is refused.
class GrowableBuffer {
public:
    explicit GrowableBuffer(size_t limit) : m_limit(limit) {}
    ~GrowableBuffer();
    GrowableBuffer(const GrowableBuffer&) = delete;
    GrowableBuffer& operator=(const GrowableBuffer&) = delete;

    static size_t capacityFor(size_t needed);

    // Room for `bytes` more at the end; answers the place to write them, or null when the
    // limit (or memory) does not allow it. The size grows by `bytes`.
    uint8_t* extend(size_t bytes);
    void clear() { m_size = 0; }

    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }
    size_t capacity() const { return m_capacity; }
    size_t limit() const { return m_limit; }

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    size_t m_limit;
};

} // namespace tonvane
