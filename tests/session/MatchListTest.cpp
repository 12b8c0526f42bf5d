// The lookup of both sources given up by its caller: a CDDB server that never answers and a
// refused web service end at once as "cancelled" instead of after their time-outs.
#include "app/FakeCddbServer.h"
#include "session/MatchList.h"

#include <gtest/gtest.h>

namespace tonvane {
namespace {

TEST(MatchList, ACancelledLookupEndsWithoutWaitingForAHeldServer)
{
    test::FakeCddbServer cddb({"Alpha", "Beta", "Gamma", "Delta"});
    cddb.hold(true); // the connection waits unanswered: only the cancel (or 40 s) ends the lookup
    LookupOptions options;
    options.cddbServer = "127.0.0.1:" + std::to_string(cddb.port());
    options.musicBrainzServer = "http://127.0.0.1:9";
    auto cancel = std::make_shared<std::atomic<bool>>(true);
    options.cancel = cancel;
    ConversionJob job;
    MatchList list = lookUpMatches("demo:", options, job);
    EXPECT_FALSE(list.anySourceAnswered);
    EXPECT_TRUE(list.entries.empty());
    ASSERT_EQ(list.failures.size(), 2u);
    EXPECT_EQ(list.failures[0], "MusicBrainz lookup failed: no answer from MusicBrainz: cancelled");
    EXPECT_EQ(list.failures[1], "CDDB lookup failed: cancelled");
    cddb.hold(false);
}

} // namespace
} // namespace tonvane
