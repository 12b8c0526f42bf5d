#include "app/cli/MatchList.h"

#include "app/cli/TerminalText.h"

#include <cstdio>

namespace tonvane::cli {

LookupOptions lookupOptionsOf(const Options& options)
{
    LookupOptions lookup;
    lookup.musicBrainz = options.metadata != MetadataSources::Cddb;
    lookup.cddb = options.metadata != MetadataSources::MusicBrainz;
    lookup.cddbServer = options.server;
    lookup.cddbUser = options.cddbUser;
    lookup.musicBrainzServer = options.musicBrainzServer;
    lookup.coverArtServer = options.coverArtServer;
    lookup.cover = options.cover && options.command == Command::Rip;
    return lookup;
}

std::string describeMatch(const MatchList& list, size_t n)
{
    const MatchList::Entry& entry = list.entries.at(n);
    if (!entry.musicBrainz) {
        std::string text = "CDDB         " + terminalText(list.cddb.matchTitles[entry.index]);
        const std::string& year = list.cddb.matchYears[entry.index];
        return year.empty() ? text : text + " (" + terminalText(year) + ")";
    }
    const MusicBrainzMatch& match = list.musicBrainz.matches[entry.index];
    std::string details = match.date;
    if (!match.format.empty())
        details += (details.empty() ? "" : ", ") + match.format;
    if (match.discCount > 1)
        details += (details.empty() ? "disc " : ", disc ") + std::to_string(match.discNumber) + "/" +
                   std::to_string(match.discCount);
    std::string text = "MusicBrainz  " + terminalText(match.artist) + " - " + terminalText(match.title);
    if (!details.empty())
        text += " (" + terminalText(details) + ")";
    if (list.musicBrainz.fuzzy)
        text += " [similar disc]";
    return text;
}

void printMatches(const MatchList& list, std::FILE* out)
{
    std::fprintf(out, "Matches: %zu\n", list.entries.size());
    for (size_t n = 0; n < list.entries.size(); ++n)
        std::fprintf(out, "  %zu: %s\n", n, describeMatch(list, n).c_str());
}

} // namespace tonvane::cli
