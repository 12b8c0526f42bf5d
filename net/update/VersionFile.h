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

// Remote version "major.minor.patch" against the running one, each number on its own, in the
// order major, minor, patch: newer as soon as one remote number is greater than the running
// one's (so 0.1.9 counts as newer than 0.2.7). A missing or non-numeric part that is reached
// makes it not newer.
bool isNewerVersion(std::string_view remote, std::string_view running);

// Finds the line that starts with key followed by one separator character (space, tab, '='
// or ':'), then reads the version text up to the next space and the download URL from after
// that space to the end of the line. Nothing when no line carries the key.
std::optional<UpdateInfo> parseVersionFile(std::string_view body, std::string_view key, std::string_view runningVersion);

} // namespace tonvane
