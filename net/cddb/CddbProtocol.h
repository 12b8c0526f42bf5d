#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonvane {

// "cddb hello <user> <host> Tonvane v0.2\r\n". user is "name@host" as the user gave it (the
// servers ask for a real address); without one, or when either part is empty or holds a space or
// a control character, the program's anonymous greeting "orval hostname" is used.
std::string cddbHelloCommand(std::string_view user);

// One match of a query: its match line from the query reply ("category discid title"), then
// the lines of its database entry, as received (8-bit).
struct CddbMatch {
    std::vector<std::string> lines;
};

// The client side of a CDDB session as a line machine, free of sockets: received bytes go in,
// commands to send and progress events come out. Events 4, 5 and 6 are raised here; the
// connection events (1, 2, 3, 7) belong to the client that owns the socket.
class CddbProtocol {
public:
    enum class State : uint8_t {
        WaitGreeting = 1,
        HelloSent = 2,
        Protocol = 3,
        QuerySent = 4,
        MatchList = 5,
        Reading = 6,
        Finished = 7,
    };

    static constexpr size_t kMaxLineBytes = 64 * 1024; // [bytes] longer lines end the session
    static constexpr size_t kMaxMatches = 100;
    static constexpr size_t kMaxEntryTextBytes = 4 * 1024 * 1024; // [bytes] all stored lines together
    // Protocol level from which servers send UTF-8; below it entries are ISO-8859-1.
    static constexpr int kUtf8ProtocolLevel = 6;

    class Output {
    public:
        virtual void send(std::string_view command) = 0;
        virtual void event(int code) = 0;
        // Every stored line (new match or appended entry line), for the debug output.
        virtual void storedLine(std::string_view) {}

    protected:
        ~Output() = default;
    };

    // helloCommand: the whole "cddb hello ..." line (see cddbHelloCommand).
    explicit CddbProtocol(std::string queryCommand = {}, std::string helloCommand = cddbHelloCommand({}));

    // Appends received bytes and runs every complete "\r\n" line through the machine. Answers
    // false once the session has failed ("quit" has then been sent, further input is ignored).
    bool receive(const char* bytes, size_t count, Output& out);
    // One line without its "\r\n".
    bool handleLine(std::string_view line, Output& out);

    State state() const { return m_state; }
    bool failed() const { return m_failed; }
    // Level the server speaks after the proto exchange (1 until known).
    int protocolLevel() const { return m_protocolLevel; }
    // The query's reply code: 200 one exact match, 210 exact matches, 211 inexact ones, 0 none yet.
    int queryReplyCode() const { return m_queryReplyCode; }
    const std::vector<CddbMatch>& matches() const { return m_matches; }
    // Why a session that ended before Finished gave no entries; empty once Finished, and when
    // the server answered the query with "no match" (202).
    std::string_view unfinishedReason() const;
    std::vector<CddbMatch> takeMatches() { return std::move(m_matches); }

private:
    bool fail(Output& out);
    bool startReading(Output& out);
    bool store(std::string_view line, bool newMatch, Output& out);
    bool handleProtocolReply(int code, std::string_view line, Output& out);

    std::string m_queryCommand;
    std::string m_helloCommand;
    std::string m_lineBuffer;
    State m_state = State::WaitGreeting;
    bool m_failed = false;
    bool m_protoRequested = false; // "proto N" sent, its answer pending
    bool m_awaitReadReply = false; // "cddb read" sent, its 210 line pending
    int m_requestedLevel = 0;
    int m_queryReplyCode = 0; // 0 until the query's first reply line; -1 when it had no code
    int m_protocolLevel = 1;
    size_t m_matchIndex = 0;
    size_t m_storedBytes = 0;
    std::vector<CddbMatch> m_matches;
};

// The leading decimal reply code of a line, or -1 when it has none.
int cddbReplyCode(std::string_view line);

} // namespace tonvane
