#include "LocalServer.h"
#include "net/musicbrainz/CoverArtClient.h"
#include "net/musicbrainz/MusicBrainzClient.h"
#include "net/musicbrainz/MusicBrainzJson.h"
#include "net/musicbrainz/MusicBrainzTransfer.h"
#include "net/musicbrainz/Sha1.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <functional>
#include <memory>
#include <mutex>

using namespace tonvane;
using namespace tonvane::test;
using namespace std::chrono_literals;

namespace {

std::string hexOf(const Sha1Digest& digest)
{
    std::string text;
    char pair[3];
    for (uint8_t byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

// Three audio tracks; the MusicBrainz offsets are 150, 21150, 42150 and the lead-out 63150.
MusicBrainzToc threeTrackToc()
{
    DiscToc toc;
    toc.firstTrack = 1;
    toc.lastTrack = 3;
    toc.tracks = {{1, 0x10, 0}, {2, 0x10, 21000}, {3, 0x10, 42000}};
    toc.leadOutLba = 63000;
    return musicBrainzToc(toc).value();
}

// A recorded reply with this disc's id in place of @DISCID@.
std::string recorded(const std::string& name)
{
    std::string json = readFile(std::string(TONVANE_SOURCE_DIR) + "/tests/net/musicbrainz/" + name + ".json");
    std::string id = musicBrainzDiscId(threeTrackToc());
    for (size_t at = json.find("@DISCID@"); at != std::string::npos; at = json.find("@DISCID@", at))
        json.replace(at, 8, id);
    return json;
}

std::string reply(const std::string& status, const std::string& body, const std::string& extra = {})
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + extra + "\r\n" + body;
}

const std::string kNotFound = reply("404 Not Found", "{\"error\":\"Not Found\",\"help\":\"For usage, see ...\"}");

struct Request {
    std::string head;
    std::chrono::steady_clock::time_point at;
};

// A web service on 127.0.0.1: answer(n, head) gives the n-th request's whole reply.
class FakeMusicBrainz {
public:
    explicit FakeMusicBrainz(std::function<std::string(int, const std::string&)> answer)
        : m_answer(std::move(answer)), m_server([this](ServerPeer& peer) { serve(peer); }, 4)
    {
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_server.port()); }
    std::vector<Request> requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void serve(ServerPeer& peer)
    {
        std::optional<std::string> head = peer.readRequestHead();
        if (!head)
            return;
        int n = 0;
        {
            std::lock_guard lock(m_mutex);
            n = static_cast<int>(m_requests.size());
            m_requests.push_back({*head, std::chrono::steady_clock::now()});
        }
        peer.send(m_answer(n, *head));
        peer.waitForClientClose(3000);
    }

    std::function<std::string(int, const std::string&)> m_answer;
    std::mutex m_mutex;
    std::vector<Request> m_requests;
    LocalServer m_server;
};

MusicBrainzLookup lookUp(FakeMusicBrainz& server)
{
    MusicBrainzOptions options;
    options.server = server.url();
    options.timeoutMs = 5000;
    return lookUpMusicBrainz(threeTrackToc(), 3, options);
}

std::u16string text(const WideString& value)
{
    return std::u16string(value.view());
}

} // namespace

TEST(MusicBrainz, Sha1MatchesTheStandardVectors)
{
    EXPECT_EQ(hexOf(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hexOf(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hexOf(sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(hexOf(sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(MusicBrainz, RecordedRepliesGiveTheirMatches)
{
    struct Case {
        const char* what;
        std::function<std::string(int, const std::string&)> answer;
        size_t matches;
        bool fuzzy;
        const char* firstTitle;
        int32_t disc, discs;
    };
    std::vector<Case> cases = {
        {"exact", [](int, const std::string&) { return reply("200 OK", recorded("exact")); }, 1, false,
         "Café Tonvane", 1, 1},
        {"two releases", [](int, const std::string&) { return reply("200 OK", recorded("two-releases")); }, 2, false,
         "Café Tonvane", 1, 1},
        {"second disc of two", [](int, const std::string&) { return reply("200 OK", recorded("multi-disc")); }, 1,
         false, "Two Discs", 2, 2},
        {"fuzzy by table of contents",
         [](int n, const std::string&) { return n == 0 ? kNotFound : reply("200 OK", recorded("fuzzy")); }, 1, true,
         "Close Enough", 2, 2},
        {"unknown everywhere", [](int, const std::string&) { return kNotFound; }, 0, true, "", 0, 0},
        {"busy, then answers",
         [](int n, const std::string&) {
             return n == 0 ? reply("503 Service Unavailable", "{}", "Retry-After: 1\r\n")
                           : reply("200 OK", recorded("exact"));
         },
         1, false, "Café Tonvane", 1, 1},
    };
    for (const Case& c : cases) {
        FakeMusicBrainz server(c.answer);
        MusicBrainzLookup lookup = lookUp(server);
        EXPECT_TRUE(lookup.ok) << c.what << ": " << lookup.error;
        EXPECT_EQ(lookup.fuzzy, c.fuzzy) << c.what;
        ASSERT_EQ(lookup.matches.size(), c.matches) << c.what;
        if (c.matches == 0)
            continue;
        const MusicBrainzMatch& first = lookup.matches[0];
        EXPECT_EQ(first.title, c.firstTitle) << c.what;
        EXPECT_EQ(first.discNumber, c.disc) << c.what;
        EXPECT_EQ(first.discCount, c.discs) << c.what;
        EXPECT_EQ(first.tracks.size(), 3u) << c.what;
    }
}

TEST(MusicBrainz, FailuresGiveAClearMessageAndNoMatch)
{
    struct Case {
        const char* what;
        std::function<std::string(int, const std::string&)> answer;
        const char* mentions;
    };
    std::vector<Case> cases = {
        {"busy twice", [](int, const std::string&) { return reply("503 Service Unavailable", "{}", "Retry-After: 1\r\n"); },
         "busy"},
        {"busy for too long",
         [](int, const std::string&) { return reply("503 Service Unavailable", "{}", "Retry-After: 3600\r\n"); }, "busy"},
        {"server error", [](int, const std::string&) { return reply("500 Internal Server Error", "oops"); }, "500"},
        {"malformed JSON", [](int, const std::string&) { return reply("200 OK", "{\"releases\":[{\"id\":"); },
         "not a JSON object"},
        {"JSON but no object", [](int, const std::string&) { return reply("200 OK", "[1,2,3]"); }, "not a JSON object"},
        {"nested a million deep", [](int, const std::string&) { return reply("200 OK", std::string(1 << 20, '[')); },
         "deeper"},
        {"10 MiB announced", [](int, const std::string&) { return reply("200 OK", std::string(10 << 20, ' ')); }, "MiB"},
        {"10 MiB until close",
         [](int, const std::string&) { return "HTTP/1.0 200 OK\r\n\r\n{\"releases\":[" + std::string(10 << 20, ' '); },
         "MiB"},
    };
    for (const Case& c : cases) {
        FakeMusicBrainz server(c.answer);
        MusicBrainzLookup lookup = lookUp(server);
        EXPECT_FALSE(lookup.ok) << c.what;
        EXPECT_TRUE(lookup.matches.empty()) << c.what;
        EXPECT_NE(lookup.error.find(c.mentions), std::string::npos) << c.what << ": " << lookup.error;
    }
    MusicBrainzOptions nobody;
    nobody.server = "http://127.0.0.1:" + std::to_string(unusedLocalPort());
    MusicBrainzLookup unreachable = lookUpMusicBrainz(threeTrackToc(), 3, nobody);
    EXPECT_FALSE(unreachable.ok);
    EXPECT_NE(unreachable.error.find("no answer"), std::string::npos) << unreachable.error;
}

TEST(MusicBrainz, RequestsNameTheDiscAndTheProgramOncePerSecond)
{
    FakeMusicBrainz server([](int n, const std::string&) { return n == 0 ? kNotFound : reply("200 OK", recorded("fuzzy")); });
    MusicBrainzLookup lookup = lookUp(server);
    ASSERT_TRUE(lookup.ok) << lookup.error;
    std::vector<Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    std::string id = musicBrainzDiscId(threeTrackToc());
    EXPECT_EQ(lookup.discId, id);
    EXPECT_EQ(requests[0].head.rfind("GET /ws/2/discid/" + id + "?inc=artist-credits+recordings+isrcs&fmt=json HTTP/1.1\r\n", 0), 0u)
        << requests[0].head;
    EXPECT_EQ(requests[1].head.rfind("GET /ws/2/discid/" + id + "?toc=1+3+63150+150+21150+42150&cdstubs=no&"
                                     "inc=artist-credits+recordings+isrcs&fmt=json HTTP/1.1\r\n", 0), 0u)
        << requests[1].head;
    EXPECT_NE(requests[0].head.find("User-Agent: Tonvane/0.2"), std::string::npos) << requests[0].head;
    EXPECT_NE(requests[0].head.find(" ( https://tonvane.org/ )\r\n"), std::string::npos) << requests[0].head;
    // The pause is measured here from the first request's arrival, which a loaded machine delays;
    // without the pause the second follows within milliseconds.
    EXPECT_GE(requests[1].at - requests[0].at, 500ms) << "at most one request per second";
}

TEST(MusicBrainz, MatchBecomesTheTracksTags)
{
    std::string error;
    std::string id = musicBrainzDiscId(threeTrackToc());
    auto exact = parseMusicBrainzReleases(recorded("exact"), id, 3, error);
    auto multi = parseMusicBrainzReleases(recorded("multi-disc"), id, 3, error);
    ASSERT_TRUE(exact && multi) << error;

    // A disc whose first track is data: the medium's track n is disc track n.
    std::vector<TrackEntry> tracks(2);
    tracks[0].trackNumber = 2;
    tracks[1].trackNumber = 3;
    applyMusicBrainzMatch(exact->at(0), tracks, 1);
    const TrackTags& second = tracks[0].tags;
    EXPECT_EQ(text(tracks[0].title), u"Second Song");
    EXPECT_EQ(text(second.artist), u"Ana Ruiz feat. Kid") << "the credit with its join phrase";
    EXPECT_EQ(text(second.albumArtist), u"Ana Ruiz & Бо Ли");
    EXPECT_EQ(text(second.album), u"Café Tonvane");
    EXPECT_EQ(text(second.year), u"2001-05-14");
    EXPECT_EQ(text(second.trackNumber), u"2");
    EXPECT_EQ(text(second.trackTotal), u"3");
    EXPECT_EQ(text(second.discNumber), u"1");
    EXPECT_EQ(text(second.discTotal), u"1");
    EXPECT_EQ(text(second.isrc), u"GBAYE0100102");
    EXPECT_EQ(text(second.musicBrainzAlbumId), u"50000001-0001-4005-8001-abc000001389");
    EXPECT_EQ(text(second.musicBrainzArtistId), u"10000001-0001-4001-8001-abc0000003e9");
    EXPECT_EQ(second.musicBrainzReleaseTrackId.length(), 36);
    EXPECT_EQ(second.musicBrainzRecordingId.length(), 36);
    EXPECT_NE(text(second.musicBrainzRecordingId), text(second.musicBrainzReleaseTrackId));
    EXPECT_EQ(text(tracks[1].title), u"Café Finale");
    EXPECT_TRUE(tracks[1].tags.isrc.empty()) << "a recording without ISRC";

    std::vector<TrackEntry> secondDisc(3);
    applyMusicBrainzMatch(multi->at(0), secondDisc, 1);
    EXPECT_EQ(text(secondDisc[2].title), u"Disc Two Three");
    EXPECT_EQ(text(secondDisc[2].tags.discNumber) + u"/" + text(secondDisc[2].tags.discTotal), u"2/2");
    EXPECT_EQ(text(secondDisc[2].tags.year), u"1999-03");
}

TEST(MusicBrainz, UntrustedFieldsAreCheckedNotBelieved)
{
    std::string error;
    struct Case {
        const char* what;
        std::string json;
        size_t matches;
    } cases[] = {
        {"no releases", "{}", 0},
        {"releases of the wrong type", "{\"releases\":{\"a\":1}}", 0},
        {"a release that is a number", "{\"releases\":[7]}", 0},
        {"media without tracks", "{\"releases\":[{\"media\":[{\"track-count\":3}]}]}", 1},
        {"fields of the wrong types",
         "{\"releases\":[{\"id\":5,\"title\":[1],\"date\":{},\"artist-credit\":\"x\",\"media\":[{\"position\":\"2\","
         "\"track-count\":3,\"discs\":[null,3],\"tracks\":[null,{\"title\":7,\"position\":-4,\"recording\":[1],"
         "\"artist-credit\":[{\"name\":1,\"artist\":\"x\"}]}]}]}]}",
         1},
        {"an id that is no MBID and a bad ISRC",
         "{\"releases\":[{\"id\":\"../../etc\",\"media\":[{\"track-count\":3,\"tracks\":[{\"recording\":"
         "{\"id\":\"10000001-0001-4001-8001-ABC0000003E9\",\"isrcs\":[\"DROP TABLE;\"]}}]}]}]}",
         1},
    };
    for (const Case& c : cases) {
        auto matches = parseMusicBrainzReleases(c.json, "x", 3, error);
        ASSERT_TRUE(matches) << c.what;
        EXPECT_EQ(matches->size(), c.matches) << c.what;
        for (const MusicBrainzMatch& match : *matches) {
            EXPECT_TRUE(match.title.empty() && match.releaseId.empty()) << c.what;
            EXPECT_GE(match.discNumber, 1) << c.what;
            EXPECT_LE(match.discNumber, match.discCount) << c.what;
            for (const MusicBrainzTrack& track : match.tracks)
                EXPECT_TRUE(track.isrc.empty() && track.recordingId.empty() && track.title.empty()) << c.what;
        }
    }
    std::string huge = "{\"releases\":[{\"title\":\"" + std::string(5000, 'x') + "\",\"media\":[{\"track-count\":0}]}]}";
    auto cut = parseMusicBrainzReleases(huge, "x", 0, error);
    ASSERT_TRUE(cut && cut->size() == 1);
    EXPECT_EQ(cut->at(0).title.size(), kMaxMusicBrainzTextBytes);
}

TEST(CoverArt, OnlyAJpegOrPngUpToFourMebibytesIsTaken)
{
    const std::string release = "50000001-0001-4005-8001-abc000001389";
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(1000, 'j');
    struct Case {
        const char* what;
        std::function<std::string(int, const std::string&)> answer;
        const char* mimeType; // null: no picture
        bool missing;
    };
    std::vector<Case> cases = {
        {"redirected to a JPEG",
         [&](int, const std::string& head) {
             return head.starts_with("GET /release/" + release + "/front-500 ")
                        ? "HTTP/1.1 307 Temporary Redirect\r\nLocation: /img/front.jpg\r\nContent-Length: 0\r\n\r\n"
                        : reply("200 OK", jpeg);
         },
         "image/jpeg", false},
        {"no cover", [](int, const std::string&) { return kNotFound; }, nullptr, true},
        {"an HTML page", [](int, const std::string&) { return reply("200 OK", "<html>front</html>"); }, nullptr, false},
        {"5 MiB", [&](int, const std::string&) { return reply("200 OK", jpeg + std::string(5 << 20, 'j')); }, nullptr,
         false},
    };
    for (const Case& c : cases) {
        FakeMusicBrainz server(c.answer);
        CoverArtOptions options;
        options.server = server.url();
        CoverArtResult cover = fetchFrontCover(release, options);
        EXPECT_EQ(cover.missing, c.missing) << c.what;
        if (!c.mimeType) {
            EXPECT_FALSE(cover.picture) << c.what;
            EXPECT_EQ(cover.error.empty(), c.missing) << c.what << ": " << cover.error;
            continue;
        }
        ASSERT_TRUE(cover.picture) << c.what << ": " << cover.error;
        EXPECT_EQ(cover.picture->mimeType, c.mimeType);
        EXPECT_TRUE(std::string(cover.picture->bytes.begin(), cover.picture->bytes.end()) == jpeg) << c.what;
        EXPECT_EQ(coverFileName(*cover.picture), "cover.jpg");
    }
    EXPECT_FALSE(fetchFrontCover("../../etc/passwd").picture) << "only an MBID makes a path";
}

// A caller that gives up (the window closing, a newer lookup) ends its request while the server
// still holds the answer: the server sees the client close and the lookup fails as cancelled.
// A cover fetch cancelled before it starts asks no server at all.
TEST(MusicBrainz, ACancelledRequestEndsWhileTheServerHoldsItsAnswer)
{
    std::atomic<bool> cancel{false};
    std::atomic<bool> closedByClient{false};
    MusicBrainzLookup lookup;
    {
        LocalServer server(
            [&](ServerPeer& peer) {
                if (!peer.readRequestHead())
                    return;
                cancel.store(true); // the request is here: the caller gives up now
                closedByClient.store(peer.waitForClientClose(60000));
                if (!closedByClient.load())
                    peer.send(reply("200 OK", recorded("exact")));
            },
            2);
        MusicBrainzOptions options;
        options.server = "http://127.0.0.1:" + std::to_string(server.port());
        options.timeoutMs = 600000; // far beyond the server's hold: only the cancel ends it early
        options.cancel = &cancel;
        lookup = lookUpMusicBrainz(threeTrackToc(), 3, options);
        // The server counts the connection once its handler has seen the client close.
        for (int i = 0; i < 100 && server.connectionsServed() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(server.connectionsServed(), 1) << "no second request after the cancel";
    }
    EXPECT_TRUE(closedByClient.load()) << "the client waited for the held answer";
    EXPECT_FALSE(lookup.ok);
    EXPECT_NE(lookup.error.find("cancelled"), std::string::npos) << lookup.error;

    CoverArtOptions cover;
    cover.server = "http://127.0.0.1:" + std::to_string(unusedLocalPort());
    cover.cancel = &cancel;
    CoverArtResult none = fetchFrontCover("50000001-0001-4005-8001-abc000001389", cover);
    EXPECT_FALSE(none.picture);
    EXPECT_NE(none.error.find("cancelled"), std::string::npos) << none.error;
}
