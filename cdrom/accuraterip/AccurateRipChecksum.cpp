#include "cdrom/accuraterip/AccurateRipChecksum.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tonvane {

AccurateRipChecksum::AccurateRipChecksum(uint64_t trackWords, bool firstTrack, bool lastTrack)
    : m_first(firstTrack ? kAccurateRipSkippedWords : 1),
      m_last(lastTrack ? (trackWords > kAccurateRipSkippedWords ? trackWords - kAccurateRipSkippedWords : 0) : trackWords)
{
}

namespace {

struct Sums {
    uint64_t low; // of the products' low 32 bits
    uint64_t high; // of their high 32 bits
};

uint64_t wordAt(const uint8_t* w)
{
    return uint32_t{w[0]} | uint32_t{w[1]} << 8 | uint32_t{w[2]} << 16 | uint32_t{w[3]} << 24;
}

// Words w[0..count) at positions k, k + 1, ...; each product is summed in its two halves.
Sums addProducts(Sums sums, const uint8_t* w, uint64_t k, uint64_t count)
{
    uint64_t i = 0;
#if defined(__SSE2__)
    // Four words at a time, 32 x 32 -> 64-bit multiplications in pairs (even and odd lanes).
    // Positions stay below 2^32 here: a CD track has at most 2^25 words.
    if (k + count < (uint64_t{1} << 32)) {
        const __m128i low32 = _mm_set_epi32(0, -1, 0, -1);
        __m128i positions = _mm_setr_epi32(static_cast<int>(k), static_cast<int>(k + 1), static_cast<int>(k + 2),
                                           static_cast<int>(k + 3));
        const __m128i four = _mm_set1_epi32(4);
        __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
        for (; i + 4 <= count; i += 4) {
            __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + i * 4)); // little-endian
            __m128i even = _mm_mul_epu32(words, positions);
            __m128i odd = _mm_mul_epu32(_mm_srli_epi64(words, 32), _mm_srli_epi64(positions, 32));
            low = _mm_add_epi64(low, _mm_add_epi64(_mm_and_si128(even, low32), _mm_and_si128(odd, low32)));
            high = _mm_add_epi64(high, _mm_add_epi64(_mm_srli_epi64(even, 32), _mm_srli_epi64(odd, 32)));
            positions = _mm_add_epi32(positions, four);
        }
        alignas(16) uint64_t lanes[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), low);
        sums.low += lanes[0] + lanes[1];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), high);
        sums.high += lanes[0] + lanes[1];
    }
#endif
    for (; i < count; ++i) {
        uint64_t product = wordAt(w + i * 4) * (k + i);
        sums.low += product & 0xFFFFFFFFu;
        sums.high += product >> 32;
    }
    return sums;
}

} // namespace

void AccurateRipChecksum::feed(const uint8_t* pcm, size_t bytes)
{
    size_t words = bytes / 4;
    uint64_t begin = m_position + 1; // position of the first word given
    uint64_t from = std::max(begin, m_first);
    uint64_t to = std::min(begin + words - 1, m_last);
    if (words > 0 && from <= to) {
        Sums sums = addProducts({m_low, m_high}, pcm + (from - begin) * 4, from, to - from + 1);
        m_low = sums.low;
        m_high = sums.high;
    }
    m_position += words;
}

uint32_t sectorChecksum(const uint8_t* pcm)
{
    AccurateRipChecksum checksum(kWordsPerSector, false, false);
    checksum.feed(pcm, size_t{kWordsPerSector} * 4);
    return checksum.v1();
}

} // namespace tonvane
