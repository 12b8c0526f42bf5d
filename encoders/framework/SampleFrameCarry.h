#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tonvane {

// Cuts PCM arriving in arbitrary byte counts into whole stereo sample frames: the start of a
// frame torn between two writes is carried to the next one instead of being lost.
class SampleFrameCarry {
public:
    static constexpr size_t kFrameBytes = 4; // [bytes] 16-bit left + 16-bit right

    // Hands the whole frames of (carried bytes + pcm) to encode(frames, count) in slices of at
    // most maxFrames and keeps the rest. Stops and answers false as soon as encode does.
    template <typename Encode>
    bool feed(const uint8_t* pcm, size_t bytes, size_t maxFrames, Encode&& encode)
    {
        if (m_bytes > 0) {
            const size_t take = std::min(kFrameBytes - m_bytes, bytes);
            std::memcpy(m_partial + m_bytes, pcm, take);
            m_bytes += take;
            pcm += take;
            bytes -= take;
            if (m_bytes < kFrameBytes)
                return true;
            m_bytes = 0;
            if (!encode(static_cast<const uint8_t*>(m_partial), size_t{1}))
                return false;
        }
        for (size_t frames = bytes / kFrameBytes; frames > 0;) {
            const size_t slice = std::min(frames, maxFrames);
            if (!encode(pcm, slice))
                return false;
            pcm += slice * kFrameBytes;
            bytes -= slice * kFrameBytes;
            frames -= slice;
        }
        m_bytes = bytes;
        std::memcpy(m_partial, pcm, bytes);
        return true;
    }

    // A torn frame is left over: the audio ended inside a sample frame.
    bool holdsPartialFrame() const { return m_bytes > 0; }
    void clear() { m_bytes = 0; }

private:
    uint8_t m_partial[kFrameBytes] = {};
    size_t m_bytes = 0;
};

} // namespace tonvane
