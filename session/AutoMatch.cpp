#include "session/AutoMatch.h"

#include <algorithm>

namespace tonvane {

namespace {

// "CD", "Enhanced CD", "HDCD", "Copy Control CD", "CD-R", ...; not "Vinyl" or "Digital Media".
bool isCdMedium(const std::string& format)
{
    return format.empty() || format.find("CD") != std::string::npos;
}

// "1999" sorts before "1999-03" before "1999-03-02"; an unknown date after every known one.
bool earlierDate(const std::string& a, const std::string& b)
{
    if (a.empty() != b.empty())
        return !a.empty();
    return a < b;
}

} // namespace

std::string describeListedMatch(const MatchList& list, size_t n)
{
    const MatchList::Entry& entry = list.entries.at(n);
    if (!entry.musicBrainz) {
        std::string text = "CDDB " + list.cddb.matchTitles.at(entry.index);
        const std::string& year = entry.index < list.cddb.matchYears.size() ? list.cddb.matchYears[entry.index] : "";
        return year.empty() ? text : text + " (" + year + ")";
    }
    const MusicBrainzMatch& match = list.musicBrainz.matches.at(entry.index);
    std::string details = match.date.empty() ? "no date" : match.date;
    if (!match.format.empty())
        details += ", " + match.format;
    details += ", " + std::to_string(match.trackCount) + " tracks";
    if (match.discCount > 1)
        details += ", disc " + std::to_string(match.discNumber) + "/" + std::to_string(match.discCount);
    return "MusicBrainz " + match.releaseId + " " + match.artist + " - " + match.title + " (" + details + ")";
}

AutoMatchChoice chooseAutoMatch(const MatchList& list, int32_t discTrackCount)
{
    AutoMatchChoice choice;
    std::vector<size_t> releases; // entries of MusicBrainz releases for the disc id
    std::optional<size_t> firstExactCddb;
    for (size_t n = 0; n < list.entries.size(); ++n) {
        const MatchList::Entry& entry = list.entries[n];
        if (entry.musicBrainz && !list.musicBrainz.fuzzy && entry.index < list.musicBrainz.matches.size())
            releases.push_back(n);
        else if (!entry.musicBrainz && list.cddb.exact && !firstExactCddb)
            firstExactCddb = n;
    }
    auto matchOf = [&](size_t n) -> const MusicBrainzMatch& { return list.musicBrainz.matches[list.entries[n].index]; };

    if (releases.size() == 1) {
        choice.entry = releases.front();
        choice.reason = "the only MusicBrainz release for the disc id";
    } else if (releases.size() > 1) {
        std::vector<size_t> fitting;
        for (size_t n : releases)
            if (matchOf(n).trackCount == discTrackCount && isCdMedium(matchOf(n).format))
                fitting.push_back(n);
        const std::vector<size_t>& pool = fitting.empty() ? releases : fitting;
        size_t best = pool.front();
        for (size_t n : pool)
            if (earlierDate(matchOf(n).date, matchOf(best).date))
                best = n;
        choice.entry = best;
        choice.reason = std::to_string(releases.size()) + " MusicBrainz releases for the disc id, " +
                        std::to_string(fitting.size()) + " with " + std::to_string(discTrackCount) +
                        " tracks on a CD; the earliest taken";
    } else if (firstExactCddb) {
        choice.entry = firstExactCddb;
        choice.reason = "an exact CDDB match";
    } else {
        choice.reason = list.entries.empty() ? "no match" : "no MusicBrainz release for the disc id and no exact CDDB match";
    }
    for (size_t n = 0; n < list.entries.size(); ++n)
        if (!choice.entry || n != *choice.entry)
            choice.others.push_back("not taken: " + describeListedMatch(list, n));
    return choice;
}

} // namespace tonvane
