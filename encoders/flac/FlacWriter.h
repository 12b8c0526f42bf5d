#pragma once
#include "encoders/framework/CompressingWriter.h"
#include "encoders/framework/SampleFrameCarry.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>


namespace tonvane {

// FLAC output: the libFLAC stream encoder with verification, compression level = the quality
// index, a VORBIS_COMMENT block with the track's texts, a PICTURE block with the front cover when
// the tags carry one, and a 1234-byte PADDING block. The library
// writes, seeks and tells through our callbacks on the file, and returns to the start at finish to
// complete STREAMINFO (sample count, MD5) from what was really encoded.
class FlacWriter final : public CompressingWriter {
public:
    static constexpr uint32_t kPaddingBytes = 1234; // [bytes] PADDING block length
    static constexpr uint32_t kMaxLevel = 8; // libFLAC's highest compression level

    FlacWriter() = default;
    ~FlacWriter() override;

private:
    enum { kComments, kPicture, kPadding, kMetadataCount };

    bool startEncoder(uint32_t quality, const TrackTags& tags, uint64_t totalBytes) override;
    bool encodeBytes(const uint8_t* pcm, size_t bytes) override;
    void flushEncoder() override;
    // Deleting an encoder that was not finished finishes it, through our callbacks: the file is
    // still open then, so the write lands (or fails) properly.
    void releaseEncoder() override;

    bool makeMetadata(const TrackTags& tags);
    bool makePicture(const CoverPicture& cover);
    bool encode(const uint8_t* pcm, size_t frames);

    static FLAC__StreamEncoderWriteStatus writeCallback(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                        size_t bytes, uint32_t samples, uint32_t currentFrame,
                                                        void* clientData);
    static FLAC__StreamEncoderSeekStatus seekCallback(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                                      void* clientData);
    static FLAC__StreamEncoderTellStatus tellCallback(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                                      void* clientData);

    FLAC__StreamEncoder* m_encoder = nullptr;
    FLAC__StreamMetadata* m_metadata[kMetadataCount] = {};
    SampleFrameCarry m_carry;
};

} // namespace tonvane
