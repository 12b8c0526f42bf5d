#include "net/cddb/CddbClient.h"

#include "core/settings/SettingsDefaults.h"
#include "net/cddb/CddbTransfer.h"

#include <chrono>
#include <cstdio>

namespace tonvane {

namespace {

constexpr size_t kReceiveChunk = 4096; // [bytes]

enum : int {
    kEventConnecting = 1,
    kEventConnected = 2,
    kEventServerClosed = 3,
    kEventConnectFailed = 7,
};

} // namespace

CddbClient::CddbClient(CddbObserver& observer, CddbClientOptions options)
    : m_observer(observer), m_options(std::move(options)), m_connection(*this, m_options.resolver)
{
}

CddbClient::~CddbClient()
{
    close();
}

void CddbClient::close()
{
    stopWatchdog();
    m_connection.close();
    std::lock_guard lock(m_mutex);
    m_ended = true;
}

bool CddbClient::lookup(const DiscToc& toc)
{
    return lookup(toc, settings::freeDbServer().toUtf8());
}

bool CddbClient::lookup(std::span<const uint8_t> readTocAnswer, const std::string& serverHost)
{
    std::optional<DiscToc> toc = parseReadTocFormat0(readTocAnswer);
    return toc && lookup(*toc, serverHost);
}

bool CddbClient::lookup(const DiscToc& toc, const std::string& serverHost)
{
    close();
    if (!isConsistent(toc))
        return false;
    m_discId = cddbDiscId(toc);
    m_queryCommand = cddbQueryCommand(toc);
    m_firstTrack = toc.firstTrack;
    std::string user = m_options.user;
    if (user.empty())
        user = settings::freeDbUser().toUtf8();
    {
        std::lock_guard lock(m_mutex);
        m_protocol = CddbProtocol(m_queryCommand, cddbHelloCommand(user));
        m_ended = false;
        m_observer.onCddbEvent(kEventConnecting);
    }
    ErrorCode error = m_connection.connect(serverHost, m_options.port);
    if (error != kSuccess) {
        std::lock_guard lock(m_mutex);
        endLookup(kEventConnectFailed);
        return true;
    }
    startWatchdog();
    return true;
}

WideString CddbClient::matchTitle(size_t i) const
{
    const std::vector<CddbMatch>& all = matches();
    if (i >= all.size())
        return {};
    return cddbValue(all[i], "DTITLE", protocolLevel());
}

void CddbClient::apply(size_t r, std::span<TrackEntry> tracks) const
{
    applyCddbMatch(matches(), r, protocolLevel(), tracks, m_firstTrack);
}

std::string CddbClient::unfinishedReason()
{
    std::lock_guard lock(m_mutex);
    return std::string(m_protocol.unfinishedReason());
}

void CddbClient::onConnect(ErrorCode error)
{
    std::lock_guard lock(m_mutex);
    if (m_ended)
        return;
    if (error != kSuccess)
        endLookup(kEventConnectFailed);
    else
        m_observer.onCddbEvent(kEventConnected);
}

void CddbClient::onRead(ErrorCode)
{
    std::lock_guard lock(m_mutex);
    char buffer[kReceiveChunk];
    for (;;) {
        size_t waiting = 0;
        if (m_connection.available(waiting) != kSuccess || waiting == 0)
            return;
        size_t received = 0;
        if (m_connection.receive(buffer, sizeof(buffer), received) != kSuccess || received == 0)
            return;
        if (!m_ended)
            m_protocol.receive(buffer, received, *this); // a failure has sent "quit"; the server closes
    }
}

void CddbClient::onClose(ErrorCode)
{
    std::lock_guard lock(m_mutex);
    endLookup(kEventServerClosed);
}

void CddbClient::send(std::string_view command)
{
    size_t sent = 0;
    m_connection.send(command.data(), command.size(), sent);
}

void CddbClient::event(int code)
{
    m_observer.onCddbEvent(code);
}

void CddbClient::storedLine(std::string_view line)
{
    if (m_options.debugOutput)
        std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

void CddbClient::endLookup(int finalEvent)
{
    if (m_ended)
        return;
    m_ended = true;
    m_observer.onCddbEvent(finalEvent);
    std::lock_guard lock(m_watchdogMutex);
    m_watchdogStop = true;
    m_watchdogWake.notify_all();
}

void CddbClient::startWatchdog()
{
    {
        std::lock_guard lock(m_watchdogMutex);
        m_watchdogStop = false;
    }
    startThread(m_watchdog, [](void* self) -> void* {
        static_cast<CddbClient*>(self)->watchdogMain();
        return nullptr;
    }, this);
}

void CddbClient::stopWatchdog()
{
    {
        std::lock_guard lock(m_watchdogMutex);
        m_watchdogStop = true;
        m_watchdogWake.notify_all();
    }
    m_watchdog.join();
}

void CddbClient::watchdogMain()
{
    {
        std::unique_lock lock(m_watchdogMutex);
        if (m_watchdogWake.wait_for(lock, std::chrono::milliseconds(m_options.timeoutMs), [this] { return m_watchdogStop; }))
            return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_ended)
            return;
        // After event 6 the lookup has its entries and only the server's close is missing.
        bool finished = m_protocol.state() == CddbProtocol::State::Finished;
        endLookup(finished ? kEventServerClosed : kEventConnectFailed);
    }
    m_connection.shutdown();
}

} // namespace tonvane
