#include "encoders/opus/OpusWriter.h"

#include "encoders/framework/QualityTable.h"
#include "encoders/vorbis/VorbisComments.h"

#include <algorithm>
#include <iterator>
#include <random>

namespace tonvane {

namespace {

constexpr int kChannels = 2;
constexpr opus_int32 kSampleRate = 44100; // [Hz] of the input; the stream itself runs at 48 kHz
constexpr int kMappingFamily = 0; // one stream, mono or stereo: the plain Ogg Opus layout
constexpr size_t kSliceFrames = 4096; // one 16384-byte chunk; larger writes go in slices
constexpr int32_t kBitsPerKilobit = 1000;

OpusWriter* writerOf(void* userData)
{
    return static_cast<OpusWriter*>(userData);
}

} // namespace

int32_t OpusWriter::bitrate(uint32_t qualityIndex)
{
    const uint32_t top = static_cast<uint32_t>(std::size(kOpusBitrates)) - 1;
    return static_cast<int32_t>(kOpusBitrates[std::min(qualityIndex, top)]) * kBitsPerKilobit;
}

OpusWriter::~OpusWriter()
{
    release();
}

bool OpusWriter::startEncoder(uint32_t quality, const TrackTags& tags, uint64_t /*totalBytes*/)
{
    if (!makeComments(tags))
        return false;
    const OpusEncCallbacks callbacks{writeCallback, closeCallback};
    int error = OPE_OK;
    m_encoder = ope_encoder_create_callbacks(&callbacks, this, m_comments, kSampleRate, kChannels, kMappingFamily,
                                             &error);
    if (!m_encoder || error != OPE_OK)
        return false;
    // libopusenc numbers its streams with rand(), which nobody seeds: every file would carry the
    // same serial, and files ripped together could not be chained or muxed.
    std::random_device entropy;
    const int serial = static_cast<int>(static_cast<uint32_t>(entropy()));
    bool set = ope_encoder_ctl(m_encoder, OPE_SET_SERIALNO(serial)) == OPE_OK;
    set = set && ope_encoder_ctl(m_encoder, OPUS_SET_BITRATE(bitrate(quality))) == OPE_OK;
    set = set && ope_encoder_ctl(m_encoder, OPUS_SET_VBR(1)) == OPE_OK;
    set = set && ope_encoder_ctl(m_encoder, OPUS_SET_VBR_CONSTRAINT(0)) == OPE_OK;
    set = set && ope_encoder_ctl(m_encoder, OPUS_SET_COMPLEXITY(kComplexity)) == OPE_OK;
    // Set although 20 ms is the default: libopusenc only then sets up all of its framing state
    // (without it, its drain reads memory it never wrote).
    set = set && ope_encoder_ctl(m_encoder, OPUS_SET_EXPERT_FRAME_DURATION(OPUS_FRAMESIZE_20_MS)) == OPE_OK;
    set = set && ope_encoder_ctl(m_encoder, OPE_SET_HEADER_GAIN(0)) == OPE_OK;
    // The headers go out now, so that a file that cannot be written fails the open.
    return set && ope_encoder_flush_header(m_encoder) == OPE_OK;
}

// The library keeps its own vendor string; ours travels as ENCODER like in the other formats.
bool OpusWriter::makeComments(const TrackTags& tags)
{
    m_comments = ope_comments_create();
    if (!m_comments)
        return false;
    for (const VorbisComment& comment : vorbisComments(tags)) {
        if (ope_comments_add(m_comments, comment.name, comment.value.c_str()) != OPE_OK)
            return false;
    }
    if (!tags.cover)
        return true;
    // Ogg has no picture block: the FLAC one travels base64-encoded in a comment, as in Vorbis.
    const std::string picture = base64(pictureBlock(*tags.cover));
    return ope_comments_add(m_comments, "METADATA_BLOCK_PICTURE", picture.c_str()) == OPE_OK;
}

bool OpusWriter::encodeBytes(const uint8_t* pcm, size_t bytes)
{
    return m_carry.feed(pcm, bytes, kSliceFrames, [this](const uint8_t* frames, size_t count) {
        return encode(frames, count);
    });
}

// Little-endian bytes to native samples on the stack (the chunk may be unaligned), then to the
// library, which converts, resamples and encodes whatever whole Opus frames it holds.
bool OpusWriter::encode(const uint8_t* pcm, size_t frames)
{
    opus_int16 samples[kSliceFrames * kChannels];
    const size_t count = frames * kChannels;
    for (size_t i = 0; i < count; ++i, pcm += 2)
        samples[i] = static_cast<opus_int16>(pcm[0] | pcm[1] << 8);
    if (ope_encoder_write(m_encoder, samples, static_cast<int>(frames)) != OPE_OK) {
        fail();
        return false;
    }
    return encoding();
}

void OpusWriter::flushEncoder()
{
    // Bytes of a frame that never completed are not audio; the file would miss them.
    if (m_carry.holdsPartialFrame())
        fail();
    // libopusenc readies its look-ahead buffer for the drain only in a write: a track that never
    // wrote a sample (empty, or cancelled before its audio came) would be drained from memory it
    // never set, and the library then asserts and ends the process. An empty write readies it.
    const opus_int16 none[kChannels] = {};
    if (ope_encoder_write(m_encoder, none, 0) != OPE_OK)
        fail();
    // Encodes the padded last frame and writes the final page with the end-of-stream mark and
    // the granule position that trims the padding away.
    if (ope_encoder_drain(m_encoder) != OPE_OK)
        fail();
}

void OpusWriter::releaseEncoder()
{
    if (m_encoder) {
        ope_encoder_destroy(m_encoder);
        m_encoder = nullptr;
    }
    if (m_comments) {
        ope_comments_destroy(m_comments);
        m_comments = nullptr;
    }
    m_carry.clear();
}

int OpusWriter::writeCallback(void* userData, const unsigned char* bytes, opus_int32 length)
{
    if (length < 0) {
        writerOf(userData)->fail();
        return 1;
    }
    return writerOf(userData)->writeFile(bytes, static_cast<size_t>(length)) ? 0 : 1;
}

// The file belongs to the writer, which flushes, syncs and closes it after the library is gone.
int OpusWriter::closeCallback(void* /*userData*/)
{
    return 0;
}

} // namespace tonvane
