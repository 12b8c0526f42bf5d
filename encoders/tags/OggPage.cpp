#include "encoders/tags/OggPage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tonvane {

namespace {

constexpr uint8_t kCapture[4] = {'O', 'g', 'g', 'S'};
constexpr uint8_t kVersion = 0;
constexpr uint8_t kSegmentBytes = 255; // a lacing value this large continues the packet

constexpr std::array<uint32_t, 256> makeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
        table[i] = r;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

uint32_t readLe32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void writeLe32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t pageCrc(const uint8_t* page, size_t pageBytes)
{
    uint8_t header[ogg::kHeaderBytes];
    std::memcpy(header, page, ogg::kHeaderBytes);
    std::memset(header + ogg::kCrcAt, 0, 4);
    uint32_t crc = 0;
    for (uint8_t byte : header)
        crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ byte) & 0xFF];
    for (size_t i = ogg::kHeaderBytes; i < pageBytes; ++i)
        crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ page[i]) & 0xFF];
    return crc;
}

} // namespace

uint32_t oggCrc(const uint8_t* bytes, size_t size)
{
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ bytes[i]) & 0xFF];
    return crc;
}

OggParse parseOggPage(const uint8_t* bytes, size_t size, OggPage& page, size_t& needed)
{
    needed = ogg::kHeaderBytes;
    if (size < ogg::kHeaderBytes)
        return size >= 4 && std::memcmp(bytes, kCapture, 4) != 0 ? OggParse::Damaged : OggParse::NeedMore;
    if (std::memcmp(bytes, kCapture, 4) != 0 || bytes[4] != kVersion)
        return OggParse::Damaged;
    page.flags = bytes[5];
    page.granule = uint64_t(readLe32(bytes + 6)) | uint64_t(readLe32(bytes + 10)) << 32;
    page.serial = readLe32(bytes + 14);
    page.sequence = readLe32(bytes + ogg::kSequenceAt);
    page.segmentCount = bytes[26];
    needed = ogg::kHeaderBytes + page.segmentCount;
    if (size < needed)
        return OggParse::NeedMore;
    page.segments = bytes + ogg::kHeaderBytes;
    page.bodyBytes = 0;
    for (size_t i = 0; i < page.segmentCount; ++i)
        page.bodyBytes += page.segments[i];
    needed += page.bodyBytes;
    if (size < needed)
        return OggParse::NeedMore;
    page.body = bytes + ogg::kHeaderBytes + page.segmentCount;
    page.pageBytes = needed;
    return pageCrc(bytes, page.pageBytes) == readLe32(bytes + ogg::kCrcAt) ? OggParse::Page : OggParse::Damaged;
}

bool OggPacketAssembler::add(const OggPage& page)
{
    bool continued = (page.flags & ogg::kContinued) != 0;
    if (continued != m_open)
        return false;
    const uint8_t* at = page.body;
    for (size_t i = 0; i < page.segmentCount; ++i) {
        m_partial.insert(m_partial.end(), at, at + page.segments[i]);
        at += page.segments[i];
        m_open = page.segments[i] == kSegmentBytes;
        if (!m_open) {
            m_packets.push_back(std::move(m_partial));
            m_partial.clear();
        }
    }
    return true;
}

std::vector<uint8_t> oggPagesOf(const std::vector<std::vector<uint8_t>>& packets, uint32_t serial,
                                uint32_t& sequence, uint64_t granule)
{
    // The lacing values of all packets, each remembering whether a packet ends with it.
    std::vector<uint8_t> lacing;
    std::vector<bool> ends;
    std::vector<uint8_t> data;
    for (const std::vector<uint8_t>& packet : packets) {
        size_t left = packet.size();
        for (; left >= kSegmentBytes; left -= kSegmentBytes) {
            lacing.push_back(kSegmentBytes);
            ends.push_back(false);
        }
        lacing.push_back(static_cast<uint8_t>(left));
        ends.push_back(true);
        data.insert(data.end(), packet.begin(), packet.end());
    }
    std::vector<uint8_t> out;
    size_t segment = 0, offset = 0;
    bool continued = false;
    while (segment < lacing.size()) {
        size_t count = std::min(ogg::kMaxSegments, lacing.size() - segment);
        size_t bodyBytes = 0;
        bool anyEnd = false;
        for (size_t i = segment; i < segment + count; ++i) {
            bodyBytes += lacing[i];
            anyEnd = anyEnd || ends[i];
        }
        size_t start = out.size();
        out.resize(start + ogg::kHeaderBytes + count + bodyBytes, 0);
        uint8_t* page = out.data() + start;
        std::memcpy(page, kCapture, 4);
        page[4] = kVersion;
        page[5] = continued ? ogg::kContinued : 0;
        uint64_t pageGranule = anyEnd ? granule : ogg::kNoGranule;
        writeLe32(page + 6, static_cast<uint32_t>(pageGranule));
        writeLe32(page + 10, static_cast<uint32_t>(pageGranule >> 32));
        writeLe32(page + 14, serial);
        page[26] = static_cast<uint8_t>(count);
        std::memcpy(page + ogg::kHeaderBytes, lacing.data() + segment, count);
        std::memcpy(page + ogg::kHeaderBytes + count, data.data() + offset, bodyBytes);
        renumberOggPage(page, ogg::kHeaderBytes + count + bodyBytes, sequence++);
        continued = !ends[segment + count - 1];
        segment += count;
        offset += bodyBytes;
    }
    return out;
}

void renumberOggPage(uint8_t* page, size_t pageBytes, uint32_t sequence)
{
    writeLe32(page + ogg::kSequenceAt, sequence);
    writeLe32(page + ogg::kCrcAt, pageCrc(page, pageBytes));
}

} // namespace tonvane
