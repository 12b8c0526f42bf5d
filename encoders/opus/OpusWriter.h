#pragma once
#include "encoders/framework/CompressingWriter.h"
#include "encoders/framework/SampleFrameCarry.h"

#include <opusenc.h>

namespace tonvane {

// Ogg Opus output through libopusenc: 44.1 kHz stereo in (the library resamples to Opus's
// 48 kHz and records 44100 as the input rate), VBR at the quality index's bitrate, complexity 10,
// the track's texts as Vorbis comments in OpusTags and the cover as a base64
// METADATA_BLOCK_PICTURE comment. Output gain stays 0: loudness tags are written separately.
// The library writes its Ogg pages through our callback on the file.
class OpusWriter final : public CompressingWriter {
public:
    static constexpr int kComplexity = 10; // the encoder's slowest, best mode (opusenc's default)

    OpusWriter() = default;
    ~OpusWriter() override;

    // The VBR target [bit/s] of a quality index; the top one for an index past the list.
    static int32_t bitrate(uint32_t qualityIndex);

private:
    bool startEncoder(uint32_t quality, const TrackTags& tags, uint64_t totalBytes) override;
    bool encodeBytes(const uint8_t* pcm, size_t bytes) override;
    void flushEncoder() override;
    void releaseEncoder() override;

    bool makeComments(const TrackTags& tags);
    bool encode(const uint8_t* pcm, size_t frames);

    static int writeCallback(void* userData, const unsigned char* bytes, opus_int32 length);
    static int closeCallback(void* userData);

    OggOpusComments* m_comments = nullptr;
    OggOpusEnc* m_encoder = nullptr;
    SampleFrameCarry m_carry;
};

} // namespace tonvane
