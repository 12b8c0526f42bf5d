#include "encoders/flac/FlacWriter.h"

#include "core/foundation/Utf.h"
#include "encoders/vorbis/VorbisComments.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>

namespace tonvane {

namespace {

constexpr uint32_t kChannels = 2;
constexpr uint32_t kBitsPerSample = 16;
constexpr uint32_t kSampleRate = 44100; // [Hz]
constexpr size_t kFrameBytes = 4; // [bytes] one 16-bit sample per channel
constexpr size_t kSliceFrames = 4096; // one 16384-byte chunk; larger writes go in slices

FlacWriter* writerOf(void* clientData)
{
    return static_cast<FlacWriter*>(clientData);
}

} // namespace

FlacWriter::~FlacWriter()
{
    release();
}

bool FlacWriter::startEncoder(uint32_t quality, const TrackTags& tags, uint64_t totalBytes)
{
    m_encoder = FLAC__stream_encoder_new();
    if (!m_encoder)
        return false;
    bool set = FLAC__stream_encoder_set_verify(m_encoder, true);
    set = set && FLAC__stream_encoder_set_compression_level(m_encoder, std::min(quality, kMaxLevel));
    set = set && FLAC__stream_encoder_set_channels(m_encoder, kChannels);
    set = set && FLAC__stream_encoder_set_bits_per_sample(m_encoder, kBitsPerSample);
    set = set && FLAC__stream_encoder_set_sample_rate(m_encoder, kSampleRate);
    set = set && FLAC__stream_encoder_set_total_samples_estimate(m_encoder, totalBytes / kFrameBytes);
    if (!set || !makeMetadata(tags))
        return false;
    FLAC__StreamMetadata* blocks[kMetadataCount] = {};
    uint32_t count = 0;
    for (FLAC__StreamMetadata* block : m_metadata) {
        if (block)
            blocks[count++] = block;
    }
    if (!FLAC__stream_encoder_set_metadata(m_encoder, blocks, count))
        return false;
    // init writes the stream marker and the metadata through the callbacks, which fail() us.
    return FLAC__stream_encoder_init_stream(m_encoder, writeCallback, seekCallback, tellCallback, nullptr, this) ==
           FLAC__STREAM_ENCODER_INIT_STATUS_OK;
}

bool FlacWriter::makeMetadata(const TrackTags& tags)
{
    m_metadata[kComments] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    m_metadata[kPadding] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    if (!m_metadata[kComments] || !m_metadata[kPadding])
        return false;
    for (const VorbisComment& comment : vorbisComments(tags)) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, comment.name,
                                                                             comment.value.c_str()))
            return false;
        // Appended without copying: the comment object takes over the entry's memory.
        if (!FLAC__metadata_object_vorbiscomment_append_comment(m_metadata[kComments], entry, false)) {
            std::free(entry.entry);
            return false;
        }
    }
    m_metadata[kPadding]->length = kPaddingBytes;
    return !tags.cover || makePicture(*tags.cover);
}

bool FlacWriter::makePicture(const CoverPicture& cover)
{
    FLAC__StreamMetadata* picture = m_metadata[kPicture] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
    if (!picture)
        return false;
    PictureSize size = pictureSize(cover);
    picture->data.picture.type = FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;
    picture->data.picture.width = size.width;
    picture->data.picture.height = size.height;
    picture->data.picture.depth = size.depth;
    picture->data.picture.colors = 0;
    std::string mimeType = cover.mimeType;
    FLAC__byte noDescription[1] = {0};
    return FLAC__metadata_object_picture_set_mime_type(picture, mimeType.data(), true) &&
           FLAC__metadata_object_picture_set_description(picture, noDescription, true) &&
           FLAC__metadata_object_picture_set_data(picture, const_cast<FLAC__byte*>(cover.bytes.data()),
                                                  static_cast<FLAC__uint32>(cover.bytes.size()), true);
}

bool FlacWriter::encodeBytes(const uint8_t* pcm, size_t bytes)
{
    return m_carry.feed(pcm, bytes, kSliceFrames, [this](const uint8_t* frames, size_t count) {
        return encode(frames, count);
    });
}

// De-interleaves into two sign-extended 32-bit channel arrays on the stack (no allocation per
// chunk) and hands them to the encoder.
bool FlacWriter::encode(const uint8_t* pcm, size_t frames)
{
    FLAC__int32 left[kSliceFrames];
    FLAC__int32 right[kSliceFrames];
    for (size_t i = 0; i < frames; ++i, pcm += kFrameBytes) {
        left[i] = static_cast<int16_t>(pcm[0] | pcm[1] << 8);
        right[i] = static_cast<int16_t>(pcm[2] | pcm[3] << 8);
    }
    const FLAC__int32* const channels[kChannels] = {left, right};
    if (!FLAC__stream_encoder_process(m_encoder, channels, static_cast<uint32_t>(frames))) {
        fail();
        return false;
    }
    return encoding();
}

void FlacWriter::flushEncoder()
{
    // Bytes of a frame that never completed are not audio; the file would miss them.
    if (m_carry.holdsPartialFrame())
        fail();
    // Flushes the last frame, then seeks back to rewrite STREAMINFO with the real sample count
    // and MD5; false when a callback failed or verification found a mismatch.
    if (!FLAC__stream_encoder_finish(m_encoder))
        fail();
}

void FlacWriter::releaseEncoder()
{
    if (m_encoder) {
        FLAC__stream_encoder_delete(m_encoder);
        m_encoder = nullptr;
    }
    for (FLAC__StreamMetadata*& object : m_metadata) {
        if (object)
            FLAC__metadata_object_delete(object);
        object = nullptr;
    }
    m_carry.clear();
}

FLAC__StreamEncoderWriteStatus FlacWriter::writeCallback(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                         size_t bytes, uint32_t, uint32_t, void* clientData)
{
    return writerOf(clientData)->writeFile(buffer, bytes) ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                                                          : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus FlacWriter::seekCallback(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                                       void* clientData)
{
    FlacWriter* writer = writerOf(clientData);
    if (!writer->file() || offset > static_cast<FLAC__uint64>(INT64_MAX) ||
        ::fseeko(writer->file(), static_cast<off_t>(offset), SEEK_SET) != 0) {
        writer->fail();
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus FlacWriter::tellCallback(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                                       void* clientData)
{
    FlacWriter* writer = writerOf(clientData);
    const off_t position = writer->file() ? ::ftello(writer->file()) : -1;
    if (position < 0) {
        writer->fail();
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    }
    *offset = static_cast<FLAC__uint64>(position);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

} // namespace tonvane
