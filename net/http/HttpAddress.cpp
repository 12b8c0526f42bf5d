#include "net/http/HttpAddress.h"

#include <charconv>

namespace tonvane {

namespace {

constexpr std::string_view kHttpScheme = "http://";
constexpr std::string_view kHttpsScheme = "https://";
constexpr uint32_t kMaxPort = 65535;

} // namespace

bool startsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size())
        return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i) {
        char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lowerPrefix[i])
            return false;
    }
    return true;
}

bool isRequestToken(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

bool splitAuthority(std::string_view authority, uint16_t defaultPort, std::string& host, uint16_t& port)
{
    size_t colon = authority.find(':');
    host = std::string(authority.substr(0, colon));
    port = defaultPort;
    if (host.empty())
        return false;
    if (colon == std::string_view::npos)
        return true;
    std::string_view digits = authority.substr(colon + 1);
    uint32_t value = 0;
    auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (failure != std::errc() || end != digits.data() + digits.size() || value == 0 || value > kMaxPort)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool isServerAuthority(std::string_view authority)
{
    std::string host;
    uint16_t port = 0;
    return isRequestToken(authority) && authority.find('/') == std::string_view::npos
           && splitAuthority(authority, kHttpPort, host, port);
}

std::optional<HttpUrl> parseHttpUrl(std::string_view url)
{
    HttpUrl parsed;
    std::string_view rest;
    if (startsWithIgnoringCase(url, kHttpsScheme)) {
        parsed.secure = true;
        rest = url.substr(kHttpsScheme.size());
    } else if (startsWithIgnoringCase(url, kHttpScheme)) {
        rest = url.substr(kHttpScheme.size());
    } else {
        return std::nullopt;
    }
    if (!isRequestToken(rest))
        return std::nullopt;
    size_t pathStart = rest.find('/');
    parsed.authority = std::string(rest.substr(0, pathStart));
    parsed.path = pathStart == std::string_view::npos ? "/" : std::string(rest.substr(pathStart));
    std::string host;
    uint16_t port = 0;
    if (!splitAuthority(parsed.authority, parsed.secure ? kHttpsPort : kHttpPort, host, port))
        return std::nullopt;
    return parsed;
}

} // namespace tonvane
