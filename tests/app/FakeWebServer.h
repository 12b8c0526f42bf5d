#pragma once
// An HTTP server on 127.0.0.1 for command-line tests: each request's path (with its query)
// picks a whole prepared reply; 404 for the rest. One connection at a time, on its own thread;
// stops when destroyed.
#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tonvane::test {

class FakeWebServer {
public:
    FakeWebServer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::listen(m_listener, 8);
    }
    ~FakeWebServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    // Set every reply before start().
    void reply(const std::string& pathAndQuery, const std::string& status, const std::string& body,
               const std::string& headers = "Content-Type: application/json\r\n")
    {
        m_replies[pathAndQuery] = "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " +
                                  std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    void start() { m_thread = std::thread([this] { serve(); }); }
    std::vector<std::string> paths()
    {
        std::lock_guard lock(m_mutex);
        return m_paths;
    }

private:
    void serve()
    {
        while (!m_stop) {
            pollfd ready{m_listener, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            answer(client);
            ::close(client);
        }
    }

    void answer(int client)
    {
        std::string head;
        char bytes[4096];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            pollfd ready{client, POLLIN, 0};
            if (::poll(&ready, 1, 5000) <= 0)
                return;
            ssize_t n = ::recv(client, bytes, sizeof bytes, 0);
            if (n <= 0)
                return;
            head.append(bytes, static_cast<size_t>(n));
        }
        size_t start = head.find(' ') + 1;
        std::string path = head.substr(start, head.find(' ', start) - start);
        {
            std::lock_guard lock(m_mutex);
            m_paths.push_back(path);
        }
        auto found = m_replies.find(path);
        std::string response = found != m_replies.end()
                                   ? found->second
                                   : "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        ::send(client, response.data(), response.size(), MSG_NOSIGNAL);
        ::shutdown(client, SHUT_WR);
        pollfd closed{client, POLLIN, 0};
        while (::poll(&closed, 1, 2000) > 0 && ::recv(client, bytes, sizeof bytes, 0) > 0) {
        }
    }

    std::map<std::string, std::string> m_replies;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_paths;
    std::thread m_thread;
};

} // namespace tonvane::test
