// What the AccurateRip lookup makes of each kind of answer a database server can give, served on
// 127.0.0.1: only a 404 is "not in the database"; every other failure keeps its reason.
#include "session/AccurateRipLookup.h"
#include "app/FakeHttpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tonvane;
using namespace tonvane::test;

namespace {

AccurateRipDiscId discId(uint32_t shift)
{
    std::vector<DiscIdTrack> tracks = {{0, true}, {20000 + shift, true}, {45000, true}};
    return *accurateRipDiscId(tracks, 90000);
}

void putLe32(std::string& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// One pressing of id whose three entries carry confidence 3.
std::string record(const AccurateRipDiscId& id)
{
    std::string bytes(1, static_cast<char>(id.audioTracks));
    putLe32(bytes, id.id1);
    putLe32(bytes, id.id2);
    putLe32(bytes, id.id3);
    for (uint32_t t = 0; t < id.audioTracks; ++t) {
        bytes.push_back(3);
        putLe32(bytes, 0x1000 + t);
        putLe32(bytes, 0x2000 + t);
    }
    return bytes;
}

} // namespace

TEST(AccurateRipLookup, EveryAnswerGetsItsOwnStateAndReason)
{
    const AccurateRipDiscId id = discId(0);
    const std::string path = accurateRipPath(id);
    const std::string good = record(id);
    struct Case {
        const char* what;
        std::string servedPath;
        std::string body;
        std::string head;
        AccurateRipRecord::State state;
        const char* note; // must appear in the note
        const char* verdict; // of every track when the record does not judge
    } cases[] = {
        {"a record", path, good, "HTTP/1.1 200 OK\r\n", AccurateRipRecord::State::Found, "1 pressing(s)", nullptr},
        {"404", "/elsewhere", "", "", AccurateRipRecord::State::NoRecord, "not in the database (HTTP 404", nullptr},
        {"500", path, "oops", "HTTP/1.1 500 Internal Server Error\r\n", AccurateRipRecord::State::NotChecked,
         "HTTP 500", "not checked"},
        {"redirect", path, "", "HTTP/1.1 301 Moved Permanently\r\nLocation: https://example.invalid/x.bin\r\n",
         AccurateRipRecord::State::NotChecked, "redirect to https refused", "not checked"},
        {"oversize", path, std::string((1 << 20) + 1, 'x'), "HTTP/1.1 200 OK\r\n",
         AccurateRipRecord::State::NotChecked, "answer over 1 MiB", "not checked"},
        {"cut block", path, good.substr(0, good.size() - 4), "HTTP/1.1 200 OK\r\n",
         AccurateRipRecord::State::Unusable, "record unusable: 36 byte(s) that end inside a block",
         "record unusable"},
        {"another disc", path, record(discId(7)), "HTTP/1.1 200 OK\r\n", AccurateRipRecord::State::Unusable,
         "record unusable: the record of another disc", "record unusable"},
        {"empty", path, "", "HTTP/1.1 200 OK\r\n", AccurateRipRecord::State::Unusable,
         "record unusable: an empty answer", "record unusable"},
    };
    for (const Case& c : cases) {
        TempDir cache;
        FakeHttpServer server(c.servedPath, c.body, c.head);
        AccurateRipRecord result = fetchAccurateRipRecord(id, server.address(), cache.path());
        EXPECT_EQ(result.state, c.state) << c.what << ": " << result.note;
        EXPECT_NE(result.note.find(c.note), std::string::npos) << c.what << ": " << result.note;
        EXPECT_EQ(result.note.find("not in the database") != std::string::npos,
                  c.state == AccurateRipRecord::State::NoRecord)
            << c.what << ": " << result.note;
        if (c.verdict) {
            EXPECT_FALSE(result.judges()) << c.what;
            EXPECT_STREQ(result.unjudgedVerdict(), c.verdict) << c.what;
        } else {
            EXPECT_TRUE(result.judges()) << c.what;
        }
        // Only a record that parses is cached; anything else is asked for again next time.
        bool cached = std::filesystem::exists(cache.path() + "/" + accurateRipFileName(id));
        EXPECT_EQ(cached, c.state == AccurateRipRecord::State::Found) << c.what;
    }
}

TEST(AccurateRipLookup, ACachedRecordIsUsedWithoutAskingAndADamagedOneIsAskedAgain)
{
    const AccurateRipDiscId id = discId(0);
    TempDir cache;
    FakeHttpServer server(accurateRipPath(id), record(id));
    ASSERT_EQ(fetchAccurateRipRecord(id, server.address(), cache.path()).state, AccurateRipRecord::State::Found);
    AccurateRipRecord again = fetchAccurateRipRecord(id, server.address(), cache.path());
    EXPECT_EQ(again.state, AccurateRipRecord::State::Found);
    EXPECT_NE(again.note.find("from the cache"), std::string::npos) << again.note;
    EXPECT_EQ(server.paths().size(), 1u);

    writeFile(cache.path() + "/" + accurateRipFileName(id), "damaged");
    AccurateRipRecord fresh = fetchAccurateRipRecord(id, server.address(), cache.path());
    EXPECT_EQ(fresh.state, AccurateRipRecord::State::Found);
    EXPECT_EQ(server.paths().size(), 2u);
}
