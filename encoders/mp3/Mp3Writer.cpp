#include "encoders/mp3/Mp3Writer.h"

#include "core/foundation/Utf.h"
#include "encoders/mp3/Id3Tag.h"

#include <cstring>
#include <string>

namespace tonvane {

Mp3Writer::~Mp3Writer()
{
    release();
}

bool Mp3Writer::startEncoder(uint32_t quality, const TrackTags& tags, uint64_t /*totalBytes*/)
{
    std::optional<std::vector<uint8_t>> tag = buildId3Tag(tags);
    if (tag)
        addId3Padding(*tag, id3::kLoudnessRoom);
    if (!tag || !writeFile(tag->data(), tag->size()))
        return false;
    m_audioStart = tag->size();

    // The quality index travels unsigned, but the stored value is signed: 0xFFFFFFFF means -1.
    const BeConfigBlock config = makeMp3Config(static_cast<int32_t>(quality));
    if (beInitStream(config, &m_samplesPerBlock, &m_outputBufferSize, &m_stream) != kBeErrSuccessful ||
        m_samplesPerBlock == 0)
        return false;
    m_output.assign(m_outputBufferSize, 0);
    m_block.assign(size_t(m_samplesPerBlock) * 2, 0);
    m_pending = 0;
    return true;
}

bool Mp3Writer::encodeBytes(const uint8_t* pcm, size_t bytes)
{
    const size_t blockBytes = size_t(m_samplesPerBlock) * sizeof(int16_t);
    auto* block = reinterpret_cast<uint8_t*>(m_block.data());
    while (m_pending + bytes >= blockBytes) {
        const size_t take = blockBytes - m_pending;
        std::memcpy(block + m_pending, pcm, take);
        pcm += take;
        bytes -= take;
        m_pending = 0;
        if (!encodeBlock(m_samplesPerBlock))
            return false;
    }
    if (bytes > 0) {
        std::memcpy(block + m_pending, pcm, bytes);
        m_pending += bytes;
    }
    return true;
}

void Mp3Writer::flushEncoder()
{
    // The last partial block; bytes of a sample frame that never completed are not audio.
    constexpr size_t kFrameBytes = 4;
    if (m_pending >= kFrameBytes)
        encodeBlock(static_cast<uint32_t>(m_pending / kFrameBytes * 2));
    if (m_pending % kFrameBytes != 0)
        fail();
    m_pending = 0;
    uint32_t produced = 0;
    if (encoding()) {
        if (beDeinitStream(m_stream, m_output.data(), &produced) != kBeErrSuccessful)
            fail();
        else if (produced > 0)
            writeFile(m_output.data(), produced);
    }
    if (encoding())
        completeInfoFrame();
}

bool Mp3Writer::encodeBlock(uint32_t samples)
{
    uint32_t produced = 0;
    if (beEncodeChunk(m_stream, samples, m_block.data(), m_output.data(), &produced) != kBeErrSuccessful) {
        fail();
        return false;
    }
    return produced == 0 || writeFile(m_output.data(), produced);
}

// The encoder reserved the stream's first frame for the Info/LAME header; now that the frame
// count, the byte count and the final padding are known, write the completed frame over it.
bool Mp3Writer::completeInfoFrame()
{
    uint32_t produced = 0;
    if (beInfoFrame(m_stream, m_output.data(), m_outputBufferSize, &produced) != kBeErrSuccessful) {
        fail();
        return false;
    }
    if (produced == 0)
        return true;
    if (::fseeko(file(), static_cast<off_t>(m_audioStart), SEEK_SET) != 0) {
        fail();
        return false;
    }
    return writeFile(m_output.data(), produced);
}

void Mp3Writer::releaseEncoder()
{
    if (m_stream) {
        beCloseStream(m_stream);
        m_stream = nullptr;
    }
    m_output = {};
    m_block = {};
    m_pending = 0;
}

} // namespace tonvane
