#pragma once
#include "app/cli/CommandLine.h"
#include "session/MatchList.h"

#include <cstdio>
#include <string>

namespace tonvane::cli {

// The lookup options of the command line's flags; covers only for a rip.
LookupOptions lookupOptionsOf(const Options& options);

// "  N: MusicBrainz  Artist - Album (date, format, disc 2/3)" or "  N: CDDB  DTITLE" per match.
void printMatches(const MatchList& list, std::FILE* out);
// One line naming match n, for the rip's progress output.
std::string describeMatch(const MatchList& list, size_t n);

} // namespace tonvane::cli
