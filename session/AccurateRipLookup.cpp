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

} // namespace

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
                                         const std::string& cacheFolder)
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
    if (!client.get(host, accurateRipPath(id), kAccurateRipTimeoutMs)) {
        // The database answers 404 for a disc it has no record of: that is an answer, and the
        // tracks are "not in the database", not "not checked".
        if (client.status() == kHttpNotFound) {
            record.state = AccurateRipRecord::State::NoRecord;
            record.note = "no record " + name + " on " + where;
        } else if (client.status() != 0) {
            record.note = where + " answered HTTP " + std::to_string(client.status());
        } else {
            record.note = "no answer from " + where;
        }
        return record;
    }
    std::optional<std::vector<AccurateRipBlock>> blocks = parse(bytes, id);
    if (!blocks) {
        // A missing record comes as an error page; a damaged one is not half-believed either.
        record.state = AccurateRipRecord::State::NoRecord;
        record.note = "no usable record " + name + " on " + where;
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
