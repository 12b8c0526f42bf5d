#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tonvane {

namespace ogg {
inline constexpr size_t kHeaderBytes = 27; // [bytes] before the segment table
inline constexpr size_t kMaxSegments = 255; // lacing values per page
inline constexpr uint8_t kContinued = 0x01; // the first packet began on an earlier page
inline constexpr uint8_t kFirstPage = 0x02; // beginning of stream
inline constexpr uint8_t kLastPage = 0x04; // end of stream
inline constexpr uint64_t kNoGranule = ~uint64_t(0); // no packet ends on the page
inline constexpr size_t kSequenceAt = 18; // [byte] of the page sequence number
inline constexpr size_t kCrcAt = 22; // [byte] of the checksum
} // namespace ogg

// One Ogg page as it lies in a file: capture "OggS", version 0, flags, granule, serial, sequence,
// CRC, segment table, body.
struct OggPage {
    uint8_t flags = 0;
    uint64_t granule = 0;
    uint32_t serial = 0;
    uint32_t sequence = 0;
    const uint8_t* segments = nullptr; // lacing values
    size_t segmentCount = 0;
    const uint8_t* body = nullptr;
    size_t bodyBytes = 0;
    size_t pageBytes = 0; // header + table + body

    // The last lacing value below 255: the page's last packet ends on it.
    bool endsPacket() const { return segmentCount > 0 && segments[segmentCount - 1] < 255; }
};

// The Ogg CRC-32: polynomial 0x04C11DB7, not reflected, initial value 0, over the page with its
// CRC field as zeros.
uint32_t oggCrc(const uint8_t* bytes, size_t size);

enum class OggParse : uint8_t {
    Page, // a whole page with a correct checksum
    NeedMore, // the bytes end inside the page (needed() says how many it takes)
    Damaged, // no capture pattern, another version, or a wrong checksum
};

// Reads the page at the front of bytes. NeedMore sets needed to the bytes known to be required.
OggParse parseOggPage(const uint8_t* bytes, size_t size, OggPage& page, size_t& needed);

// Gathers whole packets from pages of one stream.
class OggPacketAssembler {
public:
    // False when the page continues nothing or starts a packet while one is open.
    bool add(const OggPage& page);
    // Whole packets so far, in order.
    std::vector<std::vector<uint8_t>>& packets() { return m_packets; }
    bool open() const { return m_open; }

private:
    std::vector<std::vector<uint8_t>> m_packets;
    std::vector<uint8_t> m_partial;
    bool m_open = false;
};

// The pages of packets laid end to end (at most 255 segments a page), sequence numbers from
// sequence on (advanced past them). A page on which a packet ends gets granule, others
// kNoGranule. The first page is not flagged as beginning the stream.
std::vector<uint8_t> oggPagesOf(const std::vector<std::vector<uint8_t>>& packets, uint32_t serial,
                                uint32_t& sequence, uint64_t granule);

// Sets a whole page's sequence number and its checksum anew.
void renumberOggPage(uint8_t* page, size_t pageBytes, uint32_t sequence);

} // namespace tonvane
