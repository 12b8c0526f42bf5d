#include "LocalServer.h"
#include "net/cddb/CddbClient.h"
#include "net/cddb/CddbTransfer.h"

#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

using namespace tonvane;
using namespace tonvane::test;
using namespace std::chrono_literals;

namespace {

constexpr char kGreeting[] = "201 gnudb CDDBP server v1.5.2PL0 ready at Tue Dec 08 00:00:00 2026\r\n";
constexpr char kHelloOk[] = "200 Hello and welcome orval@hostname running Tonvane v0.2.\r\n";
constexpr char kHello[] = "cddb hello orval hostname Tonvane v0.2";
constexpr char kQuery[] = "cddb query 0c012a02 2 150 14270 300";

DiscToc exampleToc()
{
    DiscToc toc;
    toc.firstTrack = 1;
    toc.lastTrack = 2;
    toc.tracks = {{1, 0x10, 0}, {2, 0x10, 14120}};
    toc.leadOutLba = 22350;
    return toc;
}

// A CDDB server that follows the usual dialogue; each reply is sent as given.
struct CddbServerScript {
    std::string greeting = kGreeting;
    std::string protoReply = "200 CDDB protocol level: current 1, supported 6\r\n";
    std::string upgradeReply = "201 OK, CDDB protocol level now: 6\r\n";
    std::string queryReply;
    std::map<std::string, std::string> reads; // "cddb read cat id" -> the whole reply
    bool closeAfterQueryReply = false;

    void operator()(ServerPeer& peer) const
    {
        // The next command; false at the end (no line, or "quit", which is answered).
        std::optional<std::string> line;
        auto next = [&peer, &line] {
            line = peer.readLine();
            if (line && *line == "quit")
                peer.send("230 gnudb Closing connection.  Goodbye.\r\n");
            return line && *line != "quit";
        };
        peer.send(greeting);
        if (!next())
            return;
        peer.send(kHelloOk);
        if (!next())
            return;
        peer.send(protoReply);
        if (protoReply.starts_with("200 ")) {
            if (!next())
                return;
            peer.send(upgradeReply);
        }
        if (!next())
            return;
        peer.send(queryReply);
        if (closeAfterQueryReply)
            return;
        for (int commands = 0; commands < 200 && next(); ++commands) {
            auto found = reads.find(*line);
            peer.send(found != reads.end() ? found->second : "401 No such CD entry in database.\r\n");
            if (found != reads.end() && !found->second.ends_with(".\r\n"))
                return; // an entry cut short: hang up
        }
    }
};

std::string entry(const std::string& category, const std::string& id, const std::string& body)
{
    return "210 " + category + " " + id + " CD database entry follows (until terminating `.')\r\n# xmcd\r\n#\r\n"
           + "DISCID=" + id + "\r\n" + body + ".\r\n";
}

class EventLog : public CddbObserver {
public:
    void onCddbEvent(int code) override
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(code);
        m_changed.notify_all();
    }
    // Waits for the lookup's last event (3 or 7) and answers every event seen.
    std::vector<int> waitForEnd(std::chrono::milliseconds limit = 5s)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, limit, [this] {
            return !m_events.empty() && (m_events.back() == 3 || m_events.back() == 7);
        });
        return m_events;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_events;
};

CddbClientOptions optionsFor(const LocalServer& server)
{
    CddbClientOptions options;
    options.port = server.port();
    options.timeoutMs = 5000;
    return options;
}

std::u16string text(const WideString& value)
{
    return std::u16string(value.view());
}

} // namespace

TEST(CddbClient, ExactMatchIsReadAndApplied)
{
    CddbServerScript script;
    script.queryReply = "200 rock 0c012a02 The Artist / The Album\r\n";
    script.reads["cddb read rock 0c012a02"] = entry("rock", "0c012a02",
                                                    "DTITLE=The Artist / The Album\r\nDYEAR=1999\r\nDGENRE=Rock\r\n"
                                                    "TTITLE0=Opening\r\nTTITLE1=Closing\r\nEXTD=\r\nPLAYORDER=\r\n");
    LocalServer server(script);
    EventLog log;
    CddbClient client(log, optionsFor(server));

    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    EXPECT_EQ(client.discId(), 0x0C012A02u);
    EXPECT_EQ(log.waitForEnd(), (std::vector<int>{1, 2, 4, 5, 6, 3}));
    client.close();

    EXPECT_EQ(server.receivedLines(), (std::vector<std::string>{kHello, "proto", "proto 6", kQuery,
                                                                "cddb read rock 0c012a02", "quit"}));
    ASSERT_EQ(client.matches().size(), 1u);
    EXPECT_EQ(client.matches()[0].lines[0], "rock 0c012a02 The Artist / The Album");
    EXPECT_EQ(client.protocolLevel(), 6);

    std::vector<TrackEntry> tracks(2);
    client.apply(0, tracks);
    EXPECT_EQ(text(tracks[0].title), u"Opening");
    EXPECT_EQ(text(tracks[1].title), u"Closing");
    const TrackTags& tags = tracks[1].tags;
    EXPECT_EQ(text(tags.encoder), u"Tonvane 0.2");
    EXPECT_EQ(text(tags.title), u"Closing");
    EXPECT_EQ(text(tags.artist), u"The Artist");
    EXPECT_EQ(text(tags.composer), u"The Artist");
    EXPECT_EQ(text(tags.album), u"The Album");
    EXPECT_EQ(text(tags.year), u"1999");
    EXPECT_EQ(text(tags.genre), u"Rock");
    EXPECT_EQ(text(tags.trackNumber), u"2");
    EXPECT_TRUE(tags.discId.empty());
}

TEST(CddbClient, ThreeInexactMatchesAreReadInTurn)
{
    CddbServerScript script;
    script.queryReply = "211 Found inexact matches, list follows (until terminating `.')\r\n"
                        "rock 0c012a02 First / One\r\n"
                        "jazz 0c012a03 Second\r\n"
                        "misc 0c012a04 Third / Three\r\n.\r\n";
    script.reads["cddb read rock 0c012a02"] = entry("rock", "0c012a02", "DTITLE=First / One\r\nTTITLE0=a\r\n");
    script.reads["cddb read jazz 0c012a03"] = entry("jazz", "0c012a03", "DTITLE=Second\r\nTTITLE0=b\r\n");
    script.reads["cddb read misc 0c012a04"] = entry("misc", "0c012a04", "DTITLE=Third / Three\r\nTTITLE0=c\r\n");
    LocalServer server(script);
    EventLog log;
    CddbClient client(log, optionsFor(server));

    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    EXPECT_EQ(log.waitForEnd(), (std::vector<int>{1, 2, 4, 5, 6, 3}));
    client.close();
    std::vector<std::string> lines = server.receivedLines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[4], "cddb read rock 0c012a02");
    EXPECT_EQ(lines[5], "cddb read jazz 0c012a03");
    EXPECT_EQ(lines[6], "cddb read misc 0c012a04");
    ASSERT_EQ(client.matches().size(), 3u);
    EXPECT_EQ(text(client.matchTitle(0)), u"First / One");
    EXPECT_EQ(text(client.matchTitle(1)), u"Second");
    EXPECT_EQ(text(client.matchTitle(2)), u"Third / Three");

    std::vector<TrackEntry> tracks(1);
    client.apply(0, tracks);
    EXPECT_EQ(text(tracks[0].title), u"a");
    client.apply(1, tracks);
    EXPECT_EQ(text(tracks[0].tags.artist), u"Second") << "no \" / \": the whole title is the artist";
    EXPECT_TRUE(tracks[0].tags.album.empty());
    client.apply(7, tracks); // clamped to the last match
    EXPECT_EQ(text(tracks[0].title), u"c");
    EXPECT_EQ(text(tracks[0].tags.album), u"Three");
}

TEST(CddbClient, ANewLookupForgetsThePreviousOne)
{
    CddbServerScript found;
    found.queryReply = "200 rock 0c012a02 A / B\r\n";
    found.reads["cddb read rock 0c012a02"] = entry("rock", "0c012a02", "DTITLE=A / B\r\nTTITLE0=x\r\n");
    CddbServerScript none;
    none.queryReply = "202 No match found.\r\n";
    int served = 0;
    LocalServer server([&](ServerPeer& peer) { (served++ == 0 ? found : none)(peer); }, 2);
    EventLog first;
    CddbClientOptions options = optionsFor(server);
    struct Forward : CddbObserver {
        CddbObserver* target = nullptr;
        void onCddbEvent(int code) override { target->onCddbEvent(code); }
    } forward;
    forward.target = &first;
    CddbClient client(forward, options);
    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    ASSERT_EQ(first.waitForEnd().back(), 3);
    ASSERT_EQ(client.matches().size(), 1u);

    EventLog second;
    forward.target = &second; // no event of the first lookup can follow its end
    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    EXPECT_EQ(second.waitForEnd(), (std::vector<int>{1, 2, 4, 5, 3}));
    client.close();
    EXPECT_TRUE(client.matches().empty());
}

TEST(CddbClient, NoMatchEndsWithQuitAndNoEntries)
{
    CddbServerScript script;
    script.queryReply = "202 No match found.\r\n";
    LocalServer server(script);
    EventLog log;
    CddbClient client(log, optionsFor(server));
    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    EXPECT_EQ(log.waitForEnd(), (std::vector<int>{1, 2, 4, 5, 3}));
    client.close();
    EXPECT_EQ(server.receivedLines().back(), "quit");
    EXPECT_TRUE(client.matches().empty());
}

TEST(CddbClient, ServerAlreadyAtLevelAnswers502AndTheQueryStillGoesOut)
{
    CddbServerScript script;
    script.protoReply = "200 CDDB protocol level: current 6, supported 6\r\n";
    script.upgradeReply = "502 Protocol level already 6.\r\n";
    script.queryReply = "200 rock 0c012a02 A / B\r\n";
    script.reads["cddb read rock 0c012a02"] = entry("rock", "0c012a02", "DTITLE=A / B\r\nTTITLE0=x\r\n");
    LocalServer server(script);
    EventLog log;
    CddbClient client(log, optionsFor(server));
    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    EXPECT_EQ(log.waitForEnd(), (std::vector<int>{1, 2, 4, 5, 6, 3}));
    client.close();
    EXPECT_EQ(server.receivedLines()[3], kQuery);
    EXPECT_EQ(client.protocolLevel(), 6);
}

TEST(CddbClient, OldProtocolLevelRepliesAreLatin1AndLevel6IsUtf8)
{
    const std::string latin1Body = "DTITLE=Bj\xF6rk / D\xE9\x62ut\r\nTTITLE0=Caf\xE9\r\nTTITLE1=plain\r\n";
    {
        CddbServerScript script;
        script.protoReply = "200 CDDB protocol level: current 1, supported 5\r\n";
        script.upgradeReply = "201 OK, CDDB protocol level now: 5\r\n";
        script.queryReply = "200 misc 0c012a02 x\r\n";
        script.reads["cddb read misc 0c012a02"] = entry("misc", "0c012a02", latin1Body);
        LocalServer server(script);
        EventLog log;
        CddbClient client(log, optionsFor(server));
        ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
        ASSERT_EQ(log.waitForEnd().back(), 3);
        client.close();
        EXPECT_EQ(client.protocolLevel(), 5);
        std::vector<TrackEntry> tracks(2);
        client.apply(0, tracks);
        EXPECT_EQ(text(tracks[0].title), u"Café");
        EXPECT_EQ(text(tracks[0].tags.artist), u"Björk");
        EXPECT_EQ(text(tracks[0].tags.album), u"Début");
    }
    CddbMatch utf8;
    utf8.lines = {"misc 0c012a02 x", "TTITLE0=Caf\xC3\xA9", "TTITLE1=Caf\xE9"};
    std::vector<CddbMatch> matches{utf8};
    std::vector<TrackEntry> tracks(2);
    applyCddbMatch(matches, 0, 6, tracks);
    EXPECT_EQ(text(tracks[0].title), u"Café");
    EXPECT_EQ(text(tracks[1].title), u"Caf\uFFFD") << "level 6 promises UTF-8: bad bytes are replaced";
    applyCddbMatch(matches, 0, 1, tracks);
    EXPECT_EQ(text(tracks[0].title), u"Café") << "valid UTF-8 stays UTF-8 at any level";
}

TEST(CddbClient, SplitValuesAreJoinedAndKeysNeedTheirEqualsSign)
{
    CddbMatch match;
    match.lines = {"rock 0c012a02 x", "DTITLE=A very long artist name / and an album ", "DTITLE=title continued",
                   "dyear=2001", "DGENRE=Post", "DGENRE=-Rock"};
    for (int i = 0; i < 12; ++i)
        match.lines.push_back("TTITLE" + std::to_string(i) + "=Track " + std::to_string(i));
    match.lines.push_back("TTITLE3= and more");
    match.lines.push_back("TTITLE5"); // no "=": not a value
    std::vector<TrackEntry> tracks(12);
    applyCddbMatch({match}, 0, 6, tracks);
    EXPECT_EQ(text(tracks[3].title), u"Track 3 and more");
    EXPECT_EQ(text(tracks[1].title), u"Track 1") << "TTITLE1 must not take the TTITLE10 and TTITLE11 lines";
    EXPECT_EQ(text(tracks[10].title), u"Track 10");
    EXPECT_EQ(text(tracks[5].title), u"Track 5");
    EXPECT_EQ(text(tracks[0].tags.artist), u"A very long artist name");
    EXPECT_EQ(text(tracks[0].tags.album), u"and an album title continued");
    EXPECT_EQ(text(tracks[0].tags.year), u"2001") << "keys ignore case";
    EXPECT_EQ(text(tracks[0].tags.genre), u"Post-Rock");

    CddbMatch longValue;
    longValue.lines = {"rock 0c012a02 x", "TTITLE0=" + std::string(200, 'a'), "TTITLE0=" + std::string(200, 'b')};
    std::vector<TrackEntry> one(1);
    applyCddbMatch({longValue}, 0, 6, one);
    EXPECT_EQ(one[0].title.length(), kMaxCddbValueCharacters);
}

TEST(CddbClient, EscapesInValuesAreDecodedAfterJoining)
{
    EXPECT_EQ(decodeCddbEscapes("AC\\\\DC"), "AC\\DC");
    EXPECT_EQ(decodeCddbEscapes("one\\ntwo\\tthree"), "one\ntwo\tthree");
    EXPECT_EQ(decodeCddbEscapes("C:\\x and a last \\"), "C:\\x and a last \\") << "other backslashes stay";
    EXPECT_EQ(decodeCddbEscapes("\\\\n"), "\\n") << "an escaped backslash does not start a second escape";

    CddbMatch match;
    match.lines = {"rock 0c012a02 x", "DTITLE=AC\\\\DC / Live", "TTITLE0=Split \\", "TTITLE0=tescape",
                   "TTITLE1=Back\\\\slash"};
    std::vector<TrackEntry> tracks(2);
    applyCddbMatch({match}, 0, 6, tracks);
    EXPECT_EQ(text(tracks[0].tags.artist), u"AC\\DC");
    EXPECT_EQ(text(tracks[0].title), u"Split \tescape") << "an escape split over two lines";
    EXPECT_EQ(text(tracks[1].title), u"Back\\slash");
}

TEST(CddbClient, SilentServerEndsWithEvent7AfterTheTimeOut)
{
    LocalServer server([](ServerPeer& peer) { peer.pause(10000); });
    EventLog log;
    CddbClientOptions options = optionsFor(server);
    options.timeoutMs = 300;
    CddbClient client(log, options);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    EXPECT_EQ(log.waitForEnd(), (std::vector<int>{1, 2, 7}));
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 290ms);
    EXPECT_LT(elapsed, 4s);
}

TEST(CddbClient, StalledEntryEndsWithEvent7)
{
    CddbServerScript script;
    script.queryReply = "200 rock 0c012a02 x\r\n";
    LocalServer server([&script](ServerPeer& peer) {
        CddbServerScript stalled = script;
        stalled.reads["cddb read rock 0c012a02"] = "210 rock 0c012a02 entry follows\r\nDTITLE=x\r\n";
        // Answers the read with half an entry, then says nothing more.
        peer.send(stalled.greeting);
        peer.readLine();
        peer.send(kHelloOk);
        peer.readLine();
        peer.send("200 CDDB protocol level: current 6, supported 6\r\n");
        peer.readLine();
        peer.send("502 Protocol level already 6.\r\n");
        peer.readLine();
        peer.send(stalled.queryReply);
        peer.readLine();
        peer.send(stalled.reads["cddb read rock 0c012a02"]);
        peer.pause(10000);
    });
    EventLog log;
    CddbClientOptions options = optionsFor(server);
    options.timeoutMs = 500;
    CddbClient client(log, options);
    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    EXPECT_EQ(log.waitForEnd(), (std::vector<int>{1, 2, 4, 5, 7}));
}

TEST(CddbClient, ServerClosingMidEntryEndsWithoutEvent6)
{
    CddbServerScript script;
    script.queryReply = "200 rock 0c012a02 x\r\n";
    script.reads["cddb read rock 0c012a02"] = "210 rock 0c012a02 entry follows\r\nDTITLE=A / B\r\nTTITLE0=par";
    LocalServer server(script);
    EventLog log;
    CddbClient client(log, optionsFor(server));
    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    EXPECT_EQ(log.waitForEnd(), (std::vector<int>{1, 2, 4, 5, 3}));
}

TEST(CddbClient, GarbageAndHostileRepliesEndTheSessionWithQuit)
{
    struct Case {
        const char* what;
        std::function<void(ServerPeer&)> script;
    };
    std::string noLineEnd(70 * 1024, 'x');
    std::string manyMatches = "211 Found inexact matches\r\n";
    for (int i = 0; i < 101; ++i)
        manyMatches += "rock 0c012a02 match " + std::to_string(i) + "\r\n";
    manyMatches += ".\r\n";
    CddbServerScript hostileList;
    hostileList.queryReply = manyMatches;
    CddbServerScript badRead;
    badRead.queryReply = "200 rock 0c012a02 x\r\n";
    CddbServerScript badMatchLine;
    badMatchLine.queryReply = "211 list\r\nrock\r\n.\r\n";
    CddbServerScript oddProto;
    oddProto.protoReply = "200 CDDB protocol level: current 1234567890123, supported 6\r\n";

    std::vector<Case> cases = {
        {"binary greeting", [](ServerPeer& peer) {
             peer.send(std::string("\x01\xff\xfe garbage\r\n", 13));
         }},
        {"a line over 64 KiB", [&](ServerPeer& peer) { peer.send(noLineEnd); }},
        {"101 matches", hostileList},
        {"read answered with 401", badRead},
        {"match line without disc ID", badMatchLine},
        {"level text not as expected", oddProto},
    };
    for (const Case& c : cases) {
        LocalServer server([&c](ServerPeer& peer) {
            c.script(peer);
            for (int i = 0; i < 20 && (peer.lines().empty() || peer.lines().back() != "quit"); ++i) {
                std::optional<std::string> line = peer.readLine();
                if (!line || *line == "quit")
                    return;
            }
        });
        EventLog log;
        CddbClient client(log, optionsFor(server));
        ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
        std::vector<int> events = log.waitForEnd();
        client.close();
        ASSERT_FALSE(events.empty()) << c.what;
        EXPECT_EQ(events.back(), 3) << c.what;
        EXPECT_EQ(std::count(events.begin(), events.end(), 6), 0) << c.what;
        std::vector<std::string> lines = server.receivedLines();
        ASSERT_FALSE(lines.empty()) << c.what;
        EXPECT_EQ(lines.back(), "quit") << c.what;
    }
}

TEST(CddbClient, ConnectionFailuresGiveEvent7)
{
    EventLog refused;
    CddbClientOptions options;
    options.port = unusedLocalPort();
    CddbClient client(refused, options);
    ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
    EXPECT_EQ(refused.waitForEnd(), (std::vector<int>{1, 7}));

    EventLog unknown;
    options.resolver = [](const std::string&, in_addr&) { return false; };
    CddbClient named(unknown, options);
    ASSERT_TRUE(named.lookup(exampleToc(), "freedb.invalid"));
    EXPECT_EQ(unknown.waitForEnd(0ms), (std::vector<int>{1, 7})) << "reported before lookup returns";

    EventLog none;
    CddbClient unusable(none, options);
    DiscToc empty;
    EXPECT_FALSE(unusable.lookup(empty, "127.0.0.1"));
    EXPECT_FALSE(unusable.lookup(std::span<const uint8_t>(), "127.0.0.1"));
    EXPECT_TRUE(none.waitForEnd(0ms).empty());
}

TEST(CddbClient, DefaultServerComesFromTheSettingsAndIsWrittenBack)
{
    TempDir config;
    ScopedEnv env("XDG_CONFIG_HOME", config.path().c_str());
    CddbServerScript script;
    script.queryReply = "202 No match found.\r\n";
    LocalServer server(script);
    EventLog log;
    CddbClientOptions options = optionsFor(server);
    std::string asked;
    options.resolver = [&asked](const std::string& host, in_addr& address) {
        asked = host; // only ever the loopback address: no name service is consulted
        address.s_addr = htonl(INADDR_LOOPBACK);
        return true;
    };
    CddbClient client(log, options);
    ASSERT_TRUE(client.lookup(exampleToc()));
    EXPECT_EQ(log.waitForEnd().back(), 3);
    client.close();
    EXPECT_EQ(asked, "gnudb.gnudb.org");
    WideString stored;
    ASSERT_TRUE(settings::readString(product::kProductKey, settings::kFreeDbKey, settings::kValueServer, stored));
    EXPECT_EQ(text(stored), u"gnudb.gnudb.org");
}

TEST(CddbProtocol, LevelLineMustHaveTheSupportedLevelNearby)
{
    struct Sink : CddbProtocol::Output {
        std::vector<std::string> sent;
        std::vector<int> events;
        void send(std::string_view command) override { sent.emplace_back(command); }
        void event(int code) override { events.push_back(code); }
    };
    auto run = [](std::vector<std::string> lines) {
        Sink sink;
        CddbProtocol protocol("cddb query x\r\n");
        for (const std::string& line : lines)
            protocol.handleLine(line, sink);
        return sink.sent;
    };
    EXPECT_EQ(run({"201 ready", "200 hi", "200 CDDB protocol level: current 1, supported 6"}).back(), "proto 6\r\n");
    EXPECT_EQ(run({"201 ready", "200 hi", "200 CDDB protocol level: current 12345678901, supported 6"}).back(), "quit\r\n");
    EXPECT_EQ(run({"201 ready", "200 hi", "200 CDDB protocol level: current 1; supported 6"}).back(), "quit\r\n");
    EXPECT_EQ(run({"201 ready", "200 hi", "200 cddb protocol level: current 1, supported 6"}).back(), "quit\r\n");
    EXPECT_EQ(run({"201 ready", "200 hi", "201 OK"}).back(), "cddb query x\r\n");
    EXPECT_EQ(run({"201 ready", "200 hi", "200 CDDB protocol level: current 1, supported 6",
                   "200 CDDB protocol level: current 1, supported 6"})
                  .back(),
              "quit\r\n")
        << "a server that never changes level does not keep the client asking";
    std::vector<std::string> afterFailure = run({"500 no", "201 ready", "200 hi"});
    EXPECT_EQ(afterFailure, (std::vector<std::string>{"quit\r\n"})) << "nothing is processed after a failure";
}

TEST(CddbProtocol, EntryTextIsLimitedTo4MiB)
{
    struct Sink : CddbProtocol::Output {
        std::string lastSent;
        std::vector<int> events;
        void send(std::string_view command) override { lastSent = command; }
        void event(int code) override { events.push_back(code); }
    } sink;
    CddbProtocol protocol("cddb query 0c012a02 2 150 14270 300\r\n");
    std::string start = "201 ready\r\n200 hi\r\n201 OK\r\n200 rock 0c012a02 x\r\n210 rock 0c012a02 entry\r\n";
    ASSERT_TRUE(protocol.receive(start.data(), start.size(), sink));
    std::string line = "EXTD=" + std::string(60 * 1024, 'e') + "\r\n";
    bool alive = true;
    int sent = 0;
    for (; sent < 200 && alive; ++sent)
        alive = protocol.receive(line.data(), line.size(), sink);
    EXPECT_FALSE(alive);
    EXPECT_LE(sent * line.size(), CddbProtocol::kMaxEntryTextBytes + 2 * line.size());
    EXPECT_EQ(sink.lastSent, "quit\r\n");
    EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), 6), 0);
}

TEST(CddbClient, TitlesCountEveryDiscTrackDataTracksIncluded)
{
    // TTITLEn is the n-th track of the disc from its first; the track list holds audio only.
    CddbMatch match;
    match.lines = {"misc 0c012a02 x", "DTITLE=A / B", "TTITLE0=Data", "TTITLE1=One", "TTITLE2=Two",
                   "TTITLE3=Middle data", "TTITLE4=Four", "TTITLE5=Trailing data"};
    struct Case {
        const char* layout;
        int32_t firstTrack;
        std::vector<int32_t> audioNumbers;
        std::vector<std::u16string> titles;
    } cases[] = {
        {"data first", 1, {2, 3}, {u"One", u"Two"}},
        {"data in the middle and at the end", 1, {1, 2, 3, 5}, {u"Data", u"One", u"Two", u"Four"}},
        {"disc numbered from 3", 3, {4, 5}, {u"One", u"Two"}},
    };
    for (const Case& c : cases) {
        std::vector<TrackEntry> tracks(c.audioNumbers.size());
        for (size_t i = 0; i < tracks.size(); ++i)
            tracks[i].trackNumber = c.audioNumbers[i];
        applyCddbMatch({match}, 0, 6, tracks, c.firstTrack);
        for (size_t i = 0; i < tracks.size(); ++i) {
            EXPECT_EQ(text(tracks[i].title), c.titles[i]) << c.layout << ", track " << c.audioNumbers[i];
            EXPECT_EQ(tracks[i].tags.trackNumber.toUtf8(), std::to_string(c.audioNumbers[i])) << c.layout;
        }
    }
}

TEST(CddbClient, HelloCarriesTheUsersAddressWhenOneIsGiven)
{
    EXPECT_EQ(cddbHelloCommand(""), std::string(kHello) + "\r\n");
    EXPECT_EQ(cddbHelloCommand("ana@example.org"), "cddb hello ana example.org Tonvane v0.2\r\n");
    for (const char* unusable : {"ana", "@example.org", "ana@", "an a@example.org", "ana@ex@ample", "ana@host\r\nquit"})
        EXPECT_EQ(cddbHelloCommand(unusable), std::string(kHello) + "\r\n") << unusable;

    // The stored "User" reaches the server when no user is given for the lookup.
    TempDir config;
    ScopedEnv env("XDG_CONFIG_HOME", config.path().c_str());
    ASSERT_TRUE(settings::writeString(product::kProductKey, settings::kFreeDbKey, settings::kValueUser, u"bo@host.example"));
    CddbServerScript script;
    script.queryReply = "202 No match found\r\n";
    for (const std::string& user : {std::string(), std::string("cli@given.example")}) {
        LocalServer server(script);
        EventLog log;
        CddbClientOptions options = optionsFor(server);
        options.user = user;
        CddbClient client(log, options);
        ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
        ASSERT_EQ(log.waitForEnd().back(), 3);
        client.close();
        EXPECT_EQ(client.unfinishedReason(), "") << "202 is an answer: no match";
        ASSERT_FALSE(server.receivedLines().empty());
        EXPECT_EQ(server.receivedLines()[0], user.empty() ? "cddb hello bo host.example Tonvane v0.2"
                                                          : "cddb hello cli given.example Tonvane v0.2");
    }
}

TEST(CddbClient, SessionsThatEndEarlySayWhy)
{
    struct Case {
        const char* what;
        CddbServerScript script;
        const char* reason;
    };
    CddbServerScript cutEntry;
    cutEntry.queryReply = "200 rock 0c012a02 The Artist / The Album\r\n";
    cutEntry.reads["cddb read rock 0c012a02"] =
        "210 rock 0c012a02 CD database entry follows\r\n# xmcd\r\nDTITLE=The Artist / The Album\r\nTTITLE0=Op";
    CddbServerScript cutList;
    cutList.queryReply = "211 close matches found\r\nrock 0c012a02 One\r\n";
    cutList.closeAfterQueryReply = true;
    CddbServerScript refused;
    refused.queryReply = "403 Database entry is corrupt\r\n";
    std::vector<Case> cases = {{"entry cut", cutEntry, "the connection ended in the middle of an entry"},
                               {"match list cut", cutList, "the list of matches was cut short"},
                               {"query refused", refused, "the server refused the query"}};
    for (const Case& c : cases) {
        LocalServer server(c.script);
        EventLog log;
        CddbClient client(log, optionsFor(server));
        ASSERT_TRUE(client.lookup(exampleToc(), "127.0.0.1"));
        std::vector<int> events = log.waitForEnd();
        client.close();
        EXPECT_EQ(std::count(events.begin(), events.end(), 6), 0) << c.what;
        EXPECT_EQ(client.unfinishedReason(), c.reason) << c.what;
    }
}
