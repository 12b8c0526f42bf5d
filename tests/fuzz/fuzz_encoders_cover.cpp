// The cover check on arbitrary bytes: a verdict with a reason, never a crash, a leak or a read
// outside the input, whatever libjpeg and libpng meet.
#include "encoders/cover/CoverImageCheck.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

uint32_t crc32Of(const uint8_t* bytes, size_t count)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

// The input with every PNG chunk's CRC made right, so that mutations reach the image data
// instead of stopping at the first checksum.
std::vector<uint8_t> withCorrectCrcs(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> png(data, data + size);
    size_t at = 8;
    while (at + 12 <= png.size()) {
        uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
        if (length > png.size() - at - 12)
            break;
        uint32_t crc = crc32Of(&png[at + 4], length + 4);
        for (int i = 0; i < 4; ++i)
            png[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
    return png;
}

void check(const uint8_t* data, size_t size)
{
    std::string reason;
    bool accepted = tonvane::acceptCoverImage(data, size, reason);
    if (accepted != reason.empty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Copied, so that a read one byte past the input is seen by the sanitizer.
    std::vector<uint8_t> exact(data, data + size);
    check(exact.data(), exact.size());
    std::vector<uint8_t> fixed = withCorrectCrcs(data, size);
    check(fixed.data(), fixed.size());
    return 0;
}
