#pragma once
#include "session/MatchList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// The match a rip nobody watches takes, and why.
struct AutoMatchChoice {
    std::optional<size_t> entry; // into MatchList::entries; none: the disc stays unknown
    std::string reason; // one line: "the only MusicBrainz release for the disc id", ...
    std::vector<std::string> others; // one line per match not taken
};

// The rule without questions: a single MusicBrainz release for the disc id is taken; of several,
// those whose medium holds the disc's track count and is a CD, then the earliest release date
// (an unknown date comes last, a tie keeps the server's order); without a MusicBrainz release an
// exact CDDB match (the first of several); else none. Releases found by a similar table of
// contents are not for this disc id and only listed.
AutoMatchChoice chooseAutoMatch(const MatchList& list, int32_t discTrackCount);

// One line naming entry n of the list, for logs and events.
std::string describeListedMatch(const MatchList& list, size_t n);

} // namespace tonvane
