#include "encoders/framework/OutputFile.h"

#include "core/foundation/Utf.h"

#include <cerrno>
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

bool closeOutputFile(int fd)
{
    return ::close(fd) == 0;
}

} // namespace tonvane
