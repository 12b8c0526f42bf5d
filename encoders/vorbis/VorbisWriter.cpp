#include "encoders/vorbis/VorbisWriter.h"

#include "core/foundation/Utf.h"
#include "encoders/vorbis/VorbisComments.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace tonvane {

namespace {

constexpr int kChannels = 2;
constexpr long kSampleRate = 44100; // [Hz]
constexpr size_t kFrameBytes = 4; // [bytes] one 16-bit sample per channel
constexpr double kSampleScale = 1.0 / 32768.0; // 16-bit sample -> [-1, 1)
constexpr size_t kMaxSliceFrames = 1 << 20; // keeps frame counts within the library's int

int16_t sampleAt(const uint8_t* at)
{
    return static_cast<int16_t>(at[0] | at[1] << 8);
}

} // namespace

float VorbisWriter::baseQuality(uint32_t qualityIndex)
{
    // libvorbis accepts -0.1 to 1.0; the top index would ask for 1.1.
    return static_cast<float>(std::min(qualityIndex, kTopQualityIndex) / 10.0);
}

VorbisWriter::~VorbisWriter()
{
    release();
}

bool VorbisWriter::startEncoder(uint32_t quality, const TrackTags& tags, uint64_t /*totalBytes*/)
{
    // A random serial per stream: lanes start together, and files ripped at the same moment may
    // be chained or muxed later, where equal serials would make the streams one.
    std::random_device entropy;
    ogg_stream_init(&m_stream, static_cast<int>(static_cast<uint32_t>(entropy())));
    vorbis_info_init(&m_info);
    m_setup = Setup::Stream;
    if (vorbis_encode_init_vbr(&m_info, kChannels, kSampleRate, baseQuality(quality)) != 0)
        return false;
    if (vorbis_analysis_init(&m_dsp, &m_info) != 0)
        return false;
    vorbis_block_init(&m_dsp, &m_block);
    m_setup = Setup::Analysis;
    return writeHeaders(tags);
}

// Identification, comment and codebook packets, flushed so that the first audio packet starts a
// new page, as Ogg Vorbis requires.
bool VorbisWriter::writeHeaders(const TrackTags& tags)
{
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    for (const VorbisComment& entry : vorbisComments(tags))
        vorbis_comment_add_tag(&comment, entry.name, entry.value.c_str());
    if (tags.cover) {
        // Ogg has no picture block: the FLAC one travels base64-encoded in a comment.
        std::string picture = base64(pictureBlock(*tags.cover));
        vorbis_comment_add_tag(&comment, "METADATA_BLOCK_PICTURE", picture.c_str());
    }

    ogg_packet identification, commentPacket, codebooks;
    const bool made = vorbis_analysis_headerout(&m_dsp, &comment, &identification, &commentPacket, &codebooks) == 0;
    if (made) {
        ogg_stream_packetin(&m_stream, &identification);
        ogg_stream_packetin(&m_stream, &commentPacket);
        ogg_stream_packetin(&m_stream, &codebooks);
    }
    vorbis_comment_clear(&comment);
    if (!made)
        return false;
    while (ogg_stream_flush(&m_stream, &m_page) != 0) {
        if (!writePage(m_page))
            return false;
    }
    return true;
}

bool VorbisWriter::encodeBytes(const uint8_t* pcm, size_t bytes)
{
    return m_carry.feed(pcm, bytes, kMaxSliceFrames, [this](const uint8_t* frames, size_t count) {
        analyse(frames, count);
        return encoding();
    });
}

// Converts straight into the library's analysis buffer, then encodes what is ready.
void VorbisWriter::analyse(const uint8_t* pcm, size_t frames)
{
    float** buffer = vorbis_analysis_buffer(&m_dsp, static_cast<int>(frames));
    float* left = buffer[0];
    float* right = buffer[1];
    for (size_t i = 0; i < frames; ++i, pcm += kFrameBytes) {
        left[i] = static_cast<float>(sampleAt(pcm) * kSampleScale);
        right[i] = static_cast<float>(sampleAt(pcm + 2) * kSampleScale);
    }
    vorbis_analysis_wrote(&m_dsp, static_cast<int>(frames));
    drain();
}

void VorbisWriter::drain()
{
    while (vorbis_analysis_blockout(&m_dsp, &m_block) == 1) {
        vorbis_analysis(&m_block, nullptr);
        vorbis_bitrate_addblock(&m_block);
        while (vorbis_bitrate_flushpacket(&m_dsp, &m_packet) == 1) {
            ogg_stream_packetin(&m_stream, &m_packet);
            while (ogg_stream_pageout(&m_stream, &m_page) != 0) {
                writePage(m_page);
                if (ogg_page_eos(&m_page))
                    break;
            }
        }
    }
}

bool VorbisWriter::writePage(const ogg_page& page)
{
    return writeFile(page.header, static_cast<size_t>(page.header_len)) &&
           writeFile(page.body, static_cast<size_t>(page.body_len));
}

void VorbisWriter::flushEncoder()
{
    // A frame split in two never completed: its bytes were never whole audio, so they count as
    // a fault of the input rather than be padded into sound.
    if (m_carry.holdsPartialFrame())
        fail();
    vorbis_analysis_wrote(&m_dsp, 0); // end of stream: the last page gets its mark
    drain();
}

void VorbisWriter::releaseEncoder()
{
    if (m_setup != Setup::None) {
        ogg_stream_clear(&m_stream);
        if (m_setup == Setup::Analysis) {
            vorbis_block_clear(&m_block);
            vorbis_dsp_clear(&m_dsp);
        }
        vorbis_info_clear(&m_info);
        m_setup = Setup::None;
    }
    m_carry.clear();
}

} // namespace tonvane
