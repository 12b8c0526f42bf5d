#include "session/MusicFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane {

namespace {

std::string home()
{
    const char* value = std::getenv("HOME");
    return value && *value ? value : "/tmp";
}

// One line of user-dirs.dirs: XDG_MUSIC_DIR="$HOME/Music"
std::string musicDirFromUserDirs()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string file = (config && *config ? std::string(config) : home() + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_MUSIC_DIR=\"";
        if (line.compare(0, key.size(), key) != 0 || line.size() < key.size() + 1 || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.compare(0, 5, "$HOME") == 0)
            value = home() + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return value;
    }
    return {};
}

} // namespace

std::string musicFolder()
{
    const char* fromEnvironment = std::getenv("XDG_MUSIC_DIR");
    if (fromEnvironment && fromEnvironment[0] == '/')
        return fromEnvironment;
    std::string fromFile = musicDirFromUserDirs();
    return fromFile.empty() ? home() + "/Music" : fromFile;
}

bool prepareOutputFolder(const std::string& folder, std::string& error)
{
    for (size_t slash = 1; slash <= folder.size(); ++slash) {
        if (slash != folder.size() && folder[slash] != '/')
            continue;
        std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            error = "cannot create the output folder " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat info;
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "the output folder " + folder + " is not a folder";
        return false;
    }
    // access() says nothing useful for root; a real probe file does.
    std::string probe = folder + "/.tonvane-write-test-" + std::to_string(::getpid());
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot write into the output folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

} // namespace tonvane
