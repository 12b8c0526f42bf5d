#include "encoders/wav/WavWriter.h"

#include "encoders/framework/OutputFile.h"

#include <cstring>
#include <unistd.h>

namespace tonvane {

namespace {
constexpr uint32_t kFormatChunkBytes = 16;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kChannels = 2;
constexpr uint32_t kSampleRate = 44100; // [Hz]
constexpr uint32_t kByteRate = 176400; // [bytes/s]
constexpr uint16_t kBlockAlign = 4; // [bytes] one stereo sample frame
constexpr uint16_t kBitsPerSample = 16;
constexpr uint32_t kRiffSizeOverData = 36; // header bytes after the RIFF size field, before the data
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kRiffSizeOverData; // RIFF sizes are 32-bit

void put16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}
} // namespace

WavWriter::~WavWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void WavWriter::buildHeader(uint32_t dataBytes, uint8_t header[kHeaderBytes])
{
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, dataBytes + kRiffSizeOverData);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, kFormatChunkBytes);
    put16(header + 20, kFormatPcm);
    put16(header + 22, kChannels);
    put32(header + 24, kSampleRate);
    put32(header + 28, kByteRate);
    put16(header + 32, kBlockAlign);
    put16(header + 34, kBitsPerSample);
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, dataBytes);
}

bool WavWriter::open(std::u16string_view path, uint32_t, const TrackTags&, uint64_t totalBytes)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_dataBytes = 0;
    m_failed = false;
    m_fd = createOutputFile(path);
    if (m_fd < 0) {
        m_failed = true;
        return false;
    }
    // The expected frames as a 32-bit count, times 4: the length the header announces until finish.
    uint32_t frames = static_cast<uint32_t>(totalBytes / kBlockAlign);
    uint8_t header[kHeaderBytes];
    buildHeader(frames * kBlockAlign, header);
    if (!writeAllBytes(m_fd, header, kHeaderBytes))
        m_failed = true;
    return !m_failed;
}

bool WavWriter::write(const uint8_t* pcm, size_t bytes)
{
    if (bytes == 0)
        return !m_failed;
    if (m_fd < 0 || m_failed)
        return false;
    if (m_dataBytes + bytes > kMaxDataBytes) {
        m_failed = true;
        return false;
    }
    size_t written = 0;
    bool ok = writeAllBytes(m_fd, pcm, bytes, &written);
    // A chunk cut short (disk full) still counts with its whole sample frames.
    m_dataBytes += ok ? bytes : written - written % kBlockAlign;
    m_failed = !ok;
    return ok;
}

bool WavWriter::finish()
{
    if (m_fd < 0)
        return false;
    // Sizes of what really reached the file, so a shortened track still reads correctly.
    uint8_t header[kHeaderBytes];
    buildHeader(static_cast<uint32_t>(m_dataBytes), header);
    bool headerWritten = ::pwrite(m_fd, header, kHeaderBytes, 0) == static_cast<ssize_t>(kHeaderBytes);
    if (m_failed) // drop a torn sample frame behind the last whole one
        ::ftruncate(m_fd, static_cast<off_t>(kHeaderBytes + m_dataBytes));
    bool synced = !m_failed && headerWritten && syncOutputFile(m_fd); // on the disk before any rename
    bool closed = closeOutputFile(m_fd);
    m_fd = -1;
    return headerWritten && synced && closed && !m_failed;
}

} // namespace tonvane
