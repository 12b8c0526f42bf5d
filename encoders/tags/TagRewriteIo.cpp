#include "encoders/tags/TagRewriteIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tonvane {

namespace {

constexpr size_t kCopyBlock = 1 << 20; // [bytes] per read and write of a copy

std::string folderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
}

std::string temporaryPathOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    // As long as the rip's ".name.part", which the job made sure fits a file name.
    return folder + "." + name + ".tags";
}

} // namespace

TagRewriteIo::~TagRewriteIo()
{
    close();
}

void TagRewriteIo::setProblem(std::string problem)
{
    if (m_problem.empty())
        m_problem = std::move(problem);
}

bool TagRewriteIo::pass(const char* what)
{
    ++m_steps;
    if (m_steps != m_failAt)
        return true;
    errno = EIO;
    setProblem(std::string(what) + " failed: " + std::strerror(EIO));
    return false;
}

bool TagRewriteIo::openForUpdate(const std::string& path)
{
    close();
    m_path = path;
    if (!pass("open"))
        return false;
    m_source = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    struct stat info;
    if (m_source < 0 || ::fstat(m_source, &info) != 0 || !S_ISREG(info.st_mode)) {
        setProblem("cannot open " + path + ": " + std::strerror(errno));
        return false;
    }
    m_size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool TagRewriteIo::openForReading(const std::string& path)
{
    close();
    m_path = path;
    if (!pass("open"))
        return false;
    m_source = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (m_source < 0 || ::fstat(m_source, &info) != 0 || !S_ISREG(info.st_mode)) {
        setProblem("cannot open " + path + ": " + std::strerror(errno));
        return false;
    }
    m_size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool TagRewriteIo::createTemporary(const std::string& target)
{
    if (!pass("create"))
        return false;
    struct stat info;
    mode_t mode = m_source >= 0 && ::fstat(m_source, &info) == 0 ? (info.st_mode & 07777) : 0644;
    m_temporaryPath = temporaryPathOf(target);
    // A stale copy of an earlier attempt goes; a link planted under the name is not followed.
    ::unlink(m_temporaryPath.c_str());
    m_temporary = ::open(m_temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (m_temporary < 0) {
        setProblem("cannot create " + m_temporaryPath + ": " + std::strerror(errno));
        m_temporaryPath.clear();
        return false;
    }
    ::fchmod(m_temporary, mode); // the umask may have taken bits away
    m_appendAt = 0;
    return true;
}

bool TagRewriteIo::readAt(uint64_t offset, void* into, size_t bytes)
{
    if (!pass("read"))
        return false;
    auto* at = static_cast<uint8_t*>(into);
    while (bytes > 0) {
        ssize_t got = ::pread(m_source, at, bytes, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            setProblem(got == 0 ? "the file ends early" : std::string("read failed: ") + std::strerror(errno));
            return false;
        }
        at += got;
        offset += static_cast<uint64_t>(got);
        bytes -= static_cast<size_t>(got);
    }
    return true;
}

namespace {

bool writeAll(int fd, uint64_t offset, const uint8_t* from, size_t bytes)
{
    while (bytes > 0) {
        ssize_t put = ::pwrite(fd, from, bytes, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = ENOSPC;
            return false;
        }
        from += put;
        offset += static_cast<uint64_t>(put);
        bytes -= static_cast<size_t>(put);
    }
    return true;
}

} // namespace

bool TagRewriteIo::writeAt(uint64_t offset, const void* from, size_t bytes)
{
    if (!pass("write"))
        return false;
    if (!writeAll(m_source, offset, static_cast<const uint8_t*>(from), bytes)) {
        setProblem(std::string("write failed: ") + std::strerror(errno));
        return false;
    }
    return true;
}

bool TagRewriteIo::append(const void* from, size_t bytes)
{
    if (!pass("write"))
        return false;
    if (!writeAll(m_temporary, m_appendAt, static_cast<const uint8_t*>(from), bytes)) {
        setProblem(std::string("write failed: ") + std::strerror(errno));
        return false;
    }
    m_appendAt += bytes;
    return true;
}

bool TagRewriteIo::copyRest(uint64_t offset)
{
    std::vector<uint8_t> block(kCopyBlock);
    while (offset < m_size) {
        size_t bytes = static_cast<size_t>(std::min<uint64_t>(kCopyBlock, m_size - offset));
        if (!readAt(offset, block.data(), bytes) || !append(block.data(), bytes))
            return false;
        offset += bytes;
    }
    return true;
}

bool TagRewriteIo::syncSource()
{
    if (!pass("fsync"))
        return false;
    if (::fsync(m_source) != 0) {
        setProblem(std::string("fsync failed: ") + std::strerror(errno));
        return false;
    }
    return true;
}

bool TagRewriteIo::commitTemporary()
{
    if (!pass("fsync"))
        return false;
    if (::fsync(m_temporary) != 0) {
        setProblem(std::string("fsync failed: ") + std::strerror(errno));
        return false;
    }
    if (!pass("rename"))
        return false;
    if (::rename(m_temporaryPath.c_str(), m_path.c_str()) != 0) {
        setProblem("cannot rename over " + m_path + ": " + std::strerror(errno));
        return false;
    }
    m_temporaryPath.clear();
    int folder = ::open(folderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void TagRewriteIo::close()
{
    if (m_temporary >= 0)
        ::close(m_temporary);
    if (!m_temporaryPath.empty())
        ::unlink(m_temporaryPath.c_str());
    if (m_source >= 0)
        ::close(m_source);
    m_temporary = m_source = -1;
    m_temporaryPath.clear();
}

} // namespace tonvane
