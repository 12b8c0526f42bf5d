#pragma once
// The MusicBrainz web service and the Cover Art Archive on 127.0.0.1 for the window tests: each
// request's path picks its answer (404 for any other), one connection at a time on its own
// thread; the paths asked for are recorded. Releases are written as the web service answers a
// disc id lookup with artist credits, recordings and ISRCs.
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

struct FakeRelease {
    std::string id; // MBID
    std::string title;
    std::string artist;
    std::string date;
    std::string country;
    std::string format = "CD";
    int32_t discNumber = 1;
    int32_t discCount = 1;
    std::vector<std::string> tracks; // titles of the medium holding the disc
};

inline std::string jsonText(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// The reply to /ws/2/discid/<discId>: every release with the disc on medium discNumber.
inline std::string discIdReply(const std::string& discId, const std::vector<FakeRelease>& releases)
{
    std::string json = "{\"id\":" + jsonText(discId) + ",\"releases\":[";
    for (size_t r = 0; r < releases.size(); ++r) {
        const FakeRelease& release = releases[r];
        std::string artistId = "10000001-0001-4001-8001-" + std::string(12 - std::to_string(r).size(), '0') + std::to_string(r);
        std::string credit = "[{\"name\":" + jsonText(release.artist) + ",\"joinphrase\":\"\",\"artist\":{\"id\":\"" +
                             artistId + "\",\"name\":" + jsonText(release.artist) + "}}]";
        json += std::string(r ? "," : "") + "{\"id\":\"" + release.id + "\",\"title\":" + jsonText(release.title) +
                ",\"date\":" + jsonText(release.date) + ",\"country\":" +
                (release.country.empty() ? std::string("null") : jsonText(release.country)) +
                ",\"artist-credit\":" + credit + ",\"media\":[";
        for (int32_t m = 1; m <= release.discCount; ++m) {
            bool ours = m == release.discNumber;
            json += std::string(m > 1 ? "," : "") + "{\"position\":" + std::to_string(m) + ",\"format\":" +
                    jsonText(release.format) + ",\"track-count\":" +
                    std::to_string(ours ? release.tracks.size() : 1) + ",\"discs\":[" +
                    (ours ? "{\"id\":" + jsonText(discId) + "}" : std::string()) + "],\"tracks\":[";
            for (size_t t = 0; ours && t < release.tracks.size(); ++t) {
                std::string n = std::to_string(r * 100 + t + 1);
                std::string pad(12 - n.size(), '0');
                json += std::string(t ? "," : "") + "{\"id\":\"20000001-0001-4020-8001-" + pad + n +
                        "\",\"position\":" + std::to_string(t + 1) + ",\"title\":" + jsonText(release.tracks[t]) +
                        ",\"artist-credit\":" + credit + ",\"recording\":{\"id\":\"21000001-0001-4021-8001-" + pad +
                        n + "\",\"title\":" + jsonText(release.tracks[t]) + ",\"isrcs\":[\"GBAAA" +
                        std::string(7 - n.size(), '0') + n + "\"]}}";
            }
            json += "]}";
        }
        json += "]}";
    }
    return json + "]}";
}

class FakeMusicBrainzServer {
public:
    // replies: request path (with its query) -> content type and body.
    struct Reply {
        std::string type;
        std::string body;
    };
    explicit FakeMusicBrainzServer(std::map<std::string, Reply> replies) : m_replies(std::move(replies))
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
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeMusicBrainzServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::vector<std::string> paths() const
    {
        std::lock_guard lock(m_mutex);
        return m_paths;
    }
    size_t asked(const std::string& prefix) const
    {
        size_t n = 0;
        for (const std::string& path : paths())
            n += path.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
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
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd ready{client, POLLIN, 0};
            if (::poll(&ready, 1, 3000) <= 0)
                return;
            ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            request.append(buffer, size_t(got));
        }
        size_t start = request.find(' ') + 1;
        std::string path = request.substr(start, request.find(' ', start) - start);
        {
            std::lock_guard lock(m_mutex);
            m_paths.push_back(path);
        }
        auto found = m_replies.find(path);
        std::string status = found != m_replies.end() ? "200 OK" : "404 Not Found";
        std::string body = found != m_replies.end() ? found->second.body : std::string("{}");
        std::string type = found != m_replies.end() ? found->second.type : std::string("application/json");
        std::string reply = "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        for (size_t sent = 0; sent < reply.size();) {
            ssize_t n = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += size_t(n);
        }
    }

    std::map<std::string, Reply> m_replies;
    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_paths;
    std::thread m_thread;
};

} // namespace tonvane::test
