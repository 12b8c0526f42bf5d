#pragma once
#include <cstddef>
#include <cstdint>

namespace tonvane {

// Words at each end of the disc the checksums leave out: five sectors less one sample at the
// start, five sectors at the end, where drives with a read offset cannot reach.
inline constexpr uint64_t kAccurateRipSkippedWords = 2940; // [samples] 5 x 588
inline constexpr uint32_t kWordsPerSector = 588; // [samples] 2352 bytes of 16-bit stereo

// The AccurateRip checksums of one track, fed in order with its PCM. Each 32-bit little-endian
// word (left and right sample) is multiplied by its 1-based position k; v1 sums the low 32 bits
// of the products, v2 adds their high 32 bits as well. On the disc's first audio track only
// words with k >= 2940 count, on its last only words with k <= N - 2940.
class AccurateRipChecksum {
public:
    AccurateRipChecksum() = default;
    AccurateRipChecksum(uint64_t trackWords, bool firstTrack, bool lastTrack);

    // bytes must be whole words (a multiple of 4), fed in track order.
    void feed(const uint8_t* pcm, size_t bytes);
    uint32_t v1() const { return static_cast<uint32_t>(m_low); }
    uint32_t v2() const { return static_cast<uint32_t>(m_low + m_high); }
    uint64_t wordsSeen() const { return m_position; }

private:
    uint64_t m_first = 1; // first counted position (1-based)
    uint64_t m_last = 0; // last counted position
    uint64_t m_position = 0; // words fed so far
    uint64_t m_low = 0; // only the low 32 bits matter
    uint64_t m_high = 0;
};

inline constexpr uint32_t kOffsetFindingSector = 450; // 0-based sector of a track in the record

// The record's offset-finding checksum: the 588 words of one sector (pcm: 2352 bytes) times
// their 1-based position, low 32 bits summed.
uint32_t sectorChecksum(const uint8_t* pcm);

} // namespace tonvane
