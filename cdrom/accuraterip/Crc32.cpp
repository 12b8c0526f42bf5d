#include "cdrom/accuraterip/Crc32.h"

#include <algorithm>
#include <limits>
#include <zlib.h>

namespace tonvane {

// zlib's CRC-32 is the same function, computed several bytes at a time: a table loop cost
// several percent of a rip's processor time.
uint32_t crc32Update(uint32_t crc, const uint8_t* bytes, size_t count)
{
    uLong value = crc;
    while (count > 0) {
        size_t piece = std::min<size_t>(count, std::numeric_limits<uInt>::max());
        value = ::crc32(value, bytes, static_cast<uInt>(piece));
        bytes += piece;
        count -= piece;
    }
    return static_cast<uint32_t>(value);
}

} // namespace tonvane
