#include "app/station/RipHistory.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tonvane::station {

namespace {

constexpr std::string_view kInterruptedLine = "\nInterrupted: ";

bool readSmallFile(const std::string& path, std::string& text)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    char buffer[16384];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() <= kMaxLogBytes)
        text.append(buffer, static_cast<size_t>(got));
    ::close(fd);
    return got == 0 && text.size() <= kMaxLogBytes;
}

bool logNames(const std::string& path, const std::string& idsLine)
{
    std::string text;
    if (!readSmallFile(path, text))
        return false;
    return text.find("\n" + idsLine) != std::string::npos && text.find(kInterruptedLine) == std::string::npos;
}

std::string search(const std::string& folder, const std::string& idsLine, int depth)
{
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr)
        return {};
    std::vector<std::string> logs, folders;
    while (dirent* entry = ::readdir(directory)) {
        std::string name = entry->d_name;
        if (name.starts_with('.'))
            continue; // ".", "..", and temporary files
        std::string path = folder + "/" + name;
        struct stat info{};
        if (::lstat(path.c_str(), &info) != 0)
            continue; // symbolic links are not followed: no loops
        if (S_ISDIR(info.st_mode))
            folders.push_back(path);
        else if (S_ISREG(info.st_mode) && name.size() > 4 && name.ends_with(".log"))
            logs.push_back(path);
    }
    ::closedir(directory);
    std::sort(logs.begin(), logs.end());
    std::sort(folders.begin(), folders.end());
    for (const std::string& log : logs)
        if (logNames(log, idsLine))
            return log;
    if (depth <= 0)
        return {};
    for (const std::string& below : folders)
        if (std::string found = search(below, idsLine, depth - 1); !found.empty())
            return found;
    return {};
}

} // namespace

std::string findRipLog(const std::string& folder, const AccurateRipDiscId& id)
{
    return search(folder, accurateRipIdsLine(id), kHistoryDepth);
}

} // namespace tonvane::station
