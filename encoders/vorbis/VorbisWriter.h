#pragma once
#include "encoders/framework/CompressingWriter.h"
#include "encoders/framework/SampleFrameCarry.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>


namespace tonvane {

// Ogg Vorbis output: libvorbis in variable-bitrate quality mode (index / 10, at most 1.0), the
// track's texts as Vorbis comments, the three header packets flushed onto pages of their own so
// that the audio starts on a fresh page, and Ogg pages written straight to the file.
class VorbisWriter final : public CompressingWriter {
public:
    static constexpr uint32_t kTopQualityIndex = 10; // quality 1.0, libvorbis's top

    VorbisWriter() = default;
    ~VorbisWriter() override;

    // The base quality handed to libvorbis for a quality index.
    static float baseQuality(uint32_t qualityIndex);

private:
    bool startEncoder(uint32_t quality, const TrackTags& tags, uint64_t totalBytes) override;
    bool encodeBytes(const uint8_t* pcm, size_t bytes) override;
    void flushEncoder() override;
    void releaseEncoder() override;

    // How far the library objects have been set up, so release() clears exactly those.
    enum class Setup { None, Stream, Analysis };

    bool writeHeaders(const TrackTags& tags);
    void analyse(const uint8_t* pcm, size_t frames);
    void drain();
    bool writePage(const ogg_page& page);

    Setup m_setup = Setup::None;
    ogg_stream_state m_stream{};
    ogg_page m_page{};
    ogg_packet m_packet{};
    vorbis_info m_info{};
    vorbis_dsp_state m_dsp{};
    vorbis_block m_block{};
    SampleFrameCarry m_carry;
};

} // namespace tonvane
