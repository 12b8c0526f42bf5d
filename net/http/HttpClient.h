#pragma once
#include "net/http/HttpBodySink.h"
#include "net/http/HttpResponseParser.h"
#include "net/socket/TcpConnection.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tonvane {

struct HttpClientOptions {
    uint16_t port = 80;
    uint64_t maxBodyBytes = 512ull * 1024 * 1024; // [bytes] a larger body fails the request
    HostResolver resolver = resolveHostIpv4;
};

// One HTTP/1.1 GET at a time on a fresh connection. get() blocks its caller; the response is
// parsed on the connection's event thread and delivered to the body buffer and/or body sink.
class HttpClient : private ConnectionHandler {
public:
    static constexpr char kUserAgent[] = "ORVAL Http Client";

    explicit HttpClient(HttpClientOptions options = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Set before get; either may be null. The buffer receives the body appended.
    void setBodyBuffer(std::string* buffer) { m_parser.setTargets(buffer, m_sink), m_buffer = buffer; }
    void setBodySink(HttpBodySink* sink) { m_parser.setTargets(m_buffer, sink), m_sink = sink; }

    // True when the whole body arrived within timeoutMs (connecting included). Any status
    // counts: a 404 body is delivered like any other. Host and path must not hold spaces or
    // control characters.
    bool get(const std::string& host, const std::string& path, uint32_t timeoutMs);
    // Ends a running get early (it answers false), or the next get when none runs; for another
    // thread.
    void cancel();

    // "GET <path> HTTP/1.1\r\nHost: <host>\r\nUser-Agent: ORVAL Http Client\r\n\r\n"
    static std::string buildRequest(const std::string& host, const std::string& path);

private:
    enum class Phase : uint8_t { Idle, Connecting, Connected, Complete, Failed };

    void onAccept(ErrorCode) override {}
    void onClose(ErrorCode error) override;
    void onConnect(ErrorCode error) override;
    void onRead(ErrorCode error) override;
    void onWrite(ErrorCode) override {}

    void settle(HttpResponseParser::Outcome outcome); // with m_mutex held

    HttpClientOptions m_options;
    TcpConnection m_connection;
    std::string* m_buffer = nullptr;
    HttpBodySink* m_sink = nullptr;

    std::mutex m_getMutex; // one get at a time, even when two threads call
    std::mutex m_mutex; // phase and parser, shared by the caller and the event thread
    std::condition_variable m_signal;
    Phase m_phase = Phase::Idle;
    bool m_cancelled = false;
    HttpResponseParser m_parser;
    std::vector<char> m_receiveBuffer;
};

} // namespace tonvane
