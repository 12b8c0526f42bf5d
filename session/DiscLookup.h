#pragma once
#include "core/disc/ConversionJob.h"
#include "net/cddb/DiscToc.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// The freedb disc ID of the disc in drive (8 hex digits) and the "cddb query" line for it, and
// the MusicBrainz disc id (empty when the disc has no audio session it can name).
struct DiscIdentity {
    std::string discId;
    std::string queryLine;
    std::string musicBrainzId;
};
bool identifyDisc(const std::string& drive, DiscIdentity& identity);

// The disc's table of contents from READ TOC (MSF form), every track with its control bits.
std::optional<DiscToc> readDiscToc(const std::string& drive);

struct LookupEntries; // the read entries of every match

struct LookupOutcome {
    bool ok = false;
    std::string error; // why the lookup failed
    std::vector<std::string> matchTitles; // DTITLE of each match, in the server's order
    std::vector<std::string> matchYears; // DYEAR of each match (may be empty)
    bool exact = false; // the server called its matches exact (200, 210), not similar discs (211)
    std::shared_ptr<LookupEntries> entries;
};

// Looks the disc up on server ("host" or "host:port"; empty = the stored "Server") with the
// CDDB client and reads every match; user ("name@host", empty = the stored "User") goes into
// the hello. Blocks until the client reports the end, or until cancel is set (a failure,
// "cancelled"). A session that ended before its last entry is a failure, not "no match".
// onEvent, when given, hears each of the client's events (CddbObserver codes) on its event
// thread, under its lock: it must not wait.
LookupOutcome lookUpDisc(const std::string& drive, const std::string& server, const std::string& user,
                         const ConversionJob& job, const std::atomic<bool>* cancel = nullptr,
                         const std::function<void(int code)>& onEvent = {});
// Copies match number match (0-based) into the job's titles and tags.
void applyMatch(const LookupOutcome& outcome, int32_t match, ConversionJob& job);

} // namespace tonvane
