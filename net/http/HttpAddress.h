#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tonvane {

constexpr uint16_t kHttpPort = 80;
constexpr uint16_t kHttpsPort = 443;

// Whether text begins with lowerPrefix, ASCII letters in either case (header names, URL schemes);
// lowerPrefix is written in lower case.
bool startsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix);

// Text that may stand in a request line or a Host header: not empty, no spaces, no control
// characters (bytes up to 0x20, and 0x7F).
bool isRequestToken(std::string_view text);

// "host" or "host:port" (port 1-65535, decimal digits only); host is not empty. The port is
// defaultPort when none is written. Characters are not checked here (see isRequestToken).
bool splitAuthority(std::string_view authority, uint16_t defaultPort, std::string& host, uint16_t& port);

// "HOST[:PORT]" as a CDDB or AccurateRip server is written: a request token that splits into a
// host and a port.
bool isServerAuthority(std::string_view authority);

// An absolute "http://" or "https://" address (the scheme in any case), split. The path is "/"
// when none is written.
struct HttpUrl {
    bool secure = false; // https
    std::string authority; // "host" or "host:port"
    std::string path; // from the first "/" after the authority
};
// Nothing when the text is not such an address: another scheme, an empty or malformed
// authority, a port out of range, spaces or control characters anywhere.
std::optional<HttpUrl> parseHttpUrl(std::string_view url);

} // namespace tonvane
