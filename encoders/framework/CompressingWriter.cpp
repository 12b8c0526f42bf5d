#include "encoders/framework/CompressingWriter.h"

#include "encoders/framework/OutputFile.h"

#include <cstdio>

namespace tonvane {

CompressingWriter::~CompressingWriter()
{
    // The derived writer has released its library already; only a file can be left.
    if (m_file)
        std::fclose(m_file);
}

bool CompressingWriter::open(std::u16string_view path, uint32_t quality, const TrackTags& tags, uint64_t totalBytes)
{
    release();
    m_state = State::Failed;
    m_file = createOutputStream(path);
    if (!m_file)
        return false;
    // Encoding before the set-up: the libraries write their headers through our file, and a
    // failed write there fails the writer.
    m_state = State::Encoding;
    if (!startEncoder(quality, tags, totalBytes))
        fail();
    return encoding();
}

bool CompressingWriter::write(const uint8_t* pcm, size_t bytes)
{
    if (!encoding())
        return false;
    if (bytes == 0)
        return true;
    if (!pcm) {
        fail();
        return false;
    }
    return encodeBytes(pcm, bytes) && encoding();
}

bool CompressingWriter::finish()
{
    if (encoding())
        flushEncoder();
    const bool encoded = encoding();
    const bool closed = release();
    return encoded && closed;
}

void CompressingWriter::fail()
{
    if (m_state != State::Closed)
        m_state = State::Failed;
}

bool CompressingWriter::writeFile(const void* bytes, size_t count)
{
    if (!m_file || std::fwrite(bytes, 1, count, m_file) != count) {
        fail();
        return false;
    }
    return true;
}

bool CompressingWriter::release()
{
    releaseEncoder();
    bool closed = true;
    if (m_file) {
        // A whole file goes to the disk before anyone can rename it to its final name.
        if (m_state == State::Encoding)
            closed = std::fflush(m_file) == 0 && syncOutputFile(::fileno(m_file));
        closed = std::fclose(m_file) == 0 && closed;
        m_file = nullptr;
    }
    m_state = State::Closed;
    return closed;
}

} // namespace tonvane
