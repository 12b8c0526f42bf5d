#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace tonvane::test {

namespace {
constexpr int kBacklog = 4; // connections waiting while one is served
constexpr int kStopCheckMs = 50; // [ms] how soon a stop or a release from hold is seen
} // namespace

LoopbackListener::LoopbackListener(Serve serve, std::function<bool()> held)
    : m_serve(std::move(serve)), m_held(std::move(held))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(m_listener, kBacklog) != 0)
        return; // port() stays 0: the test's client finds nobody
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

LoopbackListener::~LoopbackListener()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

std::string LoopbackListener::address() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

void LoopbackListener::run()
{
    while (!m_stop) {
        if (m_held && m_held()) {
            ::usleep(kStopCheckMs * 1000 / 5);
            continue;
        }
        pollfd ready{m_listener, POLLIN, 0};
        if (::poll(&ready, 1, kStopCheckMs) <= 0 || (m_held && m_held()))
            continue; // held while polling: the connection waits in the queue
        int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        m_serve(client);
        ::close(client);
    }
}

} // namespace tonvane::test
