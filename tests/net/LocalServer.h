#pragma once
// A scripted TCP server on 127.0.0.1 for the network tests. It serves connections one after
// the other on its own thread; every wait is bounded in time.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tonvane::test {

inline constexpr int kPeerWaitMs = 5000; // [ms] the longest any scripted read waits

// The server's side of one accepted connection.
class ServerPeer {
public:
    ServerPeer(int socket, int stopFd) : m_socket(socket), m_stopFd(stopFd) {}
    bool send(std::string_view bytes);
    // The next "\r\n"-terminated line without its end; nothing on time-out, close or stop.
    std::optional<std::string> readLine(int timeoutMs = kPeerWaitMs);
    // Bytes up to and including the blank line that ends an HTTP request head.
    std::optional<std::string> readRequestHead(int timeoutMs = kPeerWaitMs);
    // Waits until the client closes (reading and dropping what it sends); false on time-out.
    bool waitForClientClose(int timeoutMs = kPeerWaitMs);
    // Sleeps, but wakes early when the server is stopped. False when stopped.
    bool pause(int milliseconds);
    // The coming close becomes a reset (RST), as a crashed or cut-off server's would.
    void resetOnClose();
    // Every line read so far on this connection.
    const std::vector<std::string>& lines() const { return m_lines; }

private:
    bool fill(int timeoutMs); // reads more bytes into m_pending

    int m_socket;
    int m_stopFd;
    std::string m_pending;
    std::vector<std::string> m_lines;
};

class LocalServer {
public:
    using Script = std::function<void(ServerPeer&)>;

    // Serves up to maxConnections connections with script, one at a time.
    explicit LocalServer(Script script, int maxConnections = 1);
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    uint16_t port() const { return m_port; }
    bool listening() const { return m_listen >= 0; }
    // Lines the scripts read, over all connections so far.
    std::vector<std::string> receivedLines() const;
    int connectionsServed() const { return m_served; }

private:
    void run(int maxConnections);

    Script m_script;
    int m_listen = -1;
    int m_stopPipe[2] = {-1, -1};
    uint16_t m_port = 0;
    std::atomic<int> m_served{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::thread m_thread;
};

// A port on 127.0.0.1 that nothing listens on (bound, then released).
uint16_t unusedLocalPort();

} // namespace tonvane::test
