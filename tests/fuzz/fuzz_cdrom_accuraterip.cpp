// AccurateRip records come from a server: the parser and the verdicts on arbitrary bytes. The
// disc's ids are taken from the input's first header, so that inputs get past the header check.
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/AccurateRipResponse.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tonvane;
    std::vector<uint8_t> bytes(data, data + size); // exactly its size: reads past the end are caught
    AccurateRipDiscId id;
    if (size >= kAccurateRipHeaderBytes) {
        auto le32 = [&](size_t at) {
            return uint32_t{data[at]} | uint32_t{data[at + 1]} << 8 | uint32_t{data[at + 2]} << 16 |
                   uint32_t{data[at + 3]} << 24;
        };
        id = {data[0], le32(1), le32(5), le32(9), (data[0] & 1) != 0};
    }
    auto blocks = parseAccurateRipResponse(std::span<const uint8_t>(bytes.data(), bytes.size()), id);
    if (blocks)
        for (uint32_t track = 0; track <= id.audioTracks + 1; ++track)
            (void)accurateRipVerdict(*blocks, id, track, track, ~track).text();

    AccurateRipChecksum checksum(size / 4, size % 2 == 0, size % 3 == 0);
    checksum.feed(bytes.data(), size / 4 * 4);
    return static_cast<int>(checksum.v1() & 0);
}
