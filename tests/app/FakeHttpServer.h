#pragma once
// An HTTP server on 127.0.0.1 for command-line and window tests: answers a GET of each known path
// with a fixed body (after a fixed status line and headers, 200 by default), any other path with
// 404, and records the paths asked for. One connection at a time, on its own thread; stops when
// destroyed. It can hold its answer until the test's condition holds.
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
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

class FakeHttpServer {
public:
    struct Reply {
        std::string body;
        std::string head = "HTTP/1.1 200 OK\r\n"; // status line and headers
    };
    FakeHttpServer(std::string path, std::string body, std::string head = "HTTP/1.1 200 OK\r\n")
        : FakeHttpServer(std::map<std::string, Reply>{{std::move(path), {std::move(body), std::move(head)}}})
    {
    }
    explicit FakeHttpServer(std::map<std::string, Reply> replies) : m_replies(std::move(replies))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::listen(m_listener, 4);
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeHttpServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    std::string url() const { return "http://" + address(); }
    std::vector<std::string> paths() const
    {
        std::lock_guard lock(m_mutex);
        return m_paths;
    }
    // Requests whose path starts with prefix.
    size_t asked(const std::string& prefix) const
    {
        size_t n = 0;
        for (const std::string& path : paths())
            n += path.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }
    // Each answer waits until ready() is true, for at most holdMs; call before a client asks.
    void holdAnswersUntil(std::function<bool()> ready, int holdMs)
    {
        std::lock_guard lock(m_mutex);
        m_ready = std::move(ready);
        m_holdMs = holdMs;
    }
    // Whether ready() was true when each answer went out (all of them).
    bool answeredWhenReady() const
    {
        std::lock_guard lock(m_mutex);
        return m_answeredWhenReady;
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
        std::string request;
        for (int rounds = 0; rounds < 100 && request.find("\r\n\r\n") == std::string::npos; ++rounds) {
            pollfd ready{client, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            char bytes[4096];
            ssize_t n = ::recv(client, bytes, sizeof bytes, 0);
            if (n <= 0)
                return;
            request.append(bytes, static_cast<size_t>(n));
        }
        size_t space = request.find(' ');
        std::string path = request.substr(space + 1, request.find(' ', space + 1) - space - 1);
        {
            std::lock_guard lock(m_mutex);
            m_paths.push_back(path);
        }
        hold();
        auto known = m_replies.find(path);
        std::string body = known != m_replies.end() ? known->second.body : "<html>404 Not Found</html>";
        std::string head = known != m_replies.end() ? known->second.head : "HTTP/1.1 404 Not Found\r\n";
        std::string reply = head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    }

    void hold()
    {
        std::function<bool()> ready;
        int holdMs = 0;
        {
            std::lock_guard lock(m_mutex);
            ready = m_ready;
            holdMs = m_holdMs;
        }
        if (!ready)
            return;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(holdMs);
        while (!ready() && !m_stop && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        bool wasReady = ready();
        std::lock_guard lock(m_mutex);
        m_answeredWhenReady = m_answeredWhenReady && wasReady;
    }

    std::map<std::string, Reply> m_replies;
    std::function<bool()> m_ready;
    int m_holdMs = 0;
    bool m_answeredWhenReady = true;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_paths;
    std::thread m_thread;
};

} // namespace tonvane::test
