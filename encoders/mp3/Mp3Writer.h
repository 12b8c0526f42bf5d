#pragma once
#include "encoders/framework/CompressingWriter.h"
#include "encoders/mp3/BladeEncoder.h"

#include <vector>

namespace tonvane {

// MP3 output: an ID3v2.4 tag of our own, then a constant-bitrate MPEG-1 Layer III stream cut
// into the encoder's fixed blocks, the leftover of each chunk carried to the next. At finish the
// stream's first frame is replaced by the completed Info/LAME frame (frame count, gapless data).
class Mp3Writer final : public CompressingWriter {
public:
    Mp3Writer() = default;
    ~Mp3Writer() override;

private:
    // totalBytes is not needed: the Info frame is filled from what was really encoded.
    bool startEncoder(uint32_t quality, const TrackTags& tags, uint64_t totalBytes) override;
    bool encodeBytes(const uint8_t* pcm, size_t bytes) override;
    void flushEncoder() override;
    // Frees the buffers and closes the encoder stream.
    void releaseEncoder() override;

    bool encodeBlock(uint32_t samples);
    bool completeInfoFrame();

    BeStream m_stream = nullptr;
    uint32_t m_samplesPerBlock = 0; // 16-bit values, both channels
    uint32_t m_outputBufferSize = 0; // [bytes]
    uint64_t m_audioStart = 0; // [bytes] file offset of the first frame = the tag's length
    std::vector<uint8_t> m_output;
    std::vector<int16_t> m_block; // twice one block; the first pending bytes wait for more input
    size_t m_pending = 0; // [bytes]
};

} // namespace tonvane
