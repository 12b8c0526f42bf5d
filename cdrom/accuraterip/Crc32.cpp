#include "cdrom/accuraterip/Crc32.h"

#include <algorithm>
#include <limits>
#include <zlib.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tonvane {

namespace {

// zlib's CRC-32 is the same function, computed several bytes at a time (about 3.9 instructions
// a byte): on a FLAC rip that was 1.7% of the processor time the flac tool needs for the same
// audio. Where the processor multiplies without carries (PCLMULQDQ), blocks of 64 bytes are
// folded instead, about 0.2 instructions a byte; zlib does the rest.
uint32_t zlibCrc32(uint32_t crc, const uint8_t* bytes, size_t count)
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

#if defined(__x86_64__)
constexpr size_t kFoldBlock = 64; // [bytes] four 128-bit lanes folded in parallel

__m128i load(const uint8_t* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// One 128-bit lane carried 128 x n bits ahead by the constant pair k, plus the data next.
__attribute__((target("pclmul"))) __m128i fold(__m128i lane, __m128i k, __m128i next)
{
    __m128i low = _mm_clmulepi64_si128(lane, k, 0x00);
    __m128i high = _mm_clmulepi64_si128(lane, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// Folding by carry-less multiplication (Gopal et al., "Fast CRC Computation for Generic
// Polynomials Using PCLMULQDQ", Intel 2009), with the bit-reflected constants of the
// polynomial 0x04C11DB7: x^(4*128+64), x^(4*128), x^(128+64), x^128, x^64 mod P, then P and
// the Barrett constant. count is a multiple of 16 and at least kFoldBlock; state is the
// inverted CRC, as the register holds it.
__attribute__((target("pclmul,sse4.1"))) uint32_t foldCrc32(uint32_t state, const uint8_t* bytes, size_t count)
{
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i x1 = _mm_xor_si128(load(bytes), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i x2 = load(bytes + 16), x3 = load(bytes + 32), x4 = load(bytes + 48);
    bytes += kFoldBlock;
    count -= kFoldBlock;
    for (; count >= kFoldBlock; bytes += kFoldBlock, count -= kFoldBlock) {
        x1 = fold(x1, k1k2, load(bytes));
        x2 = fold(x2, k1k2, load(bytes + 16));
        x3 = fold(x3, k1k2, load(bytes + 32));
        x4 = fold(x4, k1k2, load(bytes + 48));
    }
    x1 = fold(x1, k3k4, x2);
    x1 = fold(x1, k3k4, x3);
    x1 = fold(x1, k3k4, x4);
    for (; count >= 16; bytes += 16, count -= 16)
        x1 = fold(x1, k3k4, load(bytes));

    // 128 bits to 64, then Barrett reduction to 32.
    __m128i x2b = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2b);
    x2b = _mm_srli_si128(x1, 4);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00);
    x1 = _mm_xor_si128(x1, x2b);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

bool canFold()
{
    static const bool supported = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return supported;
}
#endif

} // namespace

uint32_t crc32Update(uint32_t crc, const uint8_t* bytes, size_t count)
{
#if defined(__x86_64__)
    if (count >= kFoldBlock && canFold()) {
        size_t folded = count & ~size_t{15};
        crc = ~foldCrc32(~crc, bytes, folded);
        bytes += folded;
        count -= folded;
    }
#endif
    return zlibCrc32(crc, bytes, count);
}

} // namespace tonvane
