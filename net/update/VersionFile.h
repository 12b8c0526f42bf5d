#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tonvane {

// What the version file says about this platform.
struct UpdateInfo {
    bool newer = false;
    std::string versionText; // as written, 8-bit
    std::string downloadUrl;
};

// Remote version "major.minor.patch" against the running one, compared as a tuple: the first
// number that differs decides (0.2.10 is newer than 0.2.7, 0.1.9 is older). A missing or
// non-numeric part makes it not newer.
bool isNewerVersion(std::string_view remote, std::string_view running);

// Finds the line that starts with key followed by one separator character (space, tab, '='
// or ':'), then reads the version text up to the next space and the download URL from after
// that space to the end of the line. Nothing when no line carries the key.
std::optional<UpdateInfo> parseVersionFile(std::string_view body, std::string_view key, std::string_view runningVersion);

} // namespace tonvane
