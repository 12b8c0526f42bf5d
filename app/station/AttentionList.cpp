#include "app/station/AttentionList.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tonvane::station {

namespace {

// Tabs and line ends inside a field would make another column or line.
std::string field(const std::string& text)
{
    std::string out = text.empty() ? "-" : text;
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return out;
}

} // namespace

bool AttentionList::add(const std::string& folder, const std::string& reason, std::string& error)
{
    std::string line = field(folder) + "\t" + field(reason) + "\n";
    std::lock_guard lock(m_mutex);
    int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + m_path + ": " + std::strerror(errno);
        return false;
    }
    ssize_t written = ::write(fd, line.data(), line.size());
    int saved = errno;
    bool whole = written == static_cast<ssize_t>(line.size());
    if (!whole && written > 0) {
        // A short append (the disk filled): cut it off again rather than leave half a line.
        off_t end = ::lseek(fd, 0, SEEK_END);
        if (end >= written)
            [[maybe_unused]] int cut = ::ftruncate(fd, end - written);
    }
    bool closed = ::close(fd) == 0;
    if (!whole || !closed) {
        error = "cannot write " + m_path + ": " + std::strerror(whole ? errno : (written < 0 ? saved : ENOSPC));
        return false;
    }
    return true;
}

} // namespace tonvane::station
