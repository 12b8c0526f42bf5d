#include "net/http/HttpClient.h"

#include <algorithm>
#include <chrono>

namespace tonvane {

namespace {

constexpr size_t kMinReceiveBuffer = 2048; // [bytes]
constexpr size_t kMaxReceiveBuffer = 256 * 1024; // [bytes] one receive at most

bool isRequestToken(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

} // namespace

HttpClient::HttpClient(HttpClientOptions options)
    : m_options(std::move(options)), m_connection(*this, m_options.resolver), m_parser(m_options.maxBodyBytes)
{
}

HttpClient::~HttpClient()
{
    m_connection.close();
}

std::string HttpClient::buildRequest(const std::string& host, const std::string& path)
{
    std::string request;
    request.reserve(1024);
    request += "GET ";
    request += path;
    request += " HTTP/1.1\r\nHost: ";
    request += host;
    request += "\r\nUser-Agent: ";
    request += kUserAgent;
    request += "\r\n\r\n";
    return request;
}

bool HttpClient::get(const std::string& host, const std::string& path, uint32_t timeoutMs)
{
    std::lock_guard oneAtATime(m_getMutex);
    if (!isRequestToken(host) || !isRequestToken(path))
        return false;
    std::string request = buildRequest(host, path);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    {
        std::lock_guard lock(m_mutex);
        m_parser.reset();
        m_phase = Phase::Connecting;
    }

    if (m_connection.connect(host, m_options.port) != kSuccess) {
        m_connection.close();
        std::lock_guard lock(m_mutex);
        m_phase = Phase::Idle;
        m_cancelled = false;
        return false;
    }
    bool connected = false;
    {
        std::unique_lock lock(m_mutex);
        m_signal.wait_until(lock, deadline, [this] { return m_phase != Phase::Connecting || m_cancelled; });
        connected = m_phase == Phase::Connected && !m_cancelled;
    }
    if (connected) {
        size_t sent = 0;
        connected = m_connection.send(request.data(), request.size(), sent) == kSuccess && sent == request.size();
    }
    bool complete = false;
    if (connected) {
        std::unique_lock lock(m_mutex);
        m_signal.wait_until(lock, deadline, [this] {
            return m_phase == Phase::Complete || m_phase == Phase::Failed || m_cancelled;
        });
        complete = m_phase == Phase::Complete && !m_cancelled;
    }
    m_connection.close();
    std::lock_guard lock(m_mutex);
    m_phase = Phase::Idle;
    m_cancelled = false; // a cancel ends one get: the running one, or the next when none runs
    return complete;
}

void HttpClient::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_signal.notify_all();
}

void HttpClient::onConnect(ErrorCode error)
{
    std::lock_guard lock(m_mutex);
    if (m_phase == Phase::Connecting) {
        m_phase = error == kSuccess ? Phase::Connected : Phase::Failed;
        m_signal.notify_all();
    }
}

void HttpClient::onRead(ErrorCode)
{
    std::lock_guard lock(m_mutex);
    for (;;) {
        size_t waiting = 0;
        if (m_connection.available(waiting) != kSuccess || waiting == 0)
            return;
        size_t size = std::clamp(waiting + 1, kMinReceiveBuffer, kMaxReceiveBuffer);
        if (m_receiveBuffer.size() < size)
            m_receiveBuffer.resize(size);
        size_t received = 0;
        if (m_connection.receive(m_receiveBuffer.data(), size - 1, received) != kSuccess || received == 0)
            return;
        if (m_phase == Phase::Connected)
            settle(m_parser.feed(m_receiveBuffer.data(), received));
    }
}

void HttpClient::onClose(ErrorCode)
{
    std::lock_guard lock(m_mutex);
    if (m_phase == Phase::Connected)
        settle(m_parser.finish());
}

void HttpClient::settle(HttpResponseParser::Outcome outcome)
{
    if (outcome == HttpResponseParser::Outcome::Pending)
        return;
    m_phase = outcome == HttpResponseParser::Outcome::Complete ? Phase::Complete : Phase::Failed;
    m_signal.notify_all();
}

} // namespace tonvane
