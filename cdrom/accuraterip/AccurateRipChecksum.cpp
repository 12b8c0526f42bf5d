#include "cdrom/accuraterip/AccurateRipChecksum.h"

#include <algorithm>

namespace tonvane {

AccurateRipChecksum::AccurateRipChecksum(uint64_t trackWords, bool firstTrack, bool lastTrack)
    : m_first(firstTrack ? kAccurateRipSkippedWords : 1),
      m_last(lastTrack ? (trackWords > kAccurateRipSkippedWords ? trackWords - kAccurateRipSkippedWords : 0) : trackWords)
{
}

void AccurateRipChecksum::feed(const uint8_t* pcm, size_t bytes)
{
    size_t words = bytes / 4;
    uint64_t begin = m_position + 1; // position of the first word given
    uint64_t from = std::max(begin, m_first);
    uint64_t to = std::min(begin + words - 1, m_last);
    uint64_t low = m_low, high = m_high;
    for (uint64_t k = from; k <= to && words > 0; ++k) {
        const uint8_t* w = pcm + (k - begin) * 4;
        uint64_t word = uint32_t{w[0]} | uint32_t{w[1]} << 8 | uint32_t{w[2]} << 16 | uint32_t{w[3]} << 24;
        uint64_t product = word * k;
        low += product & 0xFFFFFFFFu;
        high += product >> 32;
    }
    m_low = low;
    m_high = high;
    m_position += words;
}

uint32_t sectorChecksum(const uint8_t* pcm)
{
    AccurateRipChecksum checksum(kWordsPerSector, false, false);
    checksum.feed(pcm, size_t{kWordsPerSector} * 4);
    return checksum.v1();
}

} // namespace tonvane
