// The AccurateRip record fetched on a thread of its own: from a server on 127.0.0.1, then from
// the cache the first fetch wrote; a disc the server does not know (404) has no record, a server
// that refuses gives no answer.
#include "app/FakeHttpServer.h"
#include "session/AccurateRipFetch.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tonvane;
using namespace tonvane::test;

namespace {

// Three audio tracks.
AccurateRipDiscId threeTrackId()
{
    const DiscIdTrack tracks[] = {{0, true}, {15000, true}, {33000, true}};
    return *accurateRipDiscId(tracks, 52000);
}

void putLe32(std::string& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// One pressing: track t has confidence t + 3, CRC 0xA0000000 + t, sector-450 CRC 0xB0000000 + t.
std::string record(const AccurateRipDiscId& id)
{
    std::string bytes(1, static_cast<char>(id.audioTracks));
    putLe32(bytes, id.id1);
    putLe32(bytes, id.id2);
    putLe32(bytes, id.id3);
    for (uint32_t t = 0; t < id.audioTracks; ++t) {
        bytes.push_back(static_cast<char>(t + 3));
        putLe32(bytes, 0xA0000000u + t);
        putLe32(bytes, 0xB0000000u + t);
    }
    return bytes;
}

TEST(AccurateRipFetch, RecordFromTheServerThenFromTheCacheOrWhyThereIsNone)
{
    const AccurateRipDiscId id = threeTrackId();
    TempDir cache;
    FakeHttpServer server(accurateRipPath(id), record(id));
    // The database's answer for a disc it does not know is 404; a page in place of a record is
    // not believed either.
    FakeHttpServer otherDisc("/accuraterip/0/0/0/dBAR-003-00000000-00000000-00000000.bin", record(id));
    FakeHttpServer pageServer(accurateRipPath(id), "<html>Service moved</html>");
    const std::string refused = "127.0.0.1:1";
    struct Case {
        const char* what;
        std::string server;
        std::string cacheFolder;
        AccurateRipRecord::State state;
        std::string note; // a part of it
    };
    const Case cases[] = {
        {"server", server.address(), cache.path(), AccurateRipRecord::State::Found, "(1 pressing(s))"},
        {"cache", refused, cache.path(), AccurateRipRecord::State::Found, "from the cache"},
        {"404", otherDisc.address(), "", AccurateRipRecord::State::NoRecord, "not in the database (HTTP 404"},
        {"not a record", pageServer.address(), "", AccurateRipRecord::State::Unusable, "record unusable"},
        {"refused", refused, "", AccurateRipRecord::State::NotChecked, "no answer from 127.0.0.1:1"},
    };
    for (const Case& c : cases) {
        AccurateRipFetch fetch(id, c.server, c.cacheFolder);
        AccurateRipRecord got = fetch.finish();
        EXPECT_EQ(got.state, c.state) << c.what << ": " << got.note;
        EXPECT_NE(got.note.find(c.note), std::string::npos) << c.what << ": " << got.note;
        if (c.state != AccurateRipRecord::State::Found)
            continue;
        ASSERT_EQ(got.blocks.size(), 1u) << c.what;
        ASSERT_EQ(got.blocks[0].size(), 3u) << c.what;
        for (uint32_t t = 0; t < 3; ++t) {
            EXPECT_EQ(got.blocks[0][t].confidence, t + 3) << c.what;
            EXPECT_EQ(got.blocks[0][t].crc, 0xA0000000u + t) << c.what;
            EXPECT_EQ(got.blocks[0][t].frame450Crc, 0xB0000000u + t) << c.what;
        }
    }
    EXPECT_EQ(server.paths(), std::vector<std::string>{accurateRipPath(id)}) << "the cache answered the second time";
    EXPECT_EQ(readFile(cache.path() + "/" + accurateRipFileName(id)), record(id));
    // Nothing but the record is left in the cache folder: its temporary file was renamed.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(cache.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

// A fetch that is never asked for its record is waited for when it goes out of scope.
TEST(AccurateRipFetch, UnfinishedFetchIsJoinedOnDestruction)
{
    const AccurateRipDiscId id = threeTrackId();
    FakeHttpServer server(accurateRipPath(id), record(id));
    server.holdAnswersUntil([] { return false; }, 300); // [ms] the answer comes late
    { AccurateRipFetch fetch(id, server.address(), ""); }
    EXPECT_EQ(server.paths(), std::vector<std::string>{accurateRipPath(id)});
}

} // namespace
