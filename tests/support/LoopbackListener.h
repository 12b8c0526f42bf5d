#pragma once
// The listening half of the test servers: a TCP socket on 127.0.0.1 at a port the system
// chooses, whose thread accepts one connection at a time and hands it to the server's routine,
// then closes it. While held() says so, connections wait unanswered in the listen queue (a client
// stays "connecting"). Destroying it stops the thread and joins it: declare it as its server's
// last member, so that it ends before anything its routine touches.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace tonvane::test {

class LoopbackListener {
public:
    using Serve = std::function<void(int client)>;
    explicit LoopbackListener(Serve serve, std::function<bool()> held = {});
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int port() const { return m_port; }
    std::string address() const;
    // True once the server is being destroyed: long conversations end early.
    bool stopping() const { return m_stop.load(); }

private:
    void run();

    Serve m_serve;
    std::function<bool()> m_held;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace tonvane::test
