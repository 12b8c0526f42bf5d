#include "net/update/UpdateDownload.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane {

namespace {

constexpr size_t kFileNameSearchLimit = 260; // [characters] of the URL searched for the name
constexpr mode_t kPrivateDirectory = 0700;
constexpr mode_t kUnverifiedFile = 0600; // not executable until the signature verified

bool makeDirectories(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), kPrivateDirectory) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// An installer may take minutes on a slow line: only a stall ends the download.
HttpClientOptions withIdleTimeout(HttpClientOptions options)
{
    options.idleTimeout = true;
    return options;
}

} // namespace

bool splitDownloadUrl(const std::string& url, std::string& host, std::string& path)
{
    size_t slashes = url.find("//");
    if (slashes == std::string::npos)
        return false;
    size_t hostStart = slashes + 2;
    size_t pathStart = url.find('/', hostStart);
    if (pathStart == std::string::npos || pathStart == hostStart)
        return false;
    host = url.substr(hostStart, pathStart - hostStart);
    path = url.substr(pathStart);
    return true;
}

std::string downloadFileName(const std::string& url)
{
    std::string searched = url.substr(0, kFileNameSearchLimit);
    size_t last = searched.find_last_of("/\\");
    std::string name = last == std::string::npos ? searched : searched.substr(last + 1);
    if (name.empty() || name == "." || name == "..")
        return {};
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return {};
    }
    return name;
}

std::string updateCacheDirectory()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return std::string(cache) + "/tonvane";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.cache/tonvane";
    return {};
}

UpdateDownload::UpdateDownload(std::string url, std::string directory, HttpClientOptions options, uint32_t timeoutMs)
    : m_url(std::move(url)), m_timeoutMs(timeoutMs), m_http(withIdleTimeout(std::move(options)))
{
    std::string name = downloadFileName(m_url);
    if (!name.empty() && !directory.empty())
        m_filePath = directory + "/" + name;
    m_http.setBodySink(this);
}

UpdateDownload::~UpdateDownload()
{
    cancel();
}

bool UpdateDownload::start(DownloadProgress* progress)
{
    if (m_thread.joinable())
        return false;
    m_progress = progress;
    return startThread(m_thread, threadMain, this) == kSuccess;
}

void UpdateDownload::cancel()
{
    m_cancelled = true;
    m_http.cancel();
    m_thread.join();
}

void UpdateDownload::wait()
{
    m_thread.join();
}

void* UpdateDownload::threadMain(void* self)
{
    static_cast<UpdateDownload*>(self)->run();
    return nullptr;
}

void UpdateDownload::run()
{
    std::string host;
    std::string path;
    bool fetched = false;
    if (!m_filePath.empty()) {
        // The file is created (replacing an older one) even when the URL names no server: then
        // nothing is fetched into it and the download ends incomplete.
        std::string directory = m_filePath.substr(0, m_filePath.rfind('/'));
        if (makeDirectories(directory))
            m_file = ::open(m_filePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, kUnverifiedFile);
        if (m_file >= 0) {
            ::fchmod(m_file, kUnverifiedFile); // an older file of that name may have had other rights
            fetched = !m_cancelled && splitDownloadUrl(m_url, host, path) && m_http.get(host, path, m_timeoutMs);
            if (::close(m_file) != 0)
                m_writeFailed = true;
            m_file = -1;
        }
    }
    m_complete = fetched && !m_writeFailed && !m_cancelled;
    if (m_progress)
        m_progress->onDownloadEnded(m_complete);
}

void UpdateDownload::onLength(uint64_t length)
{
    if (m_progress)
        m_progress->onDownloadLength(length);
}

void UpdateDownload::onData(const char* bytes, size_t count)
{
    while (count > 0 && !m_writeFailed) {
        ssize_t written = ::write(m_file, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_writeFailed = true; // the rest is still received, but the download counts as failed
            break;
        }
        bytes += written;
        count -= static_cast<size_t>(written);
        m_received += static_cast<uint64_t>(written);
    }
    if (m_progress)
        m_progress->onDownloadProgress(m_received);
}

} // namespace tonvane
