#include "session/AccurateRipLookup.h"

#include "cdrom/device/CdDevice.h"
#include "cdrom/mmc/MmcAnswers.h"
#include "cdrom/mmc/MmcCommands.h"
#include "net/http/HttpClient.h"

#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane {

namespace {

constexpr int kHttpNotFound = 404;

bool readWholeFile(const std::string& path, std::string& bytes)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.clear();
    char block[65536];
    ssize_t n;
    while ((n = ::read(fd, block, sizeof block)) > 0 && bytes.size() <= kMaxAccurateRipBytes)
        bytes.append(block, static_cast<size_t>(n));
    ::close(fd);
    return n == 0;
}

// Temp file, fsync, rename: a reader never sees half a record.
void writeCacheFile(const std::string& folder, const std::string& name, const std::string& bytes)
{
    std::error_code ignored; // a folder that cannot be made fails the open below
    std::filesystem::create_directories(folder, ignored);
    std::string path = folder + "/" + name;
    std::string temporary = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0)
        ::unlink(temporary.c_str());
}

std::optional<std::vector<AccurateRipBlock>> parse(const std::string& bytes, const AccurateRipDiscId& id)
{
    return parseAccurateRipResponse(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), id);
}

uint32_t le32(const std::string& bytes, size_t at)
{
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

} // namespace

// Ties a request to its FetchCancel for the request's lifetime.
class FetchCancelScope {
public:
    FetchCancelScope(FetchCancel* cancel, HttpClient& client) : m_cancel(cancel)
    {
        if (m_cancel == nullptr)
            return;
        std::lock_guard lock(m_cancel->m_mutex);
        m_cancel->m_client = &client;
        if (m_cancel->m_cancelled)
            client.cancel();
    }
    ~FetchCancelScope()
    {
        if (m_cancel == nullptr)
            return;
        std::lock_guard lock(m_cancel->m_mutex);
        m_cancel->m_client = nullptr;
    }
    FetchCancelScope(const FetchCancelScope&) = delete;
    FetchCancelScope& operator=(const FetchCancelScope&) = delete;

private:
    FetchCancel* m_cancel;
};

void FetchCancel::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_client != nullptr)
        m_client->cancel();
}

bool FetchCancel::cancelled()
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

std::string accurateRipRecordProblem(const std::string& bytes, const AccurateRipDiscId& id)
{
    if (bytes.empty())
        return "an empty answer";
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kAccurateRipHeaderBytes)
            return std::to_string(bytes.size()) + " byte(s) that end inside a block header";
        auto tracks = static_cast<uint8_t>(bytes[at]);
        uint32_t id1 = le32(bytes, at + 1), id2 = le32(bytes, at + 5), id3 = le32(bytes, at + 9);
        if (tracks != id.audioTracks || id1 != id.id1 || id2 != id.id2 || id3 != id.id3) {
            char text[96];
            std::snprintf(text, sizeof text, "the record of another disc (%u tracks, %08x-%08x-%08x)", tracks, id1,
                          id2, id3);
            return text;
        }
        at += kAccurateRipHeaderBytes + size_t{tracks} * kAccurateRipEntryBytes;
        if (at > bytes.size())
            return std::to_string(bytes.size()) + " byte(s) that end inside a block";
    }
    return parse(bytes, id) ? std::string() : "blocks that do not parse";
}

std::optional<TocSnapshot> readTocSnapshot(const std::string& drive)
{
    std::optional<Toc> toc = readDriveToc(drive);
    if (!toc || toc->entries.size() < 2)
        return std::nullopt;
    TocSnapshot snapshot;
    for (const TocEntry& entry : toc->entries) {
        uint32_t frames = entry.msfFrames();
        uint32_t lba = frames >= kAccurateRipLeadInSectors ? frames - kAccurateRipLeadInSectors : 0;
        if (entry.trackNumber == kLeadOutTrack) {
            snapshot.leadOut = lba;
        } else {
            snapshot.tracks.push_back({lba, !entry.isData()});
            snapshot.numbers.push_back(entry.trackNumber);
        }
    }
    std::optional<AccurateRipDiscId> id = accurateRipDiscId(snapshot.tracks, snapshot.leadOut);
    if (!id)
        return std::nullopt;
    snapshot.id = *id;
    return snapshot;
}

AccurateRipRecord fetchAccurateRipRecord(const AccurateRipDiscId& id, const std::string& server,
                                         const std::string& cacheFolder, FetchCancel* cancel)
{
    AccurateRipRecord record;
    std::string name = accurateRipFileName(id);
    std::string bytes;
    if (!cacheFolder.empty() && readWholeFile(cacheFolder + "/" + name, bytes)) {
        if (auto blocks = parse(bytes, id)) {
            record.state = AccurateRipRecord::State::Found;
            record.blocks = std::move(*blocks);
            record.note = "record " + name + " from the cache";
            return record;
        }
    }

    std::string host = server.empty() ? std::string(kAccurateRipHost) : server;
    HttpClientOptions options;
    options.maxBodyBytes = kMaxAccurateRipBytes;
    if (size_t colon = host.rfind(':'); colon != std::string::npos) {
        uint32_t port = 0;
        std::string digits = host.substr(colon + 1);
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
            record.note = "'" + host + "' is not a host:port";
            return record;
        }
        options.port = static_cast<uint16_t>(port);
        host.resize(colon);
    }
    HttpClient client(options);
    bytes.clear();
    client.setBodyBuffer(&bytes);
    std::string where = host + ":" + std::to_string(options.port);
    FetchCancelScope scope(cancel, client);
    if (!client.get(host, accurateRipPath(id), kAccurateRipTimeoutMs)) {
        int status = client.status();
        if (status == kHttpNotFound) {
            // The database's own answer for a disc nobody has submitted.
            record.state = AccurateRipRecord::State::NoRecord;
            record.note = "not in the database (HTTP 404 for " + name + " from " + where + ")";
        } else if (client.bodyTooLarge()) {
            record.note = "answer over 1 MiB from " + where + "; not checked";
        } else if (status >= 300 && status <= 399) {
            bool tls = client.error().find("TLS") != std::string::npos;
            record.note = std::string(tls ? "redirect to https refused" : "redirect refused") + " (HTTP " +
                          std::to_string(status) + " from " + where + ": " + client.error() + "); not checked";
        } else if (status != 0) {
            record.note = "HTTP " + std::to_string(status) + " from " + where + "; not checked";
        } else {
            record.note = "no answer from " + where + " (" + client.error() + "); not checked";
        }
        return record;
    }
    std::optional<std::vector<AccurateRipBlock>> blocks = parse(bytes, id);
    if (!blocks) {
        // Never half-believed, and never taken for "not in the database" either.
        record.state = AccurateRipRecord::State::Unusable;
        record.note = "record unusable: " + accurateRipRecordProblem(bytes, id) + " (" + name + " from " + where + ")";
        return record;
    }
    if (!cacheFolder.empty())
        writeCacheFile(cacheFolder, name, bytes);
    record.state = AccurateRipRecord::State::Found;
    record.blocks = std::move(*blocks);
    record.note = "record " + name + " from " + where + " (" + std::to_string(record.blocks.size()) + " pressing(s))";
    return record;
}

} // namespace tonvane
