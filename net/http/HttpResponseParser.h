#pragma once
#include "net/http/HttpBodySink.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tonvane {

// Parses an HTTP/1.1 response as it arrives and hands the body to a buffer and/or a sink.
// Header names compare without ASCII case. Only a 2xx response delivers its body; any other
// status completes with the headers (its code and Location are kept) and its body is dropped.
// A body is delimited by chunked encoding, by Content-Length, or, with neither, by the server
// closing the connection cleanly. Memory stays bounded: lines over 64 KiB, chunk sizes that do
// not fit, and bodies above the limit end the response as failed.
class HttpResponseParser {
public:
    enum class Outcome : uint8_t { Pending, Complete, Failed };

    static constexpr size_t kMaxLineBytes = 64 * 1024; // [bytes]
    static constexpr size_t kInitialBufferReserve = 1024 * 1024; // [bytes] at most, whatever is announced
    static constexpr size_t kMaxLocationBytes = 2048; // [bytes] a longer redirect target is dropped

    explicit HttpResponseParser(uint64_t maxBodyBytes);

    // Where the body goes; either may be null.
    void setTargets(std::string* buffer, HttpBodySink* sink);
    void reset();
    Outcome feed(const char* bytes, size_t count);
    // The peer closed the connection; cleanly = without an error on the socket.
    Outcome finish(bool cleanly = true);
    Outcome outcome() const { return m_outcome; }
    uint64_t bodyBytes() const { return m_delivered; }
    // The response failed because its body (announced or sent) is above the limit.
    bool bodyTooLarge() const { return m_bodyTooLarge; }
    // The status line's code (0 until it arrived or when it was not "HTTP/x.y NNN").
    int status() const { return m_status; }
    bool isSuccess() const { return m_status >= 200 && m_status <= 299; }
    // The Location header as sent (empty when absent or too long).
    const std::string& location() const { return m_location; }

private:
    enum class Phase : uint8_t { Headers, SizedBody, ChunkedBody, BodyUntilClose, Done };

    bool processLine(std::string_view line);
    bool leaveHeaders();
    bool deliver(const char* bytes, size_t count);
    Outcome setOutcome(Outcome outcome);

    uint64_t m_maxBodyBytes;
    std::string* m_buffer = nullptr;
    HttpBodySink* m_sink = nullptr;

    Phase m_phase = Phase::Headers;
    Outcome m_outcome = Outcome::Pending;
    bool m_chunked = false;
    bool m_haveContentLength = false;
    uint64_t m_contentLength = 0; // [bytes] still expected by Content-Length
    uint64_t m_chunkRemainder = 0; // [bytes] still expected in the current chunk
    uint64_t m_remaining = 0; // [bytes] of body to take next
    uint64_t m_delivered = 0;
    bool m_bodyTooLarge = false;
    int m_status = 0;
    std::string m_location;
    std::string m_lineBuffer;
};

} // namespace tonvane
