#pragma once
#include "core/disc/ConversionJob.h"

#include "net/cddb/DiscToc.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvane::cli {

// The freedb disc ID of the disc in drive (8 hex digits) and the "cddb query" line for it.
struct DiscIdentity {
    std::string discId;
    std::string queryLine;
};
bool identifyDisc(const std::string& drive, DiscIdentity& identity);

// The disc's table of contents in the form the disc ID wants, read with READ TOC.
std::optional<DiscToc> readDiscToc(const std::string& drive);

struct LookupEntries; // the read entries of every match

struct LookupOutcome {
    bool ok = false;
    std::string error; // why the lookup failed
    std::vector<std::string> matchTitles; // DTITLE of each match, in the server's order
    std::shared_ptr<LookupEntries> entries;
};

// Looks the disc up on server ("host" or "host:port"; empty = the stored "Server") with the
// CDDB client and reads every match. Blocks until the client reports the end.
LookupOutcome lookUpDisc(const std::string& drive, const std::string& server, const ConversionJob& job);
// Copies match number match (0-based) into the job's titles and tags.
void applyMatch(const LookupOutcome& outcome, int32_t match, ConversionJob& job);

} // namespace tonvane::cli
