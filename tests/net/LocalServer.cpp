#include "LocalServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tonvane::test {

namespace {

constexpr int kAcceptWaitMs = 10000; // [ms] a script waits this long for its client at most

int listenOnLoopback(uint16_t& port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

uint16_t unusedLocalPort()
{
    uint16_t port = 0;
    int fd = listenOnLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

bool ServerPeer::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t sent = ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool ServerPeer::fill(int timeoutMs)
{
    pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
    int ready = ::poll(fds, 2, timeoutMs);
    if (ready <= 0 || (fds[1].revents & POLLIN))
        return false;
    char buffer[4096];
    ssize_t got = ::recv(m_socket, buffer, sizeof(buffer), 0);
    if (got <= 0)
        return false;
    m_pending.append(buffer, static_cast<size_t>(got));
    return true;
}

std::optional<std::string> ServerPeer::readLine(int timeoutMs)
{
    int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        size_t end = m_pending.find("\r\n");
        if (end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 2);
            m_lines.push_back(line);
            return line;
        }
        int64_t left = deadline - nowMs();
        if (left <= 0 || !fill(static_cast<int>(left)))
            return std::nullopt;
    }
}

std::optional<std::string> ServerPeer::readRequestHead(int timeoutMs)
{
    int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        size_t end = m_pending.find("\r\n\r\n");
        if (end != std::string::npos) {
            std::string head = m_pending.substr(0, end + 4);
            m_pending.erase(0, end + 4);
            return head;
        }
        int64_t left = deadline - nowMs();
        if (left <= 0 || !fill(static_cast<int>(left)))
            return std::nullopt;
    }
}

bool ServerPeer::waitForClientClose(int timeoutMs)
{
    int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        int64_t left = deadline - nowMs();
        if (left <= 0)
            return false;
        pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, static_cast<int>(left)) <= 0 || (fds[1].revents & POLLIN))
            return false;
        char buffer[4096];
        ssize_t got = ::recv(m_socket, buffer, sizeof(buffer), 0);
        if (got <= 0)
            return true;
    }
}

void ServerPeer::resetOnClose()
{
    linger abort{1, 0};
    ::setsockopt(m_socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

bool ServerPeer::pause(int milliseconds)
{
    pollfd stop = {m_stopFd, POLLIN, 0};
    return ::poll(&stop, 1, milliseconds) == 0;
}

LocalServer::LocalServer(Script script, int maxConnections) : m_script(std::move(script))
{
    m_listen = listenOnLoopback(m_port);
    if (m_listen < 0 || ::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        return;
    m_thread = std::thread([this, maxConnections] { run(maxConnections); });
}

LocalServer::~LocalServer()
{
    if (m_stopPipe[1] >= 0) {
        char one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(m_stopPipe[1], &one, 1);
    }
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : {m_listen, m_stopPipe[0], m_stopPipe[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

std::vector<std::string> LocalServer::receivedLines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

void LocalServer::run(int maxConnections)
{
    for (int served = 0; served < maxConnections; ++served) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, kAcceptWaitMs) <= 0 || (fds[1].revents & POLLIN))
            return;
        int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        ServerPeer peer(client, m_stopPipe[0]);
        m_script(peer);
        {
            std::lock_guard lock(m_mutex);
            m_lines.insert(m_lines.end(), peer.lines().begin(), peer.lines().end());
        }
        ::close(client);
        ++m_served;
    }
}

} // namespace tonvane::test
