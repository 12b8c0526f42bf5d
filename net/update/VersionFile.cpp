#include "net/update/VersionFile.h"

#include <cstdint>

namespace tonvane {

namespace {

constexpr size_t kMaxNumberDigits = 9; // larger numbers saturate; they are newer in any case
constexpr int kVersionParts = 3; // major, minor, patch

// Reads one decimal number at pos; false when there is no digit.
bool readNumber(std::string_view text, size_t& pos, uint32_t& value)
{
    size_t start = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (pos - start < kMaxNumberDigits)
            value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
        ++pos;
    }
    return pos > start;
}

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '=' || c == ':';
}

} // namespace

bool isNewerVersion(std::string_view remote, std::string_view running)
{
    uint32_t runningParts[kVersionParts] = {};
    size_t pos = 0;
    for (int i = 0; i < kVersionParts; ++i) {
        if (i > 0 && (pos >= running.size() || running[pos++] != '.'))
            return false;
        if (!readNumber(running, pos, runningParts[i]))
            return false;
    }

    pos = 0;
    for (int i = 0; i < kVersionParts; ++i) {
        if (i > 0 && (pos >= remote.size() || remote[pos++] != '.'))
            return false;
        uint32_t part = 0;
        if (!readNumber(remote, pos, part))
            return false;
        if (part != runningParts[i])
            return part > runningParts[i];
    }
    return false;
}

std::optional<UpdateInfo> parseVersionFile(std::string_view body, std::string_view key, std::string_view runningVersion)
{
    if (key.empty())
        return std::nullopt;
    size_t lineStart = 0;
    while (lineStart < body.size()) {
        size_t lineEnd = body.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = body.size();
        std::string_view line = body.substr(lineStart, lineEnd - lineStart);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lineStart = lineEnd + 1;
        if (line.size() <= key.size() || !line.starts_with(key) || !isSeparator(line[key.size()]))
            continue;

        std::string_view rest = line.substr(key.size() + 1);
        UpdateInfo info;
        size_t space = rest.find(' ');
        if (space != std::string_view::npos) {
            info.versionText = rest.substr(0, space);
            info.downloadUrl = rest.substr(space + 1);
        }
        info.newer = isNewerVersion(rest, runningVersion);
        return info;
    }
    return std::nullopt;
}

} // namespace tonvane
