#include "cdrom/drives/DriveEnumerator.h"

#include "cdrom/device/DevicePath.h"
#include "cdrom/emulated/EmulatedDrive.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>

namespace tonvane {

namespace {
constexpr std::string_view kSrPrefix = "sr";

// The N of "srN", or nullopt for any other name.
std::optional<unsigned long> srNumber(std::string_view name)
{
    if (name.substr(0, kSrPrefix.size()) != kSrPrefix || name.size() == kSrPrefix.size() || name.size() > 12)
        return std::nullopt;
    unsigned long number = 0;
    for (char c : name.substr(kSrPrefix.size())) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    return number;
}

std::vector<std::string> realDrives(const DriveSources& sources)
{
    std::vector<std::pair<unsigned long, std::string>> found;
    if (DIR* directory = ::opendir(sources.sysfsRoot.c_str())) {
        while (dirent* entry = ::readdir(directory)) {
            if (auto number = srNumber(entry->d_name))
                found.emplace_back(*number, entry->d_name);
        }
        ::closedir(directory);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (const auto& [number, name] : found)
        paths.push_back(sources.devRoot + "/" + name);
    return paths;
}
} // namespace

std::vector<std::string> listDrives(const DriveSources& sources)
{
    std::vector<std::string> paths = realDrives(sources);
    paths.insert(paths.end(), sources.imageDrives.begin(), sources.imageDrives.end());
    return paths;
}

DriveEnumerator::DriveEnumerator(DriveSources sources) : m_sources(std::move(sources)) {}

void DriveEnumerator::start()
{
    m_paths = listDrives(m_sources);
    m_next = 0;
    m_current.clear();
}

std::optional<std::string> DriveEnumerator::nextDriveRoot()
{
    if (m_next >= m_paths.size())
        return std::nullopt;
    m_current = m_paths[m_next++];
    return m_current;
}

bool isCdDrivePath(const std::string& path)
{
    if (isEmulatedDrivePath(path) || findEmulatedDrive(path))
        return true;
    size_t slash = path.rfind('/');
    return slash != std::string::npos && srNumber(std::string_view(path).substr(slash + 1)).has_value();
}

} // namespace tonvane
