#include "net/http/HttpResponseParser.h"

#include <algorithm>

namespace tonvane {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kStatusPrefix = "HTTP/";
constexpr std::string_view kContentLength = "Content-Length: ";
constexpr std::string_view kTransferEncoding = "Transfer-Encoding: ";
constexpr std::string_view kChunked = "chunked";
constexpr int kMaxHexDigits = 15; // keeps a chunk size below 2^60

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

HttpResponseParser::HttpResponseParser(uint64_t maxBodyBytes) : m_maxBodyBytes(maxBodyBytes)
{
}

void HttpResponseParser::setTargets(std::string* buffer, HttpBodySink* sink)
{
    m_buffer = buffer;
    m_sink = sink;
}

void HttpResponseParser::reset()
{
    m_phase = Phase::Headers;
    m_outcome = Outcome::Pending;
    m_chunked = false;
    m_haveContentLength = false;
    m_contentLength = 0;
    m_chunkRemainder = 0;
    m_remaining = 0;
    m_delivered = 0;
    m_lineBuffer.clear();
}

HttpResponseParser::Outcome HttpResponseParser::setOutcome(Outcome outcome)
{
    m_outcome = outcome;
    m_phase = Phase::Done;
    m_lineBuffer.clear();
    return outcome;
}

HttpResponseParser::Outcome HttpResponseParser::feed(const char* bytes, size_t count)
{
    if (m_phase == Phase::Done)
        return m_outcome; // whatever follows a finished response is ignored
    if (m_phase == Phase::BodyUntilClose)
        return deliver(bytes, count) ? Outcome::Pending : setOutcome(Outcome::Failed);

    m_lineBuffer.append(bytes, count);
    size_t start = 0;
    for (;;) {
        if (m_remaining > 0 && start < m_lineBuffer.size()) {
            size_t take = static_cast<size_t>(std::min<uint64_t>(m_remaining, m_lineBuffer.size() - start));
            m_remaining -= take;
            if (!deliver(m_lineBuffer.data() + start, take))
                return setOutcome(Outcome::Failed);
            start += take;
            if (m_chunkRemainder != 0) {
                m_chunkRemainder -= take;
            } else {
                m_contentLength -= take;
                if (m_contentLength == 0)
                    return setOutcome(Outcome::Complete);
            }
        }
        if (m_remaining > 0)
            break; // the rest of the body has not arrived yet
        size_t end = m_lineBuffer.find(kLineEnd, start);
        if (end == std::string::npos)
            break;
        if (end - start > kMaxLineBytes)
            return setOutcome(Outcome::Failed);
        std::string_view line = std::string_view(m_lineBuffer).substr(start, end - start);
        start = end + kLineEnd.size();
        if (!processLine(line))
            return setOutcome(Outcome::Failed);
        if (m_phase == Phase::Done)
            return m_outcome;
        if (m_phase == Phase::BodyUntilClose) {
            bool ok = deliver(m_lineBuffer.data() + start, m_lineBuffer.size() - start);
            m_lineBuffer.clear();
            return ok ? Outcome::Pending : setOutcome(Outcome::Failed);
        }
    }
    m_lineBuffer.erase(0, start);
    if (m_lineBuffer.size() > kMaxLineBytes && m_remaining == 0)
        return setOutcome(Outcome::Failed);
    return Outcome::Pending;
}

HttpResponseParser::Outcome HttpResponseParser::finish()
{
    if (m_phase == Phase::Done)
        return m_outcome;
    // Only a body without length and chunking ends with the connection (HTTP/1.0 style);
    // anywhere else the close cuts the response short.
    return setOutcome(m_phase == Phase::BodyUntilClose ? Outcome::Complete : Outcome::Failed);
}

bool HttpResponseParser::processLine(std::string_view line)
{
    switch (m_phase) {
    case Phase::Headers:
        if (line.empty())
            return leaveHeaders();
        if (line.starts_with(kStatusPrefix))
            return true;
        if (line.starts_with(kContentLength)) {
            uint64_t length = 0;
            for (char c : line.substr(kContentLength.size())) {
                if (c < '0' || c > '9')
                    break;
                length = length * 10 + static_cast<uint64_t>(c - '0');
                if (length > m_maxBodyBytes)
                    return false;
            }
            m_contentLength = length;
            m_haveContentLength = true;
            return true;
        }
        if (line.starts_with(kTransferEncoding) && line.substr(kTransferEncoding.size()).starts_with(kChunked))
            m_chunked = true;
        return true;
    case Phase::ChunkedBody: {
        if (line.empty())
            return true; // the line end that closes the previous chunk's data
        uint64_t size = 0;
        int digits = 0;
        for (char c : line) {
            int value = hexValue(c);
            if (value < 0)
                break; // chunk extensions and the like
            if (++digits > kMaxHexDigits)
                return false;
            size = size * 16 + static_cast<uint64_t>(value);
        }
        if (digits == 0 || m_delivered + size > m_maxBodyBytes)
            return false;
        if (size == 0) {
            setOutcome(Outcome::Complete);
            return true;
        }
        m_chunkRemainder = size;
        m_remaining = size;
        return true;
    }
    case Phase::SizedBody:
    case Phase::BodyUntilClose:
    case Phase::Done:
        return true;
    }
    return true;
}

bool HttpResponseParser::leaveHeaders()
{
    if (m_chunked) {
        m_phase = Phase::ChunkedBody;
        return true;
    }
    if (!m_haveContentLength) {
        m_phase = Phase::BodyUntilClose;
        return true;
    }
    // A Content-Length of 0 announces nothing to wait for: such a response never completes.
    m_phase = Phase::SizedBody;
    if (m_contentLength != 0) {
        if (m_buffer)
            m_buffer->reserve(m_buffer->size() + static_cast<size_t>(std::min<uint64_t>(m_contentLength + 1, kInitialBufferReserve)));
        if (m_sink)
            m_sink->onLength(m_contentLength);
        m_remaining = m_contentLength;
    }
    return true;
}

bool HttpResponseParser::deliver(const char* bytes, size_t count)
{
    if (count == 0)
        return true;
    if (m_delivered + count > m_maxBodyBytes)
        return false;
    m_delivered += count;
    if (m_buffer)
        m_buffer->append(bytes, count);
    if (m_sink)
        m_sink->onData(bytes, count);
    return true;
}

} // namespace tonvane
