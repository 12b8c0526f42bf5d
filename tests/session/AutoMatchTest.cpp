// The match a station takes without asking, over lists built as the lookups build them.
#include "session/AutoMatch.h"

#include <gtest/gtest.h>

using namespace tonvane;

namespace {

struct Release {
    const char* id;
    const char* date;
    const char* format;
    int32_t trackCount;
};

MatchList listOf(std::vector<Release> releases, std::vector<const char*> cddbTitles, bool cddbExact,
                 bool fuzzy = false)
{
    MatchList list;
    list.musicBrainz.ok = true;
    list.musicBrainz.fuzzy = fuzzy;
    for (const Release& release : releases) {
        MusicBrainzMatch match;
        match.releaseId = release.id;
        match.title = std::string("Album ") + release.id;
        match.artist = "Artist";
        match.date = release.date;
        match.format = release.format;
        match.trackCount = release.trackCount;
        list.musicBrainz.matches.push_back(match);
        list.entries.push_back({true, list.musicBrainz.matches.size() - 1});
    }
    list.cddb.ok = true;
    list.cddb.exact = cddbExact;
    for (const char* title : cddbTitles) {
        list.cddb.matchTitles.push_back(title);
        list.cddb.matchYears.push_back("");
        list.entries.push_back({false, list.cddb.matchTitles.size() - 1});
    }
    list.anySourceAnswered = true;
    return list;
}

} // namespace

TEST(AutoMatch, ChoosesByTheRulesWithoutAsking)
{
    struct Case {
        const char* name;
        MatchList list;
        int32_t discTracks;
        std::optional<size_t> chosen;
    } cases[] = {
        {"one release", listOf({{"r1", "2001", "CD", 9}}, {"A / B"}, true), 12, 0},
        {"track count decides", listOf({{"r1", "1990", "CD", 10}, {"r2", "1999", "CD", 12}}, {}, false), 12, 1},
        {"medium decides", listOf({{"r1", "1980", "Vinyl", 12}, {"r2", "1995-05", "Enhanced CD", 12}}, {}, false), 12, 1},
        {"earliest of the fitting",
         listOf({{"r1", "2003-01-01", "CD", 12}, {"r2", "1998-11", "CD", 12}, {"r3", "1998-11-02", "CD", 12}}, {},
                false),
         12, 1},
        {"unknown date last", listOf({{"r1", "", "CD", 12}, {"r2", "2010", "CD", 12}}, {}, false), 12, 1},
        {"tie keeps the server's order", listOf({{"r1", "2000", "CD", 12}, {"r2", "2000", "CD", 12}}, {}, false), 12, 0},
        {"none fits: earliest of all", listOf({{"r1", "2005", "CD", 9}, {"r2", "2001", "Vinyl", 10}}, {}, false), 12, 1},
        {"exact cddb without a release", listOf({}, {"X / Y", "X / Z"}, true), 12, 0},
        {"inexact cddb only", listOf({}, {"X / Y"}, false), 12, std::nullopt},
        {"similar discs are not for this id", listOf({{"r1", "2000", "CD", 12}}, {}, false, true), 12, std::nullopt},
        {"similar discs give way to exact cddb", listOf({{"r1", "2000", "CD", 12}}, {"X / Y"}, true, true), 12, 1},
        {"nothing", listOf({}, {}, false), 12, std::nullopt},
    };
    for (const Case& c : cases) {
        AutoMatchChoice choice = chooseAutoMatch(c.list, c.discTracks);
        EXPECT_EQ(choice.entry, c.chosen) << c.name;
        EXPECT_FALSE(choice.reason.empty()) << c.name;
        // Every entry not taken is named once.
        size_t notTaken = c.list.entries.size() - (choice.entry ? 1 : 0);
        EXPECT_EQ(choice.others.size(), notTaken) << c.name;
    }
}

TEST(AutoMatch, TheOthersAreNamedWithWhatTellsThemApart)
{
    MatchList list = listOf({{"r1", "2003", "CD", 12}, {"r2", "1998", "Vinyl", 12}}, {"Band / Record"}, true);
    list.cddb.matchYears[0] = "1997";
    AutoMatchChoice choice = chooseAutoMatch(list, 12);
    ASSERT_EQ(choice.entry, std::optional<size_t>(0));
    ASSERT_EQ(choice.others.size(), 2u);
    EXPECT_EQ(choice.others[0], "not taken: MusicBrainz r2 Artist - Album r2 (1998, Vinyl, 12 tracks)");
    EXPECT_EQ(choice.others[1], "not taken: CDDB Band / Record (1997)");
    EXPECT_NE(choice.reason.find("2 MusicBrainz releases"), std::string::npos) << choice.reason;
}
