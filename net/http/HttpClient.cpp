#include "net/http/HttpClient.h"

#include "net/http/HttpAddress.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <string_view>

namespace tonvane {

namespace {

constexpr size_t kMinReceiveBuffer = 2048; // [bytes]
constexpr size_t kMaxReceiveBuffer = 256 * 1024; // [bytes] one receive at most

enum : int {
    kMovedPermanently = 301,
    kFound = 302,
    kSeeOther = 303,
    kTemporaryRedirect = 307,
    kPermanentRedirect = 308,
};

bool isRedirect(int status)
{
    return status == kMovedPermanently || status == kFound || status == kSeeOther || status == kTemporaryRedirect
           || status == kPermanentRedirect;
}

// Where a Location sends the next request: "http://authority/path" or "/path" on the same
// authority. Our client has no TLS, so an "https:" target is a failure of its own.
bool redirectTarget(const std::string& location, std::string& authority, std::string& path, std::string& error)
{
    std::optional<HttpUrl> target = parseHttpUrl(location);
    if (target && target->secure) {
        error = "the server redirects to " + location + ", which needs TLS; this client speaks plain HTTP only";
        return false;
    }
    if (target) {
        authority = target->authority;
        path = target->path;
        return true;
    }
    if (location.starts_with('/') && !location.starts_with("//")) {
        path = location;
        return true;
    }
    error = location.empty() ? "a redirect without a usable Location" : "cannot follow the redirect to '" + location + "'";
    return false;
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
    m_status = 0;
    m_error.clear();
    m_bodyTooLarge = false;
    bool complete = fetch(host, path, timeoutMs);
    std::lock_guard lock(m_mutex);
    m_bodyTooLarge = !complete && m_parser.bodyTooLarge();
    if (m_bodyTooLarge)
        m_error = "the answer is larger than " + std::to_string(m_options.maxBodyBytes) + " bytes";
    m_phase = Phase::Idle;
    m_cancelled = false; // a cancel ends one get: the running one, or the next when none runs
    return complete;
}

bool HttpClient::fetch(std::string authority, std::string path, uint32_t timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (int redirects = 0;; ++redirects) {
        std::string host;
        uint16_t port = 0;
        if (!isRequestToken(authority) || !isRequestToken(path) || !splitAuthority(authority, m_options.port, host, port)) {
            m_error = "'" + authority + "' and '" + path + "' do not make a request";
            return false;
        }
        if (!exchange(authority, host, port, path, timeoutMs, deadline))
            return false;
        m_status = m_parser.status();
        if (m_parser.isSuccess())
            return true;
        if (!isRedirect(m_status)) {
            m_error = "the server answered with HTTP status " + std::to_string(m_status);
            return false;
        }
        if (redirects == kMaxRedirects) {
            m_error = "more than " + std::to_string(kMaxRedirects) + " redirects";
            return false;
        }
        if (!redirectTarget(m_parser.location(), authority, path, m_error))
            return false;
    }
}

bool HttpClient::exchange(const std::string& authority, const std::string& host, uint16_t port,
                          const std::string& path, uint32_t timeoutMs, std::chrono::steady_clock::time_point deadline)
{
    std::string request = buildRequest(authority, path);
    {
        std::lock_guard lock(m_mutex);
        m_parser.reset();
        m_phase = Phase::Connecting;
        m_lastActivity = std::chrono::steady_clock::now();
    }
    if (m_connection.connect(host, port) != kSuccess) {
        m_connection.close();
        m_error = "cannot connect to " + authority;
        return false;
    }
    // Waits for done() until the deadline, or, with an idle time-out, until no byte came for
    // timeoutMs.
    auto waitFor = [&](auto done) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            auto limit = m_options.idleTimeout ? m_lastActivity + std::chrono::milliseconds(timeoutMs) : deadline;
            if (m_signal.wait_until(lock, limit, done))
                return true;
            if (!m_options.idleTimeout || std::chrono::steady_clock::now() >= m_lastActivity + std::chrono::milliseconds(timeoutMs))
                return false;
        }
    };

    bool connected = waitFor([this] { return m_phase != Phase::Connecting || m_cancelled; });
    {
        std::lock_guard lock(m_mutex);
        connected = connected && m_phase == Phase::Connected && !m_cancelled;
    }
    if (connected) {
        size_t sent = 0;
        connected = m_connection.send(request.data(), request.size(), sent) == kSuccess && sent == request.size();
    }
    bool complete = false;
    if (connected) {
        waitFor([this] { return m_phase == Phase::Complete || m_phase == Phase::Failed || m_cancelled; });
        std::lock_guard lock(m_mutex);
        complete = m_phase == Phase::Complete && !m_cancelled;
        if (!complete)
            m_error = m_cancelled ? "cancelled"
                      : m_phase == Phase::Failed ? "the response from " + authority + " was cut short or malformed"
                                                 : "no complete answer from " + authority + " in time";
    } else {
        m_error = "cannot connect to " + authority;
    }
    m_connection.close();
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
        m_lastActivity = std::chrono::steady_clock::now();
        if (m_phase == Phase::Connected)
            settle(m_parser.feed(m_receiveBuffer.data(), received));
        m_signal.notify_all(); // an idle time-out starts again
    }
}

void HttpClient::onClose(ErrorCode error)
{
    std::lock_guard lock(m_mutex);
    if (m_phase == Phase::Connected)
        settle(m_parser.finish(error == kSuccess));
}

void HttpClient::settle(HttpResponseParser::Outcome outcome)
{
    if (outcome == HttpResponseParser::Outcome::Pending)
        return;
    m_phase = outcome == HttpResponseParser::Outcome::Complete ? Phase::Complete : Phase::Failed;
    m_signal.notify_all();
}

} // namespace tonvane
