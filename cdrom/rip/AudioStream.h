#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tonvane {

class DrainSignal;

// Single-producer single-consumer ring of PCM bytes between the rip thread and one encoder.
// Lock-free: written is changed only by the producer, read only by the consumer; each counter
// is published with release after the bytes it covers and read with acquire by the other side.
// The counters never wrap back, so a stream can carry one track after another.
// A consumer with nothing to read can block in waitForData (a futex on a wake counter) instead of
// spinning; the producer wakes it after each write.
class AudioStream {
public:
    static constexpr uint64_t kCapacity = 0x498000; // [bytes] 2048 sectors of 2352, ~27.3 s

    AudioStream() = default;
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;
    ~AudioStream() { release(); }

    // Drops any previous storage, resets the counters, allocates and pins the storage.
    // False when the memory could not be had.
    bool allocate();
    void release();
    bool allocated() const { return m_buffer != nullptr; }
    bool pinned() const { return m_locked; }

    uint64_t freeSpace() const;
    uint64_t buffered() const;
    bool drained() const { return buffered() == 0; }
    uint64_t totalWritten() const { return m_written.load(std::memory_order_acquire); }
    uint64_t totalRead() const { return m_read.load(std::memory_order_acquire); }

    // Producer: copies n bytes in when there is room, else answers false and changes nothing.
    bool write(const uint8_t* source, size_t n);
    // Consumer: copies n bytes out when that many are buffered, else answers false and copies
    // nothing. Never blocks.
    bool read(uint8_t* destination, size_t n);

    // Consumer: blocks until at least n bytes are buffered, wake() is called, or timeoutMs pass.
    void waitForData(size_t n, uint32_t timeoutMs);
    // Wakes a consumer blocked in waitForData (after a cancel or a failed track).
    void wake();

    // Producer, before any consumer runs: signal is notified each time a read leaves the
    // stream empty. Null (the default) for none.
    void setDrainSignal(DrainSignal* signal) { m_drainSignal = signal; }

private:
    void copyIn(uint64_t position, const uint8_t* source, size_t n);
    void copyOut(uint64_t position, uint8_t* destination, size_t n) const;

    uint8_t* m_buffer = nullptr;
    uint64_t m_capacity = 0;
    alignas(64) std::atomic<uint64_t> m_written{0};
    alignas(64) std::atomic<uint64_t> m_read{0};
    alignas(64) std::atomic<uint32_t> m_wakeCount{0}; // futex word
    std::atomic<uint32_t> m_sleepers{0};
    bool m_locked = false;
    DrainSignal* m_drainSignal = nullptr;
};

} // namespace tonvane
