// The HTTP client's address rules, shared with the window's server entries: HOST[:PORT]
// authorities and absolute http:// and https:// addresses, each accepted or refused form.
#include "net/http/HttpAddress.h"

#include <gtest/gtest.h>

#include <optional>

#include <string>

namespace tonvane {
namespace {

TEST(HttpAddress, AuthoritiesSplitIntoHostAndPort)
{
    struct Case {
        const char* text;
        bool split;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"gnudb.gnudb.org", true, "gnudb.gnudb.org", 80},
        {"gnudb.gnudb.org:8880", true, "gnudb.gnudb.org", 8880},
        {"127.0.0.1:1", true, "127.0.0.1", 1},
        {"h:65535", true, "h", 65535},
        {"h:65536", false, "h", 0},
        {"h:0", false, "h", 0},
        {"h:", false, "h", 0},
        {"h:+80", false, "h", 0},
        {"h:80a", false, "h", 0},
        {"h:4294967376", false, "h", 0}, // 2^32 + 80: not taken as 80
        {":80", false, "", 0},
        {"", false, "", 0},
    };
    for (const Case& c : cases) {
        std::string host;
        uint16_t port = 0;
        EXPECT_EQ(splitAuthority(c.text, kHttpPort, host, port), c.split) << c.text;
        EXPECT_EQ(host, c.host) << c.text;
        if (c.split) {
            EXPECT_EQ(port, c.port) << c.text;
        }
    }
}

TEST(HttpAddress, ServerAuthoritiesRefuseSpacesControlsAndPaths)
{
    for (const char* good : {"cddb.test", "cddb.test:8880", "a-b.c:1", "x"})
        EXPECT_TRUE(isServerAuthority(good)) << good;
    for (const char* bad : {"", " cddb.test", "cddb test:8880", "cddb.test:8880 ", "cddb\t.test", "cddb\x7f.test",
                            "cddb.test/cgi", "http://cddb.test", "cddb.test:99999", "cddb.test:"})
        EXPECT_FALSE(isServerAuthority(bad)) << bad;
}

TEST(HttpAddress, UrlsOfHttpAndHttpsSplit)
{
    struct Case {
        const char* text;
        bool parsed;
        bool secure;
        const char* authority;
        const char* path;
    } cases[] = {
        {"http://mb.test", true, false, "mb.test", "/"},
        {"https://musicbrainz.org", true, true, "musicbrainz.org", "/"},
        {"HTTPS://covers.test:8443/caa/", true, true, "covers.test:8443", "/caa/"},
        {"Http://127.0.0.1:5000/ws?x=1", true, false, "127.0.0.1:5000", "/ws?x=1"},
        {"ftp://mb.test", false, false, "", ""},
        {"musicbrainz.org", false, false, "", ""},
        {"https://", false, false, "", ""},
        {"http:///path", false, false, "", ""},
        {"http://mb.test:0/", false, false, "", ""},
        {"http://mb.test:65536", false, false, "", ""},
        {"http://mb test/", false, false, "", ""},
        {"http://mb.test/a b", false, false, "", ""},
        {"http://mb.test/\n", false, false, "", ""},
    };
    for (const Case& c : cases) {
        std::optional<HttpUrl> url = parseHttpUrl(c.text);
        ASSERT_EQ(url.has_value(), c.parsed) << c.text;
        if (!url)
            continue;
        EXPECT_EQ(url->secure, c.secure) << c.text;
        EXPECT_EQ(url->authority, c.authority) << c.text;
        EXPECT_EQ(url->path, c.path) << c.text;
    }
}

} // namespace
} // namespace tonvane
