#include "cdrom/drives/WatchFolder.h"

#include "cdrom/emulated/CueSheet.h"
#include "core/foundation/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tonvane {

namespace {

constexpr std::string_view kSheetExtension = ".cue";
constexpr size_t kEventBufferBytes = 4096;

bool endsWith(const std::string& text, std::string_view end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// "size:mtime-ns" of a file, "missing" when it is not there.
std::string fileSignature(const std::string& path)
{
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0)
        return "missing;";
    return std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec) + ";";
}

// The sheet's own signature, then each file its text names (relative to its folder), so a BIN
// still being copied keeps the candidate unsettled.
std::string sheetSignature(const std::string& sheetPath, const std::string& folder)
{
    std::string signature = fileSignature(sheetPath);
    int fd = ::open(sheetPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return signature;
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() <= kMaxCueSheetBytes)
        text.append(buffer, static_cast<size_t>(got));
    ::close(fd);
    CueSheet sheet;
    CueError error;
    if (text.size() > kMaxCueSheetBytes || !parseCueSheet(text, sheet, error))
        return signature + "unparsed:" + std::to_string(text.size());
    for (const CueFile& file : sheet.files)
        signature += fileSignature(file.name.starts_with('/') ? file.name : folder + "/" + file.name);
    return signature;
}

std::vector<std::string> sheetsIn(const std::string& folder)
{
    std::vector<std::string> sheets;
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr)
        return sheets;
    while (dirent* entry = ::readdir(directory)) {
        std::string name = entry->d_name;
        if (name.starts_with('.') || !endsWith(lowerAscii(name), kSheetExtension))
            continue;
        sheets.push_back(folder + "/" + name);
    }
    ::closedir(directory);
    std::sort(sheets.begin(), sheets.end());
    return sheets;
}

} // namespace

WatchFolder::WatchFolder(std::string folder, uint32_t settleMs, uint32_t brokenGraceMs)
    : m_folder(std::move(folder)), m_settleMs(settleMs), m_brokenGraceMs(brokenGraceMs)
{
    while (m_folder.size() > 1 && m_folder.back() == '/')
        m_folder.pop_back();
}

WatchFolder::~WatchFolder()
{
    if (m_inotify >= 0)
        ::close(m_inotify);
    if (m_wake >= 0)
        ::close(m_wake);
}

bool WatchFolder::open(std::string& error)
{
    struct stat info{};
    if (::stat(m_folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = m_folder + " is not a folder";
        return false;
    }
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_inotify < 0 || m_wake < 0) {
        error = std::string("cannot watch ") + m_folder + ": " + std::strerror(errno);
        return false;
    }
    constexpr uint32_t kChanges = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                  IN_DELETE | IN_ATTRIB;
    if (::inotify_add_watch(m_inotify, m_folder.c_str(), kChanges) < 0) {
        error = std::string("cannot watch ") + m_folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void WatchFolder::stop()
{
    if (m_wake < 0)
        return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(m_wake, &one, sizeof one);
}

void WatchFolder::drainEvents()
{
    alignas(inotify_event) char buffer[kEventBufferBytes];
    while (::read(m_inotify, buffer, sizeof buffer) > 0) {
    }
}

bool WatchFolder::findSettled(WatchedSheet& found)
{
    uint64_t now = tickCountMs();
    std::vector<std::string> sheets = sheetsIn(m_folder);
    std::erase_if(m_candidates, [&](const auto& entry) {
        return std::find(sheets.begin(), sheets.end(), entry.first) == sheets.end();
    });
    std::erase_if(m_handedOut, [&](const auto& entry) {
        return std::find(sheets.begin(), sheets.end(), entry.first) == sheets.end();
    });
    for (const std::string& path : sheets) {
        std::string signature = sheetSignature(path, m_folder);
        if (auto given = m_handedOut.find(path); given != m_handedOut.end()) {
            if (given->second == signature)
                continue;
            m_handedOut.erase(given); // copied over: another disc under the same name
        }
        Candidate& candidate = m_candidates[path];
        if (candidate.signature != signature) {
            candidate.signature = signature;
            candidate.stableSinceMs = now;
            continue;
        }
        uint64_t still = now - candidate.stableSinceMs;
        if (still < m_settleMs)
            continue;
        CueLoadResult loaded = loadCueSheet(path);
        if (!loaded.ok() && still < m_brokenGraceMs)
            continue;
        found.sheet = path;
        found.problem = loaded.ok() ? std::string() : loaded.error.message;
        m_handedOut[path] = signature;
        m_candidates.erase(path);
        return true;
    }
    return false;
}

bool WatchFolder::next(WatchedSheet& sheet, uint32_t timeoutMs)
{
    if (m_inotify < 0)
        return false;
    uint64_t deadline = tickCountMs() + timeoutMs;
    for (;;) {
        uint64_t stopped = 0;
        if (::read(m_wake, &stopped, sizeof stopped) == sizeof stopped) {
            stop(); // keep it stopped for later calls
            return false;
        }
        drainEvents();
        if (findSettled(sheet))
            return true;
        uint64_t now = tickCountMs();
        if (now >= deadline)
            return false;
        // Settling candidates need another look after a while even when nothing changes.
        uint64_t wait = deadline - now;
        if (!m_candidates.empty())
            wait = std::min<uint64_t>(wait, kWatchRescanMs);
        pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_wake, POLLIN, 0}};
        ::poll(fds, 2, static_cast<int>(wait));
    }
}

} // namespace tonvane
