#pragma once
#include "encoders/FormatWriter.h"
#include "encoders/mp3/BladeEncoder.h"

#include <cstdio>
#include <vector>

namespace tonvane {

// MP3 output: an ID3v2.4 tag of our own, then a constant-bitrate MPEG-1 Layer III stream cut
// into the encoder's fixed blocks, the leftover of each chunk carried to the next. At finish the
// stream's first frame is replaced by the completed Info/LAME frame (frame count, gapless data).
class Mp3Writer final : public FormatWriter {
public:
    Mp3Writer() = default;
    ~Mp3Writer() override;
    Mp3Writer(const Mp3Writer&) = delete;
    Mp3Writer& operator=(const Mp3Writer&) = delete;

    // totalBytes is not needed: the Info frame is filled from what was really encoded.
    bool open(std::u16string_view path, uint32_t quality, const TrackTags& tags, uint64_t totalBytes) override;
    bool write(const uint8_t* pcm, size_t bytes) override;
    bool finish() override;

private:
    enum class State { Closed, Encoding, Failed };

    bool encodeBlock(uint32_t samples);
    bool writeFile(const uint8_t* bytes, size_t count);
    bool completeInfoFrame();
    void fail();
    // Frees the buffers, closes the stream and the file; false when closing the file failed.
    bool release();

    State m_state = State::Closed;
    std::FILE* m_file = nullptr;
    BeStream m_stream = nullptr;
    uint32_t m_samplesPerBlock = 0; // 16-bit values, both channels
    uint32_t m_outputBufferSize = 0; // [bytes]
    uint64_t m_audioStart = 0; // [bytes] file offset of the first frame = the tag's length
    std::vector<uint8_t> m_output;
    std::vector<int16_t> m_block; // twice one block; the first pending bytes wait for more input
    size_t m_pending = 0; // [bytes]
};

} // namespace tonvane
