#pragma once
#include "encoders/FormatWriter.h"
#include "encoders/framework/SampleFrameCarry.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <cstdio>

namespace tonvane {

// FLAC output: the libFLAC stream encoder with verification, compression level = the quality
// index, a VORBIS_COMMENT block with the track's texts and a 1234-byte PADDING block. The library
// writes, seeks and tells through our callbacks on the file, and returns to the start at finish to
// complete STREAMINFO (sample count, MD5) from what was really encoded.
class FlacWriter final : public FormatWriter {
public:
    static constexpr uint32_t kPaddingBytes = 1234; // [bytes] PADDING block length
    static constexpr uint32_t kMaxLevel = 8; // libFLAC's highest compression level

    FlacWriter() = default;
    ~FlacWriter() override;
    FlacWriter(const FlacWriter&) = delete;
    FlacWriter& operator=(const FlacWriter&) = delete;

    bool open(std::u16string_view path, uint32_t quality, const TrackTags& tags, uint64_t totalBytes) override;
    bool write(const uint8_t* pcm, size_t bytes) override;
    bool finish() override;

private:
    enum class State { Closed, Encoding, Failed };
    enum { kComments, kPadding, kMetadataCount };

    bool makeMetadata(const TrackTags& tags);
    bool encode(const uint8_t* pcm, size_t frames);
    void fail();
    bool release();

    static FLAC__StreamEncoderWriteStatus writeCallback(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                        size_t bytes, uint32_t samples, uint32_t currentFrame,
                                                        void* clientData);
    static FLAC__StreamEncoderSeekStatus seekCallback(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                                      void* clientData);
    static FLAC__StreamEncoderTellStatus tellCallback(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                                      void* clientData);

    State m_state = State::Closed;
    std::FILE* m_file = nullptr;
    FLAC__StreamEncoder* m_encoder = nullptr;
    FLAC__StreamMetadata* m_metadata[kMetadataCount] = {};
    SampleFrameCarry m_carry;
};

} // namespace tonvane
