#pragma once
// An HTTP server on 127.0.0.1 for command-line and window tests: answers a GET of each known path
// with a fixed body (after a fixed status line and headers, 200 by default), any other path with
// 404, and records the paths asked for. One connection at a time, on its own thread; stops when
// destroyed. It can hold its answer until the test's condition holds.
#include "support/LoopbackListener.h"

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
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
    explicit FakeHttpServer(std::map<std::string, Reply> replies) : m_replies(std::move(replies)) {}
    std::string address() const { return m_listener.address(); }
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
        while (!ready() && !m_listener.stopping() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        bool wasReady = ready();
        std::lock_guard lock(m_mutex);
        m_answeredWhenReady = m_answeredWhenReady && wasReady;
    }

    std::map<std::string, Reply> m_replies;
    std::function<bool()> m_ready;
    int m_holdMs = 0;
    bool m_answeredWhenReady = true;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_paths;
    LoopbackListener m_listener{[this](int client) { answer(client); }}; // last: it ends first
};

} // namespace tonvane::test
