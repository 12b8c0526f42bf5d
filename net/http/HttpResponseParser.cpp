#include "net/http/HttpResponseParser.h"

#include <algorithm>

namespace tonvane {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kStatusPrefix = "HTTP/";
constexpr std::string_view kContentLength = "content-length";
constexpr std::string_view kTransferEncoding = "transfer-encoding";
constexpr std::string_view kLocation = "location";
constexpr std::string_view kChunked = "chunked";
constexpr int kMaxHexDigits = 15; // keeps a chunk size below 2^60
constexpr size_t kStatusDigits = 3;

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase)
{
    if (text.size() != lowerCase.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (lowerAscii(text[i]) != lowerCase[i])
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// "HTTP/1.1 404 Not Found" -> 404; 0 when the line has no three-digit code after the version.
int statusCode(std::string_view line)
{
    size_t space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 1 + kStatusDigits)
        return 0;
    int code = 0;
    for (size_t i = space + 1; i < space + 1 + kStatusDigits; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

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
    m_bodyTooLarge = false;
    m_status = 0;
    m_location.clear();
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

HttpResponseParser::Outcome HttpResponseParser::finish(bool cleanly)
{
    if (m_phase == Phase::Done)
        return m_outcome;
    // Only a body without length and chunking ends with the connection (HTTP/1.0 style), and
    // only when the connection ended in order; anywhere else the close cuts the response short.
    return setOutcome(m_phase == Phase::BodyUntilClose && cleanly ? Outcome::Complete : Outcome::Failed);
}

bool HttpResponseParser::processLine(std::string_view line)
{
    switch (m_phase) {
    case Phase::Headers: {
        if (line.empty())
            return leaveHeaders();
        if (line.starts_with(kStatusPrefix)) {
            m_status = statusCode(line);
            return true;
        }
        size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return true;
        std::string_view name = line.substr(0, colon);
        std::string_view value = trimmed(line.substr(colon + 1));
        if (equalsIgnoringCase(name, kContentLength)) {
            uint64_t length = 0;
            for (char c : value) {
                if (c < '0' || c > '9')
                    break;
                length = length * 10 + static_cast<uint64_t>(c - '0');
                if (length > m_maxBodyBytes)
                    return m_bodyTooLarge = true, false;
            }
            m_contentLength = length;
            m_haveContentLength = true;
        } else if (equalsIgnoringCase(name, kTransferEncoding)) {
            m_chunked = equalsIgnoringCase(value.substr(0, kChunked.size()), kChunked);
        } else if (equalsIgnoringCase(name, kLocation)) {
            m_location = value.size() <= kMaxLocationBytes ? std::string(value) : std::string();
        }
        return true;
    }
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
        if (digits == 0)
            return false;
        if (m_delivered + size > m_maxBodyBytes)
            return m_bodyTooLarge = true, false;
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
    if (!isSuccess()) {
        // Redirects and errors: the headers say all the client needs; their body is not ours.
        setOutcome(Outcome::Complete);
        return true;
    }
    if (m_chunked) {
        m_phase = Phase::ChunkedBody;
        return true;
    }
    if (!m_haveContentLength) {
        m_phase = Phase::BodyUntilClose;
        return true;
    }
    if (m_contentLength == 0) {
        setOutcome(Outcome::Complete); // nothing to wait for
        return true;
    }
    m_phase = Phase::SizedBody;
    if (m_buffer)
        m_buffer->reserve(m_buffer->size() + static_cast<size_t>(std::min<uint64_t>(m_contentLength + 1, kInitialBufferReserve)));
    if (m_sink)
        m_sink->onLength(m_contentLength);
    m_remaining = m_contentLength;
    return true;
}

bool HttpResponseParser::deliver(const char* bytes, size_t count)
{
    if (count == 0)
        return true;
    if (m_delivered + count > m_maxBodyBytes)
        return m_bodyTooLarge = true, false;
    m_delivered += count;
    if (m_buffer)
        m_buffer->append(bytes, count);
    if (m_sink)
        m_sink->onData(bytes, count);
    return true;
}

} // namespace tonvane
