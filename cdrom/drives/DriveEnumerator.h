#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// Where drives come from: real drives are the sr* entries of sysfsRoot (every one a CD drive),
// opened as devRoot/srN, in number order; then the image drives as given ("image:/x.cue",
// "demo:"), in the given order.
struct DriveSources {
    std::string sysfsRoot = "/sys/block";
    std::string devRoot = "/dev";
    std::vector<std::string> imageDrives;
};

// Every drive path of the sources, in enumeration order.
std::vector<std::string> listDrives(const DriveSources& sources);

// Walks the drives one at a time: start() takes a fresh snapshot and resets the position,
// nextDriveRoot() gives the next path and advances, nothing once all are given.
class DriveEnumerator {
public:
    explicit DriveEnumerator(DriveSources sources = {});
    void start();
    std::optional<std::string> nextDriveRoot();
    const std::string& currentPath() const { return m_current; }

private:
    DriveSources m_sources;
    std::vector<std::string> m_paths;
    size_t m_next = 0;
    std::string m_current;
};

// Every enumerated path is a CD drive; kept for callers that test a path of their own: true for
// /dev/srN, image and demo paths.
bool isCdDrivePath(const std::string& path);

} // namespace tonvane
