#include "net/update/UpdateSignature.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tonvane {

bool verifyFileSignature(const std::string& path, std::span<const uint8_t> signature,
                         std::span<const uint8_t, kUpdatePublicKeyBytes> publicKey)
{
    if (signature.size() != kUpdateSignatureBytes || path.empty() || sodium_init() < 0)
        return false;
    int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (file < 0)
        return false;
    struct stat info {};
    std::vector<uint8_t> bytes;
    bool ok = ::fstat(file, &info) == 0 && S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) <= kMaxSignedFileBytes;
    if (ok) {
        bytes.resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        while (ok && done < bytes.size()) {
            ssize_t got = ::read(file, bytes.data() + done, bytes.size() - done);
            if (got <= 0)
                ok = false;
            else
                done += static_cast<size_t>(got);
        }
    }
    ::close(file);
    return ok && verifySignature(bytes, signature, publicKey);
}

bool verifySignature(std::span<const uint8_t> bytes, std::span<const uint8_t> signature,
                     std::span<const uint8_t, kUpdatePublicKeyBytes> publicKey)
{
    return signature.size() == kUpdateSignatureBytes && sodium_init() >= 0
           && crypto_sign_verify_detached(signature.data(), bytes.data(), bytes.size(), publicKey.data()) == 0;
}

} // namespace tonvane
