#pragma once
#include "net/http/HttpBodySink.h"
#include "net/http/HttpResponseParser.h"
#include "net/socket/TcpConnection.h"

#include <chrono>
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
    // false: get's time-out covers the whole request; true: it is the longest wait for the next
    // byte, so a long download that keeps moving is not cut off.
    bool idleTimeout = false;
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

    static constexpr int kMaxRedirects = 5;

    // True when a 2xx response's whole body arrived within timeoutMs (connecting included; see
    // idleTimeout). Redirects (301, 302, 303, 307, 308) to "http:" addresses or paths are
    // followed up to 5 times; another status is a failure whose code status() keeps, and only
    // the final 2xx body reaches the buffer and sink. Host and path must not hold spaces or
    // control characters; host may carry ":port".
    bool get(const std::string& host, const std::string& path, uint32_t timeoutMs);
    // After get: the last response's status (0 when none came) and, on failure, why.
    int status() const { return m_status; }
    const std::string& error() const { return m_error; }
    // After a failed get: the body was larger than maxBodyBytes.
    bool bodyTooLarge() const { return m_bodyTooLarge; }
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
    bool fetch(std::string authority, std::string path, uint32_t timeoutMs);
    // One request on a fresh connection; true when the response (headers at least) completed.
    bool exchange(const std::string& authority, const std::string& host, uint16_t port, const std::string& path,
                  uint32_t timeoutMs, std::chrono::steady_clock::time_point deadline);

    HttpClientOptions m_options;
    TcpConnection m_connection;
    std::string* m_buffer = nullptr;
    HttpBodySink* m_sink = nullptr;

    std::mutex m_getMutex; // one get at a time, even when two threads call
    std::mutex m_mutex; // phase and parser, shared by the caller and the event thread
    std::condition_variable m_signal;
    Phase m_phase = Phase::Idle;
    bool m_cancelled = false;
    std::chrono::steady_clock::time_point m_lastActivity; // the last received byte
    int m_status = 0;
    std::string m_error;
    bool m_bodyTooLarge = false;
    HttpResponseParser m_parser;
    std::vector<char> m_receiveBuffer;
};

} // namespace tonvane
