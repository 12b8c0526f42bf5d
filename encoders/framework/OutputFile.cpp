#include "encoders/framework/OutputFile.h"

#include "core/foundation/Utf.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace tonvane {

int createOutputFile(std::u16string_view path)
{
    std::string utf8 = utf16ToUtf8(path);
    if (utf8.empty() || path.find(u'\0') != std::u16string_view::npos)
        return -1;
    return ::open(utf8.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

std::FILE* createOutputStream(std::u16string_view path)
{
    constexpr size_t kStreamBuffer = 64 * 1024; // [bytes]
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos)
        return nullptr;
    std::FILE* file = std::fopen(utf16ToUtf8(path).c_str(), "wbe");
    if (file)
        std::setvbuf(file, nullptr, _IOFBF, kStreamBuffer);
    return file;
}

bool writeAllBytes(int fd, const void* bytes, size_t count, size_t* written)
{
    auto* at = static_cast<const uint8_t*>(bytes);
    size_t done = 0;
    bool ok = true;
    while (done < count) {
        ssize_t n = ::write(fd, at + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (written)
        *written = done;
    return ok;
}

bool syncOutputFile(int fd)
{
    return ::fsync(fd) == 0 || errno == EINVAL;
}

bool closeOutputFile(int fd)
{
    return ::close(fd) == 0;
}

namespace {

// The UTF-8 path of a file name we write, or empty for one the file system must not see.
std::string fileSystemPath(std::u16string_view path)
{
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos)
        return {};
    return utf16ToUtf8(path);
}

// fsync of the folder holding path, so that a rename in it is on the disk.
bool syncFolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// errno values of a file system that does not know the operation (as opposed to a refusal).
bool unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

CommitResult committed(const std::string& finalPath)
{
    // The rename is done and the file whole: a folder that cannot be synced (some FUSE file
    // systems refuse fsync on a folder) does not make the track fail with its file in place.
    syncFolderOf(finalPath);
    return CommitResult::Committed;
}

} // namespace

CommitResult commitWithoutReplacing(std::u16string_view partPath, std::u16string_view finalPath)
{
    std::string from = fileSystemPath(partPath), to = fileSystemPath(finalPath);
    if (from.empty() || to.empty())
        return CommitResult::Failed;
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return committed(to);
    }
    if (errno == EEXIST)
        return CommitResult::NameTaken;
    if (errno != EPERM && !unsupported(errno))
        return CommitResult::Failed;
    // No hard links here: claim the name, then replace only our own empty claim.
    int claim = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (claim < 0)
        return errno == EEXIST ? CommitResult::NameTaken : CommitResult::Failed;
    ::close(claim);
    if (::rename(from.c_str(), to.c_str()) != 0) {
        ::unlink(to.c_str());
        return CommitResult::Failed;
    }
    return committed(to);
}

CommitResult commitOutputFile(std::u16string_view partPath, std::u16string_view finalPath, ExistingFiles existing)
{
    std::string from = fileSystemPath(partPath), to = fileSystemPath(finalPath);
    if (from.empty() || to.empty())
        return CommitResult::Failed;
    if (existing == ExistingFiles::Replace)
        return ::rename(from.c_str(), to.c_str()) == 0 ? committed(to) : CommitResult::Failed;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return committed(to);
    if (errno == EEXIST)
        return CommitResult::NameTaken;
    if (!unsupported(errno))
        return CommitResult::Failed;
    return commitWithoutReplacing(partPath, finalPath);
}

bool removeOutputFile(std::u16string_view path)
{
    std::string utf8 = fileSystemPath(path);
    return !utf8.empty() && (::unlink(utf8.c_str()) == 0 || errno == ENOENT);
}

} // namespace tonvane
