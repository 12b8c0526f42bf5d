// The Ogg page parser and packet assembler on arbitrary bytes, then each packet read as a
// comment header: answers, never a crash, a leak or a read outside the input. Whatever parses
// as a comment list writes back to the same bytes.
#include "encoders/tags/CommentList.h"
#include "encoders/tags/OggPage.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kCommentMagic = 8; // "OpusTags", or 0x03 "vorbis" and one byte of the list

void readComments(const std::vector<uint8_t>& packet)
{
    if (packet.size() < kCommentMagic)
        return;
    for (size_t skip : {size_t(7), kCommentMagic}) {
        size_t used = 0;
        std::optional<tonvane::CommentList> list =
            tonvane::CommentList::parse(packet.data() + skip, packet.size() - skip, used);
        if (!list)
            continue;
        if (used > packet.size() - skip)
            std::abort();
        std::vector<uint8_t> again = list->serialize();
        if (again.size() != used || std::memcmp(again.data(), packet.data() + skip, used) != 0)
            std::abort();
    }
}

// The input's pages with every checksum made right, so that mutations reach the lacing and the
// packets instead of stopping at the first checksum.
std::vector<uint8_t> withCorrectCrcs(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    size_t at = 0;
    while (at + tonvane::ogg::kHeaderBytes <= bytes.size()) {
        size_t pageBytes = tonvane::ogg::kHeaderBytes + bytes[at + 26];
        if (at + pageBytes > bytes.size())
            break;
        for (size_t i = 0; i < bytes[at + 26]; ++i)
            pageBytes += bytes[at + tonvane::ogg::kHeaderBytes + i];
        if (at + pageBytes > bytes.size())
            break;
        uint32_t sequence = uint32_t(bytes[at + 18]) | uint32_t(bytes[at + 19]) << 8 |
                            uint32_t(bytes[at + 20]) << 16 | uint32_t(bytes[at + 21]) << 24;
        tonvane::renumberOggPage(bytes.data() + at, pageBytes, sequence);
        at += pageBytes;
    }
    return bytes;
}

void walk(const std::vector<uint8_t>& bytes)
{
    tonvane::OggPacketAssembler assembler;
    size_t at = 0;
    while (at < bytes.size()) {
        tonvane::OggPage page;
        size_t needed = 0;
        tonvane::OggParse parse = tonvane::parseOggPage(bytes.data() + at, bytes.size() - at, page, needed);
        if (parse == tonvane::OggParse::NeedMore && needed <= bytes.size() - at)
            std::abort(); // it had what it asked for
        if (parse != tonvane::OggParse::Page)
            break;
        if (page.pageBytes == 0 || page.pageBytes > bytes.size() - at)
            std::abort();
        if (!assembler.add(page))
            break;
        at += page.pageBytes;
    }
    for (const std::vector<uint8_t>& packet : assembler.packets())
        readComments(packet);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    walk(std::vector<uint8_t>(data, data + size));
    walk(withCorrectCrcs(data, size));
    return 0;
}
