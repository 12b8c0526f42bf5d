#pragma once
#include <string>
#include <string_view>

namespace tonvane {

inline constexpr std::string_view kImageDrivePrefix = "image:"; // followed by the CUE sheet's path
inline constexpr std::string_view kDemoDrivePath = "demo:";

inline bool isImageDrivePath(std::string_view path) { return path.substr(0, kImageDrivePrefix.size()) == kImageDrivePrefix; }
// "demo:" or a variant of it such as "demo:offset=667" (the demo disc in a drive with a read offset).
inline bool isDemoDrivePath(std::string_view path) { return path.substr(0, kDemoDrivePath.size()) == kDemoDrivePath; }
inline bool isEmulatedDrivePath(std::string_view path) { return isImageDrivePath(path) || isDemoDrivePath(path); }
// "image:/a/b.cue" -> "/a/b.cue"; other paths unchanged.
inline std::string imageFileOfPath(std::string_view path)
{
    return std::string(isImageDrivePath(path) ? path.substr(kImageDrivePrefix.size()) : path);
}
inline std::string imageDrivePath(std::string_view cueFile) { return std::string(kImageDrivePrefix) + std::string(cueFile); }

} // namespace tonvane
