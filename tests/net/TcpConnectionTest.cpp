#include "LocalServer.h"
#include "net/socket/TcpConnection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

using namespace tonvane;
using namespace tonvane::test;
using namespace std::chrono_literals;

namespace {

// Records every event; reads what available() reports on each read event.
class RecordingHandler : public ConnectionHandler {
public:
    TcpConnection* connection = nullptr;

    void onAccept(ErrorCode) override { note("accept"); }
    void onClose(ErrorCode) override { note("close"); }
    void onConnect(ErrorCode error) override
    {
        std::lock_guard lock(m_mutex);
        connectError = error;
        events.push_back("connect");
        m_changed.notify_all();
    }
    void onRead(ErrorCode) override
    {
        size_t waiting = 0;
        connection->available(waiting);
        std::string piece(waiting, '\0');
        size_t received = 0;
        connection->receive(piece.data(), piece.size(), received);
        piece.resize(received);
        std::lock_guard lock(m_mutex);
        data += piece;
        ++reads;
        events.push_back("read");
        m_changed.notify_all();
    }
    void onWrite(ErrorCode) override { note("write"); }

    bool waitFor(const std::string& event, std::chrono::milliseconds limit = 5s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] {
            for (const auto& e : events) {
                if (e == event)
                    return true;
            }
            return false;
        });
    }
    std::vector<std::string> snapshot()
    {
        std::lock_guard lock(m_mutex);
        return events;
    }
    std::string received()
    {
        std::lock_guard lock(m_mutex);
        return data;
    }
    int readCount()
    {
        std::lock_guard lock(m_mutex);
        return reads;
    }
    ErrorCode connectResult()
    {
        std::lock_guard lock(m_mutex);
        return connectError;
    }

private:
    void note(const char* event)
    {
        std::lock_guard lock(m_mutex);
        events.push_back(event);
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> events;
    std::string data;
    int reads = 0;
    ErrorCode connectError = 0xFFFFFFFF;
};

} // namespace

TEST(TcpConnection, DeliversDataInSeveralReadEventsThenTheClose)
{
    LocalServer server([](ServerPeer& peer) {
        peer.send("first ");
        peer.pause(100);
        peer.send("second");
        peer.pause(50);
    });
    RecordingHandler handler;
    int resolverCalls = 0;
    TcpConnection connection(handler, [&](const std::string&, in_addr&) {
        ++resolverCalls;
        return false;
    });
    handler.connection = &connection;

    ASSERT_EQ(connection.connect("127.0.0.1", server.port()), kSuccess);
    ASSERT_TRUE(handler.waitFor("close"));
    EXPECT_EQ(resolverCalls, 0) << "a dotted address needs no name lookup";
    EXPECT_EQ(handler.connectResult(), kSuccess);
    EXPECT_EQ(handler.received(), "first second");
    EXPECT_GE(handler.readCount(), 2);
    std::vector<std::string> events = handler.snapshot();
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events.front(), "write") << "a fresh connection reports write before connect";
    EXPECT_EQ(events[1], "connect");
    EXPECT_EQ(events.back(), "close");

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(connection.close(), kSuccess) << "close after the peer closed";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(connection.isOpen());
}

TEST(TcpConnection, UnresolvableNameFailsAtOnceWithoutEvents)
{
    RecordingHandler handler;
    TcpConnection connection(handler, [](const std::string& host, in_addr& address) {
        if (host != "localhost.test")
            return false;
        address.s_addr = htonl(INADDR_LOOPBACK);
        return true;
    });
    handler.connection = &connection;
    EXPECT_EQ(connection.connect("no-such-host.test", 8880), kErrorHostNotFound);
    EXPECT_EQ(kErrorHostNotFound, 0x80072726u);
    EXPECT_FALSE(connection.isOpen());
    EXPECT_FALSE(handler.waitFor("connect", 100ms));
    EXPECT_EQ(connection.connect("", 8880), kErrorHostNotFound);

    LocalServer server([](ServerPeer& peer) { peer.send("hi"); });
    ASSERT_EQ(connection.connect("localhost.test", server.port()), kSuccess) << "names go through the resolver";
    EXPECT_TRUE(handler.waitFor("close"));
    EXPECT_EQ(handler.received(), "hi");
}

TEST(TcpConnection, RefusedConnectionReportsTheErrorAndNoClose)
{
    RecordingHandler handler;
    TcpConnection connection(handler);
    handler.connection = &connection;
    ASSERT_EQ(connection.connect("127.0.0.1", unusedLocalPort()), kSuccess);
    ASSERT_TRUE(handler.waitFor("connect"));
    EXPECT_NE(handler.connectResult(), kSuccess);
    EXPECT_FALSE(handler.waitFor("close", 100ms));
    EXPECT_EQ(connection.close(), kSuccess);
}

TEST(TcpConnection, CloseStopsTheEventThreadAndTheObjectCanBeReused)
{
    LocalServer server(
        [](ServerPeer& peer) {
            peer.send("hello");
            peer.waitForClientClose();
        },
        2);
    RecordingHandler handler;
    TcpConnection connection(handler);
    handler.connection = &connection;

    ASSERT_EQ(connection.connect("127.0.0.1", server.port()), kSuccess);
    ASSERT_TRUE(handler.waitFor("read"));
    size_t sent = 0;
    EXPECT_EQ(connection.send("x", 1, sent), kSuccess);
    EXPECT_EQ(sent, 1u);
    EXPECT_EQ(connection.close(), kSuccess);
    size_t eventsAtClose = handler.snapshot().size();
    EXPECT_EQ(connection.send("x", 1, sent), errorFromSystem(EBADF));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(handler.snapshot().size(), eventsAtClose) << "no handler runs after close";

    // Second connection on the same object.
    ASSERT_EQ(connection.connect("127.0.0.1", server.port()), kSuccess);
    for (int i = 0; i < 200 && handler.received() != "hellohello"; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(handler.received(), "hellohello");
    EXPECT_EQ(connection.close(), kSuccess);
}

TEST(TcpConnection, ConnectWhileOpenClosesThePreviousConnectionFirst)
{
    LocalServer server(
        [](ServerPeer& peer) {
            peer.send("a");
            peer.waitForClientClose();
        },
        2);
    RecordingHandler handler;
    TcpConnection connection(handler);
    handler.connection = &connection;
    ASSERT_EQ(connection.connect("127.0.0.1", server.port()), kSuccess);
    ASSERT_TRUE(handler.waitFor("read"));
    ASSERT_EQ(connection.connect("127.0.0.1", server.port()), kSuccess);
    for (int i = 0; i < 200 && handler.received() != "aa"; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(handler.received(), "aa");
}

TEST(TcpConnection, BytesAHandlerDeclinesAreDroppedInsteadOfSpinning)
{
    struct Declining : ConnectionHandler {
        std::atomic<int> reads{0};
        std::atomic<bool> closed{false};
        void onAccept(ErrorCode) override {}
        void onClose(ErrorCode) override { closed = true; }
        void onConnect(ErrorCode) override {}
        void onRead(ErrorCode) override { ++reads; }
        void onWrite(ErrorCode) override {}
    } handler;
    LocalServer server([](ServerPeer& peer) {
        peer.send("ignored");
        peer.pause(300);
    });
    TcpConnection connection(handler);
    ASSERT_EQ(connection.connect("127.0.0.1", server.port()), kSuccess);
    for (int i = 0; i < 300 && !handler.closed; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(handler.closed);
    EXPECT_EQ(handler.reads, 1);
}
