#pragma once
#include "core/ProductConfig.h"
#include "core/disc/TrackEntry.h"
#include "core/foundation/Thread.h"
#include "net/cddb/CddbProtocol.h"
#include "net/cddb/DiscToc.h"
#include "net/socket/TcpConnection.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace tonvane {

// Progress of a lookup, called on the connection's event thread (or the lookup's watchdog).
// 1 connecting, 2 connected, 3 server closed (lookup ended), 4 query sent, 5 first query reply
// line, 6 every match read, 7 connection failed or lookup timed out (lookup ended, no 3 follows).
class CddbObserver {
public:
    virtual void onCddbEvent(int code) = 0;

protected:
    ~CddbObserver() = default;
};

struct CddbClientOptions {
    uint16_t port = product::kFreeDbPort;
    uint32_t timeoutMs = 30000; // [ms] a whole lookup, connect to close
    bool debugOutput = false; // stored lines to standard error
    // "name@host" for the hello; empty: the one stored under "\FreeDB" "User", if any.
    std::string user;
    HostResolver resolver = resolveHostIpv4;
};

// Looks a disc up on a CDDB server and downloads every matching entry. The protocol runs on the
// connection's event thread; a watchdog ends a lookup that has not finished within the time-out.
// The observer must not call lookup or close from inside onCddbEvent.
class CddbClient : private ConnectionHandler, private CddbProtocol::Output {
public:
    explicit CddbClient(CddbObserver& observer, CddbClientOptions options = {});
    ~CddbClient();
    CddbClient(const CddbClient&) = delete;
    CddbClient& operator=(const CddbClient&) = delete;

    // Ends any previous lookup, forgets its matches, and starts a new one against serverHost
    // (UTF-8). False, with no event, when the table of contents is unusable.
    bool lookup(const DiscToc& toc, const std::string& serverHost);
    // The server stored under "\FreeDB" "Server" (written back when missing).
    bool lookup(const DiscToc& toc);
    // From the raw READ TOC format 0 answer (LBA form).
    bool lookup(std::span<const uint8_t> readTocAnswer, const std::string& serverHost);
    // Ends the lookup and the connection; no event follows.
    void close();

    uint32_t discId() const { return m_discId; }
    const std::string& queryCommand() const { return m_queryCommand; }
    // Valid after event 6 until the next lookup.
    const std::vector<CddbMatch>& matches() const { return m_protocol.matches(); }
    int protocolLevel() const { return m_protocol.protocolLevel(); }
    int queryReplyCode() const { return m_protocol.queryReplyCode(); }
    // DTITLE of match i, for the match chooser.
    WideString matchTitle(size_t i) const;
    // Copies match r into the tracks (see applyCddbMatch), counting titles from the looked-up
    // disc's first track.
    void apply(size_t r, std::span<TrackEntry> tracks) const;
    // After the end: why the lookup brought no entries (empty for "no match" and success).
    std::string unfinishedReason();

private:
    void onAccept(ErrorCode) override {}
    void onClose(ErrorCode error) override;
    void onConnect(ErrorCode error) override;
    void onRead(ErrorCode error) override;
    void onWrite(ErrorCode) override {}

    void send(std::string_view command) override;
    void event(int code) override;
    void storedLine(std::string_view line) override;

    void endLookup(int finalEvent); // with m_mutex held
    void startWatchdog();
    void stopWatchdog();
    void watchdogMain();

    CddbObserver& m_observer;
    CddbClientOptions m_options;
    TcpConnection m_connection;
    uint32_t m_discId = 0;
    int32_t m_firstTrack = 1;
    std::string m_queryCommand;

    std::mutex m_mutex; // the protocol and the ended flag, shared by event thread and watchdog
    CddbProtocol m_protocol;
    bool m_ended = true;

    Thread m_watchdog;
    std::mutex m_watchdogMutex;
    std::condition_variable m_watchdogWake;
    bool m_watchdogStop = false;
};

} // namespace tonvane
