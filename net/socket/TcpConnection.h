#pragma once
#include "core/foundation/ErrorCode.h"
#include "core/foundation/Thread.h"
#include "net/socket/ConnectionHandler.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <netinet/in.h>
#include <string>

namespace tonvane {

// Answers the IPv4 address of a host name, or false when it does not resolve.
using HostResolver = std::function<bool(const std::string& host, in_addr& address)>;
// getaddrinfo restricted to IPv4.
bool resolveHostIpv4(const std::string& host, in_addr& address);

// IPv4 TCP client socket in non-blocking mode with one event thread per connection. The event
// thread waits in poll() on the socket and an eventfd (the stop event) and hands every network
// event to the handler. close() never returns before the event thread has left its loop, so no
// handler runs after it. The object can be reused: connect after close starts afresh.
class TcpConnection {
public:
    explicit TcpConnection(ConnectionHandler& handler, HostResolver resolver = resolveHostIpv4);
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Resolves host (a dotted IPv4 address is used as is), creates the socket and the event
    // thread and starts connecting. kErrorHostNotFound at once for a name that does not resolve;
    // otherwise the outcome arrives later through onConnect. A connection still open is closed
    // first.
    ErrorCode connect(const std::string& host, uint16_t port);
    // One send() call; a short send is not retried.
    ErrorCode send(const void* bytes, size_t length, size_t& sent);
    // One recv() call. A read handler must receive what available() reports: bytes it leaves
    // without a single receive are dropped so that the event thread does not spin on them.
    ErrorCode receive(void* buffer, size_t size, size_t& received);
    // Bytes waiting to be received (FIONREAD).
    ErrorCode available(size_t& count);
    // Stops the event thread (waiting until it has left its loop) and closes the socket.
    ErrorCode close();
    // Disables further sends and receives without closing: the peer sees the end, and the event
    // thread reports the close. Safe from any thread, including the event thread.
    void shutdown();

    bool isOpen() const { return m_socket >= 0; }

private:
    static void* eventThreadMain(void* self);
    void eventLoop();
    void wakeEventThread();

    enum class Phase : uint8_t { Connecting, Connected, Closed };

    ConnectionHandler& m_handler;
    HostResolver m_resolver;
    int m_socket = -1; // set before the event thread starts, cleared after it has ended
    int m_stopEvent = -1; // eventfd
    Thread m_eventThread;
    std::atomic<pthread_t> m_eventThreadId{};
    std::atomic<bool> m_wantWrite{false}; // a send would have blocked: report the next write
    std::atomic<bool> m_stopRequested{false};
    std::atomic<uint64_t> m_receiveCalls{0}; // tells whether a read handler took anything
    ErrorCode m_immediateConnectError = kSuccess; // connect() failed before the thread started
};

} // namespace tonvane
