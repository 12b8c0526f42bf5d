#pragma once
// A CDDB server on 127.0.0.1 for command-line tests: greets, negotiates level 6, answers every
// query with one exact match (or, given onlyQuery, only that exact query line; others find no
// match) and serves a fixed entry. One connection at a time, on its own thread; stops when
// destroyed.
#include "support/LoopbackListener.h"

#include <atomic>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace tonvane::test {

class FakeCddbServer {
public:
    // hangUpInEntry: the connection ends in the middle of the entry, after its second line.
    explicit FakeCddbServer(std::vector<std::string> titles, bool hangUpInEntry = false, std::string onlyQuery = {})
        : m_titles(std::move(titles)), m_hangUpInEntry(hangUpInEntry), m_onlyQuery(std::move(onlyQuery))
    {
    }
    int port() const { return m_listener.port(); }
    // While held, connections wait in the listen queue unanswered (a lookup stays "connecting").
    void hold(bool held) { m_held = held; }
    int lookups() const { return m_lookups; }

private:
    void say(int client, const std::string& text) { ::send(client, text.data(), text.size(), MSG_NOSIGNAL); }

    void converse(int client)
    {
        ++m_lookups;
        say(client, "201 fake CDDBP server v1 ready\r\n");
        std::string buffer;
        for (int rounds = 0; rounds < 1000 && !m_listener.stopping(); ++rounds) {
            pollfd ready{client, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            char bytes[4096];
            ssize_t n = ::recv(client, bytes, sizeof bytes, 0);
            if (n <= 0)
                return;
            buffer.append(bytes, static_cast<size_t>(n));
            for (size_t end; (end = buffer.find("\r\n")) != std::string::npos;) {
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 2);
                if (line.rfind("cddb hello", 0) == 0)
                    say(client, "200 Hello and welcome\r\n");
                else if (line == "proto")
                    say(client, "200 CDDB protocol level: current 1, supported 6\r\n");
                else if (line.rfind("proto ", 0) == 0)
                    say(client, "201 OK, CDDB protocol level now: 6\r\n");
                else if (line.rfind("cddb query ", 0) == 0 && !m_onlyQuery.empty() && line != m_onlyQuery)
                    say(client, "202 No match found\r\n");
                else if (line.rfind("cddb query ", 0) == 0) {
                    m_discId = line.substr(11, 8);
                    say(client, "200 rock " + m_discId + " Demo Artist / Demo Album\r\n");
                } else if (line.rfind("cddb read ", 0) == 0) {
                    std::string entry = "210 rock " + m_discId + "\r\n# xmcd\r\nDISCID=" + m_discId +
                                        "\r\nDTITLE=Demo Artist / Demo Album\r\nDYEAR=2024\r\nDGENRE=Rock\r\n";
                    for (size_t i = 0; i < m_titles.size(); ++i)
                        entry += "TTITLE" + std::to_string(i) + "=" + m_titles[i] + "\r\n";
                    if (m_hangUpInEntry) {
                        say(client, entry.substr(0, entry.find("DTITLE")));
                        return;
                    }
                    say(client, entry + ".\r\n");
                } else if (line == "quit") {
                    say(client, "230 Goodbye\r\n");
                    return;
                } else {
                    say(client, "500 Unrecognized command\r\n");
                }
            }
        }
    }

    std::vector<std::string> m_titles;
    bool m_hangUpInEntry = false;
    std::string m_onlyQuery;
    std::string m_discId = "00000000";
    std::atomic<bool> m_held{false};
    std::atomic<int> m_lookups{0};
    LoopbackListener m_listener{[this](int client) { converse(client); }, [this] { return m_held.load(); }}; // last: it ends first
};

} // namespace tonvane::test
