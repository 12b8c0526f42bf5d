#pragma once
#include <cstddef>
#include <cstdint>

namespace tonvane {

// CRC-32 (IEEE 802.3, reflected polynomial 0xEDB88320, as zip and the rip logs use) over
// pieces: crc = crc32Update(crc, bytes, n) from crc = 0.
uint32_t crc32Update(uint32_t crc, const uint8_t* bytes, size_t count);

} // namespace tonvane
