#include "net/socket/TcpConnection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tonvane {

namespace {

constexpr size_t kDiscardChunk = 4096; // [bytes] scratch for bytes a handler declined

ErrorCode socketError(int socket)
{
    int error = 0;
    socklen_t size = sizeof(error);
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return lastError();
    return errorFromSystem(static_cast<uint32_t>(error));
}

size_t bytesWaiting(int socket)
{
    int count = 0;
    if (::ioctl(socket, FIONREAD, &count) != 0 || count < 0)
        return 0;
    return static_cast<size_t>(count);
}

} // namespace

bool resolveHostIpv4(const std::string& host, in_addr& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    bool ok = false;
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
            address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr;
            ok = true;
            break;
        }
    }
    ::freeaddrinfo(found);
    return ok;
}

TcpConnection::TcpConnection(ConnectionHandler& handler, HostResolver resolver)
    : m_handler(handler), m_resolver(std::move(resolver))
{
}

TcpConnection::~TcpConnection()
{
    close();
}

ErrorCode TcpConnection::connect(const std::string& host, uint16_t port)
{
    if (isOpen() || m_eventThread.joinable())
        close();

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (host.empty() || host.find('\0') != std::string::npos)
        return kErrorHostNotFound;
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        if (!m_resolver || !m_resolver(host, address.sin_addr))
            return kErrorHostNotFound;
    }

    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return lastError();
    int stopEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopEvent < 0) {
        ErrorCode error = lastError();
        ::close(socket);
        return error;
    }
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0
        && errno != EINPROGRESS) {
        // Reported through onConnect like a late failure; poll() then sees the dead socket.
        m_immediateConnectError = lastError();
    } else {
        m_immediateConnectError = kSuccess;
    }

    m_socket = socket;
    m_stopEvent = stopEvent;
    ErrorCode error = startThread(m_eventThread, eventThreadMain, this);
    if (error != kSuccess) {
        ::close(m_stopEvent);
        ::close(m_socket);
        m_stopEvent = -1;
        m_socket = -1;
        return error;
    }
    return kSuccess;
}

ErrorCode TcpConnection::send(const void* bytes, size_t length, size_t& sent)
{
    sent = 0;
    if (!isOpen())
        return errorFromSystem(EBADF);
    ssize_t result = ::send(m_socket, bytes, length, MSG_NOSIGNAL);
    if (result < 0) {
        ErrorCode error = lastError();
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            m_wantWrite = true;
            wakeEventThread();
        }
        return error;
    }
    sent = static_cast<size_t>(result);
    return kSuccess;
}

ErrorCode TcpConnection::receive(void* buffer, size_t size, size_t& received)
{
    received = 0;
    if (!isOpen())
        return errorFromSystem(EBADF);
    ++m_receiveCalls;
    ssize_t result = ::recv(m_socket, buffer, size, 0);
    if (result < 0)
        return lastError();
    received = static_cast<size_t>(result);
    return kSuccess;
}

ErrorCode TcpConnection::available(size_t& count)
{
    count = 0;
    if (!isOpen())
        return errorFromSystem(EBADF);
    int waiting = 0;
    if (::ioctl(m_socket, FIONREAD, &waiting) != 0)
        return lastError();
    count = waiting > 0 ? static_cast<size_t>(waiting) : 0;
    return kSuccess;
}

void TcpConnection::shutdown()
{
    if (isOpen())
        ::shutdown(m_socket, SHUT_RDWR);
}

ErrorCode TcpConnection::close()
{
    if (m_eventThread.joinable()) {
        if (pthread_equal(pthread_self(), m_eventThreadId.load())) {
            // Called from a handler: the loop ends after the handler returns; the owner's next
            // close (or the destructor) joins the thread and releases the socket.
            m_stopRequested = true;
            shutdown();
            return kSuccess;
        }
        m_stopRequested = true;
        wakeEventThread();
        m_eventThread.join();
        m_eventThreadId = pthread_t{};
    }
    m_stopRequested = false;
    m_wantWrite = false;
    if (m_stopEvent >= 0) {
        ::close(m_stopEvent);
        m_stopEvent = -1;
    }
    ErrorCode error = kSuccess;
    if (m_socket >= 0) {
        if (::close(m_socket) != 0)
            error = lastError();
        m_socket = -1;
    }
    return error;
}

void TcpConnection::wakeEventThread()
{
    if (m_stopEvent >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(m_stopEvent, &one, sizeof(one));
    }
}

void* TcpConnection::eventThreadMain(void* self)
{
    auto* connection = static_cast<TcpConnection*>(self);
    connection->m_eventThreadId = pthread_self();
    connection->eventLoop();
    return nullptr;
}

void TcpConnection::eventLoop()
{
    Phase phase = Phase::Connecting;
    while (phase != Phase::Closed && !m_stopRequested) {
        pollfd fds[2]{};
        fds[0].fd = m_stopEvent;
        fds[0].events = POLLIN;
        fds[1].fd = m_socket;
        if (phase == Phase::Connecting)
            fds[1].events = POLLOUT;
        else
            fds[1].events = POLLIN | POLLRDHUP | (m_wantWrite ? POLLOUT : 0);

        int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t ignored = ::read(m_stopEvent, &count, sizeof(count));
            if (m_stopRequested)
                break;
            continue; // a wake-up to poll for writability as well
        }
        short events = fds[1].revents;
        if (events == 0)
            continue;

        if (phase == Phase::Connecting) {
            ErrorCode error = m_immediateConnectError != kSuccess ? m_immediateConnectError : socketError(m_socket);
            if (error == kSuccess && (events & (POLLERR | POLLHUP)))
                error = errorFromSystem(ECONNREFUSED);
            if (error != kSuccess) {
                m_handler.onConnect(error);
                phase = Phase::Closed; // a failed connect is not followed by a close event
                continue;
            }
            phase = Phase::Connected;
            m_handler.onWrite(kSuccess); // a fresh connection is writable
            m_handler.onConnect(kSuccess);
            continue;
        }

        // Connected: read, write, accept, connect, close.
        size_t waiting = bytesWaiting(m_socket);
        if ((events & POLLIN) && waiting > 0) {
            uint64_t receivesBefore = m_receiveCalls.load();
            m_handler.onRead(kSuccess);
            if (m_receiveCalls.load() == receivesBefore && !m_stopRequested) {
                // The handler took nothing: drop the bytes rather than spin on them.
                std::vector<char> scratch(kDiscardChunk);
                while (::recv(m_socket, scratch.data(), scratch.size(), MSG_DONTWAIT) > 0) {
                }
            }
        }
        if ((events & POLLOUT) && m_wantWrite.exchange(false))
            m_handler.onWrite(kSuccess);
        bool peerEnded = (events & (POLLRDHUP | POLLHUP | POLLERR)) || ((events & POLLIN) && waiting == 0);
        if (peerEnded && !m_stopRequested && bytesWaiting(m_socket) == 0) {
            m_handler.onClose((events & POLLERR) ? socketError(m_socket) : kSuccess);
            phase = Phase::Closed;
        }
    }
}

} // namespace tonvane
