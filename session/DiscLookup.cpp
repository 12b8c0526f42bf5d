#include "session/DiscLookup.h"

#include "cdrom/device/CdDevice.h"
#include "cdrom/mmc/MmcCommands.h"
#include "core/foundation/Event.h"
#include "core/settings/SettingsDefaults.h"
#include "net/cddb/CddbClient.h"
#include "net/cddb/CddbTransfer.h"
#include "net/cddb/DiscToc.h"
#include "net/musicbrainz/MusicBrainzDiscId.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <optional>

namespace tonvane {

struct LookupEntries {
    std::vector<CddbMatch> matches;
    int protocolLevel = 0;
    int32_t firstTrack = 1; // the disc's, which TTITLE0 names
};

namespace {

constexpr uint32_t kLookupWaitMs = 40000; // [ms] the client's own time-out is 30 s
constexpr uint32_t kCancelLookMs = 50; // [ms] between looks at a caller's cancel flag

} // namespace

std::optional<DiscToc> readDiscToc(const std::string& drive)
{
    std::optional<Toc> toc = readDriveToc(drive);
    if (!toc || toc->entries.empty())
        return std::nullopt;
    DiscToc disc;
    disc.firstTrack = toc->firstTrack;
    disc.lastTrack = toc->lastTrack;
    for (const TocEntry& entry : toc->entries) {
        uint32_t frames = entry.msfFrames();
        uint32_t lba = frames >= kLeadInSectors ? frames - kLeadInSectors : 0;
        if (entry.trackNumber == kLeadOutTrack) {
            disc.leadOutLba = lba;
        } else {
            DiscToc::Track track;
            track.number = entry.trackNumber;
            track.controlAdr = static_cast<uint8_t>(entry.adr << 4 | entry.control);
            track.startLba = lba;
            disc.tracks.push_back(track);
        }
    }
    if (!isConsistent(disc))
        return std::nullopt;
    return disc;
}

namespace {

class WaitingObserver : public CddbObserver {
public:
    void onCddbEvent(int code) override
    {
        if (forward)
            forward(code);
        if (code == 6)
            matchesRead = true;
        if (code == 7)
            failed = true;
        if (code == 3 || code == 7)
            ended.set();
    }
    std::function<void(int)> forward;
    Event ended;
    std::atomic<bool> matchesRead{false};
    std::atomic<bool> failed{false};
};

} // namespace

bool identifyDisc(const std::string& drive, DiscIdentity& identity)
{
    std::optional<DiscToc> toc = readDiscToc(drive);
    if (!toc)
        return false;
    char id[16];
    std::snprintf(id, sizeof id, "%08x", cddbDiscId(*toc));
    identity.discId = id;
    identity.queryLine = cddbQueryCommand(*toc);
    if (std::optional<MusicBrainzToc> musicBrainz = musicBrainzToc(*toc))
        identity.musicBrainzId = musicBrainzDiscId(*musicBrainz);
    while (!identity.queryLine.empty() && (identity.queryLine.back() == '\n' || identity.queryLine.back() == '\r'))
        identity.queryLine.pop_back();
    return true;
}

LookupOutcome lookUpDisc(const std::string& drive, const std::string& server, const std::string& user,
                         const ConversionJob&, const std::atomic<bool>* cancel,
                         const std::function<void(int code)>& onEvent)
{
    LookupOutcome outcome;
    std::optional<DiscToc> toc = readDiscToc(drive);
    if (!toc) {
        outcome.error = "the table of contents of " + drive + " could not be read";
        return outcome;
    }
    std::string host = server.empty() ? settings::freeDbServer().toUtf8() : server;
    CddbClientOptions options;
    if (size_t colon = host.rfind(':'); colon != std::string::npos) {
        uint32_t port = 0;
        std::string digits = host.substr(colon + 1);
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
            outcome.error = "'" + host + "' is not a host:port";
            return outcome;
        }
        options.port = static_cast<uint16_t>(port);
        host.resize(colon);
    }

    options.user = user;
    WaitingObserver observer;
    observer.forward = onEvent;
    CddbClient client(observer, options);
    if (!client.lookup(*toc, host)) {
        outcome.error = "the disc's table of contents is not usable for a lookup";
        return outcome;
    }
    // Waited for in short steps when the caller may cancel.
    bool ended = false;
    bool cancelled = false;
    uint32_t step = cancel != nullptr ? kCancelLookMs : kLookupWaitMs;
    for (uint32_t waited = 0; !ended && !cancelled && waited < kLookupWaitMs; waited += step) {
        ended = observer.ended.waitFor(std::chrono::milliseconds(step));
        cancelled = cancel != nullptr && cancel->load();
    }
    client.close();
    if (cancelled && !ended) {
        outcome.error = "cancelled";
        return outcome;
    }
    std::string where = host + ":" + std::to_string(options.port);
    if (!ended || observer.failed) {
        outcome.error = "no answer from " + where;
        return outcome;
    }
    if (!observer.matchesRead) {
        outcome.error = client.unfinishedReason();
        if (!outcome.error.empty()) {
            outcome.error += " (" + where + ")";
            return outcome;
        }
        outcome.ok = true;
        return outcome; // the server has no match
    }
    outcome.ok = true;
    auto entries = std::make_shared<LookupEntries>();
    entries->matches = client.matches();
    constexpr int kExactMatch = 200;
    constexpr int kExactMatches = 210;
    outcome.exact = client.queryReplyCode() == kExactMatch || client.queryReplyCode() == kExactMatches;
    entries->protocolLevel = client.protocolLevel();
    entries->firstTrack = toc->firstTrack;
    for (size_t i = 0; i < entries->matches.size(); ++i) {
        outcome.matchTitles.push_back(client.matchTitle(i).toUtf8());
        outcome.matchYears.push_back(cddbValue(entries->matches[i], "DYEAR", entries->protocolLevel).toUtf8());
    }
    outcome.entries = std::move(entries);
    return outcome;
}

void applyMatch(const LookupOutcome& outcome, int32_t match, ConversionJob& job)
{
    if (!outcome.entries || outcome.entries->matches.empty() || match < 0)
        return;
    applyCddbMatch(outcome.entries->matches, static_cast<size_t>(match), outcome.entries->protocolLevel,
                   job.tracks.get(), static_cast<size_t>(job.count), outcome.entries->firstTrack);
}

} // namespace tonvane
