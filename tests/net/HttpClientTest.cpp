#include "LocalServer.h"
#include "net/http/HttpClient.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace tonvane;
using namespace tonvane::test;
using namespace std::chrono_literals;

namespace {

class RecordingSink : public HttpBodySink {
public:
    void onLength(uint64_t length) override
    {
        std::lock_guard lock(m_mutex);
        lengths.push_back(length);
    }
    void onData(const char* bytes, size_t count) override
    {
        std::lock_guard lock(m_mutex);
        data.append(bytes, count);
        ++pieces;
    }
    std::mutex m_mutex;
    std::vector<uint64_t> lengths;
    std::string data;
    int pieces = 0;
};

// Serves one request: reads its head, then runs respond.
LocalServer::Script serveOnce(std::function<void(ServerPeer&)> respond, std::string* head = nullptr)
{
    return [respond = std::move(respond), head](ServerPeer& peer) {
        std::optional<std::string> request = peer.readRequestHead();
        if (!request)
            return;
        if (head)
            *head = *request;
        respond(peer);
    };
}

struct Fetch {
    bool ok = false;
    std::string body;
    RecordingSink sink;
    std::chrono::milliseconds elapsed{};
};

void fetch(Fetch& result, uint16_t port, const std::string& path, uint32_t timeoutMs = 3000,
           const std::string& host = "127.0.0.1")
{
    HttpClientOptions options;
    options.port = port;
    HttpClient client(options);
    client.setBodyBuffer(&result.body);
    client.setBodySink(&result.sink);
    auto start = std::chrono::steady_clock::now();
    result.ok = client.get(host, path, timeoutMs);
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

} // namespace

TEST(HttpClient, SendsTheRequestExactlyAndParsesSplitHeaders)
{
    std::string head;
    LocalServer server(serveOnce(
        [](ServerPeer& peer) {
            // The header block arrives in pieces that cut lines and the line ends.
            for (const char* piece : {"HTTP/1.1 200 OK\r", "\nContent-Type: text/plain\r\nContent-Len", "gth: 11\r\n",
                                      "X-Other: 1\r\n\r", "\nhello", " world"}) {
                peer.send(piece);
                peer.pause(20);
            }
            peer.pause(2000); // keep-alive: the body length alone ends the response
        },
        &head));
    Fetch result;
    fetch(result, server.port(), "/version/tonvane.txt");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(head, "GET /version/tonvane.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: ORVAL Http Client\r\n\r\n");
    EXPECT_EQ(result.body, "hello world");
    EXPECT_EQ(result.sink.data, "hello world");
    EXPECT_EQ(result.sink.lengths, (std::vector<uint64_t>{11}));
    EXPECT_LT(result.elapsed, 1500ms);
}

TEST(HttpClient, ChunkedBodyCompletesAtTheZeroChunk)
{
    LocalServer server(serveOnce([](ServerPeer& peer) {
        peer.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nfirst\r\n");
        peer.pause(30);
        peer.send("7;name=value\r\n second\r");
        peer.pause(30);
        peer.send("\n0\r\n\r\n");
        peer.pause(2000);
    }));
    Fetch result;
    fetch(result, server.port(), "/chunked");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.body, "first second");
    EXPECT_TRUE(result.sink.lengths.empty()) << "a chunked body announces no length";
    EXPECT_LT(result.elapsed, 1500ms);
}

TEST(HttpClient, HeaderNamesIgnoreCaseAndAnEmptyBodyIsComplete)
{
    struct Case {
        const char* what;
        const char* response;
        const char* body;
    } cases[] = {
        {"lower-case names", "HTTP/1.1 200 OK\r\ncontent-length:5\r\n\r\nhello", "hello"},
        {"shouting names", "HTTP/1.1 200 OK\r\nTRANSFER-ENCODING:  Chunked\r\n\r\n2\r\nhi\r\n0\r\n\r\n", "hi"},
        {"Content-Length 0", "HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n", ""},
    };
    for (const Case& c : cases) {
        LocalServer server(serveOnce([&c](ServerPeer& peer) {
            peer.send(c.response);
            peer.pause(3000); // keep-alive: only the headers can end the response
        }));
        Fetch result;
        fetch(result, server.port(), "/", 2000);
        EXPECT_TRUE(result.ok) << c.what;
        EXPECT_EQ(result.body, c.body) << c.what;
        EXPECT_LT(result.elapsed, 1000ms) << c.what;
    }
}

TEST(HttpClient, StatusOtherThan2xxFailsWithItsCodeAndDeliversNothing)
{
    for (int status : {404, 503, 500}) {
        LocalServer server(serveOnce([status](ServerPeer& peer) {
            peer.send("HTTP/1.1 " + std::to_string(status) + " Trouble\r\nContent-Length: 9\r\n\r\nnot found");
            peer.pause(2000);
        }));
        HttpClientOptions options;
        options.port = server.port();
        HttpClient client(options);
        std::string body;
        client.setBodyBuffer(&body);
        EXPECT_FALSE(client.get("127.0.0.1", "/missing", 3000)) << status;
        EXPECT_EQ(client.status(), status);
        EXPECT_NE(client.error().find(std::to_string(status)), std::string::npos) << client.error();
        EXPECT_TRUE(body.empty()) << "an error page is not the file asked for";
    }
}

TEST(HttpClient, RedirectsAreFollowedFiveTimesOverPlainHttpOnly)
{
    auto moved = [](int status, const std::string& to) {
        return "HTTP/1.1 " + std::to_string(status) + " Moved\r\nlocation: " + to + "\r\nContent-Length: 4\r\n\r\nmove";
    };
    // Each connection answers by its path; "/b" names the server's own port, known once it listens.
    auto ownPort = std::make_shared<std::atomic<uint16_t>>(0);
    auto loopRequests = std::make_shared<std::atomic<int>>(0);
    std::map<std::string, std::string> answers = {
        {"/a", moved(302, "/b")},
        {"/c", moved(307, "/d")},
        {"/d", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone"},
        {"/loop", moved(308, "/loop")},
        {"/tls", moved(303, "https://secure.example/file")},
    };
    LocalServer server(
        [answers, ownPort, loopRequests, moved](ServerPeer& peer) {
            std::optional<std::string> head = peer.readRequestHead();
            if (!head)
                return;
            size_t start = head->find(' ') + 1;
            std::string path = head->substr(start, head->find(' ', start) - start);
            auto found = answers.find(path);
            if (path == "/loop")
                ++*loopRequests;
            if (path == "/b")
                peer.send(moved(301, "http://127.0.0.1:" + std::to_string(ownPort->load()) + "/c"));
            else
                peer.send(found != answers.end() ? found->second : "HTTP/1.1 404 No\r\nContent-Length: 0\r\n\r\n");
            peer.waitForClientClose(2000);
        },
        20);
    ownPort->store(server.port());

    HttpClientOptions options;
    options.port = server.port();
    HttpClient client(options);
    std::string body;
    client.setBodyBuffer(&body);
    EXPECT_TRUE(client.get("127.0.0.1", "/a", 5000)) << client.error();
    EXPECT_EQ(body, "done") << "only the last response's body is delivered";

    body.clear();
    EXPECT_FALSE(client.get("127.0.0.1", "/loop", 5000));
    EXPECT_NE(client.error().find("redirects"), std::string::npos) << client.error();
    EXPECT_TRUE(body.empty());
    EXPECT_FALSE(client.get("127.0.0.1", "/tls", 5000));
    EXPECT_NE(client.error().find("https://secure.example/file"), std::string::npos) << client.error();
    EXPECT_NE(client.error().find("TLS"), std::string::npos) << client.error();
    EXPECT_EQ(loopRequests->load(), 1 + HttpClient::kMaxRedirects);
}

TEST(HttpClient, BodyWithoutLengthEndsWhenTheServerCloses)
{
    LocalServer server(serveOnce([](ServerPeer& peer) {
        peer.send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nold ");
        peer.pause(30);
        peer.send("style\r\nbody");
    }));
    Fetch result;
    fetch(result, server.port(), "/");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.body, "old style\r\nbody");
}

TEST(HttpClient, ConnectionResetIsNotTheEndOfABody)
{
    LocalServer server(serveOnce([](ServerPeer& peer) {
        peer.send("HTTP/1.0 200 OK\r\n\r\npart of a body");
        peer.pause(100);
        peer.resetOnClose();
    }));
    Fetch result;
    fetch(result, server.port(), "/");
    EXPECT_FALSE(result.ok) << "a reset cuts a close-delimited body short";
    EXPECT_LT(result.elapsed, 2000ms);
}

TEST(HttpClient, IdleTimeOutAllowsASlowBodyThatKeepsMoving)
{
    auto slowServer = [] {
        return serveOnce([](ServerPeer& peer) {
            peer.send("HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n");
            for (int i = 0; i < 8; ++i) {
                peer.pause(100);
                peer.send("x");
            }
            peer.pause(1000);
        });
    };
    for (bool idle : {false, true}) {
        LocalServer server(slowServer());
        HttpClientOptions options;
        options.port = server.port();
        options.idleTimeout = idle;
        HttpClient client(options);
        std::string body;
        client.setBodyBuffer(&body);
        // 800 ms of body against a 400 ms limit: a whole-request limit ends it, an idle one not.
        EXPECT_EQ(client.get("127.0.0.1", "/", 400), idle) << "idle " << idle;
        EXPECT_EQ(body.size(), idle ? 8u : body.size());
    }
}

TEST(HttpClient, HostileResponsesFailWithoutGrowingWithoutBound)
{
    struct Case {
        const char* what;
        std::string response;
    };
    std::vector<Case> cases = {
        {"header line over 64 KiB", "HTTP/1.1 200 OK\r\nX-Long: " + std::string(70 * 1024, 'a') + "\r\n\r\n"},
        {"chunk size that overflows", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfffffffffffffffffffff\r\n"},
        {"chunk size missing", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"},
        {"length beyond the limit", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n"},
        {"close inside the headers", "HTTP/1.1 200 OK\r\nContent-"},
        {"close inside a sized body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"},
        {"chunk far larger than its size",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nfirst" + std::string(100 * 1024, 'x')},
    };
    for (const Case& c : cases) {
        LocalServer server(serveOnce([&c](ServerPeer& peer) {
            peer.send(c.response);
            peer.pause(50);
        }));
        Fetch result;
        fetch(result, server.port(), "/", 3000);
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_LT(result.elapsed, 2000ms) << c.what << ": the failure ends the request at once";
    }
}

TEST(HttpClient, BodyIsCutAtTheAnnouncedLength)
{
    LocalServer server(serveOnce([](ServerPeer& peer) {
        peer.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n");
        std::string flood(1024 * 1024, 'z');
        peer.send(flood);
        peer.pause(100);
    }));
    Fetch result;
    fetch(result, server.port(), "/");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.body, std::string(10, 'z'));
}

TEST(HttpClient, ClosedConnectionsAndBadInputFailAtOnce)
{
    Fetch refused;
    fetch(refused, unusedLocalPort(), "/", 3000);
    EXPECT_FALSE(refused.ok);
    EXPECT_LT(refused.elapsed, 2000ms);

    LocalServer server(serveOnce([](ServerPeer&) {}));
    Fetch injected;
    fetch(injected, server.port(), "/a\r\nX-Evil: 1", 300);
    EXPECT_FALSE(injected.ok) << "no header injection through the path";
    Fetch spaced;
    fetch(spaced, server.port(), "/", 300, "127.0.0.1 extra");
    EXPECT_FALSE(spaced.ok);
}

TEST(HttpClient, CancelEndsAWaitingGet)
{
    LocalServer server(serveOnce([](ServerPeer& peer) { peer.pause(5000); }));
    HttpClientOptions options;
    options.port = server.port();
    HttpClient client(options);
    std::thread canceller([&client] {
        std::this_thread::sleep_for(150ms);
        client.cancel();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.get("127.0.0.1", "/", 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    canceller.join();
}

// nginx from Debian as an independent server: one sized and one chunked response.
class NginxServer {
public:
    static constexpr const char* kBinary = "/usr/sbin/nginx";

    explicit NginxServer(const std::string& prefix) : m_prefix(prefix)
    {
        if (::access(kBinary, X_OK) != 0)
            return;
        m_port = unusedLocalPort();
        ::mkdir((prefix + "/html").c_str(), 0700);
        ::mkdir((prefix + "/logs").c_str(), 0700);
        writeFile(prefix + "/html/sized.txt", sizedBody());
        writeFile(prefix + "/html/chunked.txt", sizedBody());
        std::string p = std::to_string(m_port);
        writeFile(prefix + "/nginx.conf",
                  "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + prefix + "/nginx.pid;\n"
                  "error_log " + prefix + "/logs/error.log;\nevents { worker_connections 16; }\n"
                  "http {\n access_log off;\n client_body_temp_path " + prefix + "/tmp_body;\n"
                  " proxy_temp_path " + prefix + "/tmp_proxy;\n fastcgi_temp_path " + prefix + "/tmp_fcgi;\n"
                  " uwsgi_temp_path " + prefix + "/tmp_uwsgi;\n scgi_temp_path " + prefix + "/tmp_scgi;\n"
                  " default_type text/plain;\n server {\n  listen 127.0.0.1:" + p + ";\n  root " + prefix + "/html;\n"
                  "  location = /chunked.txt {\n   sub_filter_types text/plain;\n   sub_filter 'line' 'LINE';\n"
                  "   sub_filter_once off;\n  }\n }\n}\n");
        std::string conf = prefix + "/nginx.conf";
        std::string errorLog = prefix + "/logs/error.log";
        std::vector<std::string> args = {kBinary, "-p", prefix, "-c", conf, "-e", errorLog};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, kBinary, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 100 && m_pid > 0 && !accepting(); ++i)
            std::this_thread::sleep_for(20ms);
    }
    ~NginxServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    bool running() const { return m_pid > 0 && accepting(); }
    uint16_t port() const { return m_port; }

    static std::string sizedBody()
    {
        std::string body;
        for (int i = 0; i < 2000; ++i)
            body += "line " + std::to_string(i) + " of the test file\n";
        return body;
    }

    // The raw response head, to see how nginx framed the body.
    std::string rawHead(const std::string& path) const
    {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(m_port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string response;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
            std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            char buffer[4096];
            for (int i = 0; i < 50 && response.find("\r\n\r\n") == std::string::npos; ++i) {
                pollfd p = {fd, POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0)
                    continue;
                ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
                if (got <= 0)
                    break;
                response.append(buffer, static_cast<size_t>(got));
            }
        }
        ::close(fd);
        return response.substr(0, response.find("\r\n\r\n"));
    }

private:
    bool accepting() const
    {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(m_port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        ::close(fd);
        return ok;
    }

    std::string m_prefix;
    uint16_t m_port = 0;
    pid_t m_pid = -1;
};

TEST(HttpClient, NginxSizedAndChunkedResponses)
{
    TempDir prefix;
    NginxServer nginx(prefix.path());
    if (!nginx.running())
        GTEST_SKIP() << "nginx is not available";

    std::string sizedHead = nginx.rawHead("/sized.txt");
    ASSERT_NE(sizedHead.find("Content-Length: "), std::string::npos) << sizedHead;
    Fetch sized;
    fetch(sized, nginx.port(), "/sized.txt");
    EXPECT_TRUE(sized.ok);
    EXPECT_EQ(sized.body, NginxServer::sizedBody());
    EXPECT_EQ(sized.sink.lengths, (std::vector<uint64_t>{NginxServer::sizedBody().size()}));

    std::string chunkedHead = nginx.rawHead("/chunked.txt");
    ASSERT_NE(chunkedHead.find("Transfer-Encoding: chunked"), std::string::npos) << chunkedHead;
    std::string expected = NginxServer::sizedBody();
    for (size_t at = expected.find("line"); at != std::string::npos; at = expected.find("line", at + 4))
        expected.replace(at, 4, "LINE");
    Fetch chunked;
    fetch(chunked, nginx.port(), "/chunked.txt");
    EXPECT_TRUE(chunked.ok);
    EXPECT_EQ(chunked.body, expected);
    EXPECT_TRUE(chunked.sink.lengths.empty());

    Fetch missing;
    fetch(missing, nginx.port(), "/missing.txt");
    EXPECT_FALSE(missing.ok) << "a 404 is a failure";
    EXPECT_TRUE(missing.body.empty());
}
