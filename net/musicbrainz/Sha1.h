#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tonvane {

inline constexpr size_t kSha1DigestBytes = 20;
using Sha1Digest = std::array<uint8_t, kSha1DigestBytes>;

// SHA-1 (FIPS 180-4) of a byte string. Only for the MusicBrainz disc id, which is defined with
// it; nothing here depends on its strength.
Sha1Digest sha1(std::string_view bytes);

} // namespace tonvane
