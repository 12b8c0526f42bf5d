#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tonvane {

// Stores one pixel value into count consecutive pixels, 16 bytes at a time where SSE2 exists
// (the compiler leaves a 32-bit fill scalar at -O2, and fills are most of a repaint).
inline void fillPixels(uint32_t* destination, size_t count, uint32_t value)
{
#if defined(__SSE2__)
    __m128i four = _mm_set1_epi32(static_cast<int>(value));
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), four);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i + 4), four);
    }
    for (; i < count; ++i)
        destination[i] = value;
#else
    std::fill(destination, destination + count, value);
#endif
}

} // namespace tonvane
