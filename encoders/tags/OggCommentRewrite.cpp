#include "encoders/tags/OggCommentRewrite.h"

#include "encoders/tags/CommentList.h"
#include "encoders/tags/OggPage.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace tonvane {

namespace {

constexpr size_t kReadBlock = 1 << 20; // [bytes] read from the source at a time
constexpr size_t kWriteBlock = 1 << 20; // [bytes] gathered before a write
constexpr size_t kMaxHeaderPackets = 16u << 20; // [bytes] of header packets we are willing to hold

enum class Codec : uint8_t { Vorbis, Opus };

constexpr std::string_view kVorbisId("\x01vorbis", 7);
constexpr std::string_view kVorbisComment("\x03vorbis", 7);
constexpr std::string_view kOpusId("OpusHead", 8);
constexpr std::string_view kOpusComment("OpusTags", 8);
constexpr size_t kOpusIdBytes = 19; // [bytes] the smallest OpusHead
constexpr size_t kOpusGainAt = 16; // [byte] output gain, Q7.8 [1/256 dB], little-endian

bool startsWith(const std::vector<uint8_t>& packet, std::string_view magic)
{
    return packet.size() >= magic.size() && std::memcmp(packet.data(), magic.data(), magic.size()) == 0;
}

// The source's pages one after the other, read in large blocks.
class PageReader {
public:
    explicit PageReader(TagRewriteIo& io) : m_io(io) {}

    // False at the end (done() then true) or on damage (io's problem set).
    bool next(OggPage& page)
    {
        for (;;) {
            size_t needed = 0;
            OggParse parse = parseOggPage(m_buffer.data() + m_at, m_buffer.size() - m_at, page, needed);
            if (parse == OggParse::Page) {
                m_at += page.pageBytes;
                return true;
            }
            if (parse == OggParse::Damaged) {
                m_io.setProblem("a damaged Ogg page at byte " + std::to_string(m_offset + m_at));
                return false;
            }
            if (m_readTo == m_io.size()) {
                m_done = m_at == m_buffer.size();
                if (!m_done)
                    m_io.setProblem("the file ends inside an Ogg page");
                return false;
            }
            if (!refill(needed))
                return false;
        }
    }
    bool done() const { return m_done; }

private:
    bool refill(size_t needed)
    {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_at));
        m_offset += m_at;
        m_at = 0;
        size_t want = std::max(kReadBlock, needed);
        size_t bytes = static_cast<size_t>(std::min<uint64_t>(want, m_io.size() - m_readTo));
        size_t kept = m_buffer.size();
        m_buffer.resize(kept + bytes);
        if (!m_io.readAt(m_readTo, m_buffer.data() + kept, bytes))
            return false;
        m_readTo += bytes;
        return true;
    }

    TagRewriteIo& m_io;
    std::vector<uint8_t> m_buffer;
    size_t m_at = 0; // in the buffer
    uint64_t m_offset = 0; // of the buffer's first byte in the file
    uint64_t m_readTo = 0;
    bool m_done = false;
};

class PageWriter {
public:
    explicit PageWriter(TagRewriteIo& io) : m_io(io) {}
    bool put(const uint8_t* bytes, size_t size)
    {
        m_buffer.insert(m_buffer.end(), bytes, bytes + size);
        return m_buffer.size() < kWriteBlock || flush();
    }
    bool flush()
    {
        bool written = m_buffer.empty() || m_io.append(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        return written;
    }

private:
    TagRewriteIo& m_io;
    std::vector<uint8_t> m_buffer;
};

struct Headers {
    Codec codec = Codec::Vorbis;
    uint32_t serial = 0;
    std::vector<uint8_t> firstPage; // the identification header's page, kept as it is
    std::vector<std::vector<uint8_t>> packets; // the header packets after the first
    uint32_t pages = 0; // header pages in the source
};

// The identification page and the comment (and Vorbis setup) packets; the last header page
// must end with the last header packet, as both codecs require.
bool readHeaders(PageReader& reader, Headers& headers, TagRewriteIo& io)
{
    OggPage page;
    if (!reader.next(page)) {
        io.setProblem("not an Ogg file");
        return false;
    }
    OggPacketAssembler first;
    if (!(page.flags & ogg::kFirstPage) || !first.add(page) || first.packets().size() != 1 || first.open()) {
        io.setProblem("the first Ogg page is not a lone identification header");
        return false;
    }
    const std::vector<uint8_t>& id = first.packets()[0];
    if (startsWith(id, kVorbisId)) {
        headers.codec = Codec::Vorbis;
    } else if (startsWith(id, kOpusId) && id.size() >= kOpusIdBytes) {
        headers.codec = Codec::Opus;
    } else {
        io.setProblem("neither Vorbis nor Opus");
        return false;
    }
    headers.serial = page.serial;
    headers.firstPage.assign(page.segments - ogg::kHeaderBytes, page.body + page.bodyBytes);
    headers.pages = 1;
    size_t wanted = headers.codec == Codec::Vorbis ? 2 : 1;
    OggPacketAssembler rest;
    size_t held = 0;
    while (rest.packets().size() < wanted || rest.open()) {
        if (!reader.next(page)) {
            io.setProblem("the Ogg headers are cut short");
            return false;
        }
        held += page.bodyBytes;
        if (page.serial != headers.serial || page.sequence != headers.pages || (page.flags & ogg::kFirstPage) ||
            held > kMaxHeaderPackets || !rest.add(page)) {
            io.setProblem("the Ogg headers are not one stream's pages in order");
            return false;
        }
        ++headers.pages;
    }
    if (rest.packets().size() != wanted) {
        io.setProblem("audio shares a page with the Ogg headers");
        return false;
    }
    headers.packets = std::move(rest.packets());
    return true;
}

int16_t clampQ78(int32_t value)
{
    return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

// The comment packet with the tags in; what follows the list (Vorbis' framing bit, Opus' extra
// data) is kept.
bool rebuildComments(Headers& headers, const LoudnessTags& tags, TagRewriteIo& io)
{
    std::vector<uint8_t>& packet = headers.packets[0];
    std::string_view magic = headers.codec == Codec::Vorbis ? kVorbisComment : kOpusComment;
    size_t used = 0;
    std::optional<CommentList> list;
    if (startsWith(packet, magic))
        list = CommentList::parse(packet.data() + magic.size(), packet.size() - magic.size(), used);
    if (!list) {
        io.setProblem("damaged Ogg comment header");
        return false;
    }
    if (headers.codec == Codec::Vorbis) {
        putReplayGain(*list, tags);
    } else {
        // The R128 gains apply on top of the header's output gain, which the decoder adds itself.
        const uint8_t* id = headers.firstPage.data() + ogg::kHeaderBytes + headers.firstPage[26];
        int32_t outputGain = static_cast<int16_t>(id[kOpusGainAt] | id[kOpusGainAt + 1] << 8);
        for (const char* name : {kR128TrackName, kR128AlbumName, kTrackGainName, kTrackPeakName, kAlbumGainName,
                                 kAlbumPeakName})
            list->remove(name);
        list->add(kR128TrackName, std::to_string(clampQ78(tags.r128Track - outputGain)));
        if (tags.hasAlbum())
            list->add(kR128AlbumName, std::to_string(clampQ78(tags.r128Album - outputGain)));
    }
    std::vector<uint8_t> rebuilt(magic.begin(), magic.end());
    std::vector<uint8_t> body = list->serialize();
    rebuilt.insert(rebuilt.end(), body.begin(), body.end());
    rebuilt.insert(rebuilt.end(), packet.begin() + static_cast<std::ptrdiff_t>(magic.size() + used), packet.end());
    packet = std::move(rebuilt);
    return true;
}

// The audio pages, each checked, renumbered when the header took another number of pages.
bool copyAudioPages(PageReader& reader, PageWriter& writer, const Headers& headers, uint32_t sequence,
                    TagRewriteIo& io)
{
    OggPage page;
    std::vector<uint8_t> copy;
    uint32_t expected = headers.pages; // the source's own numbering
    while (reader.next(page)) {
        if (page.serial != headers.serial || (page.flags & ogg::kFirstPage)) {
            io.setProblem("more than one logical stream: not rewritten");
            return false;
        }
        // A gap in the numbering means lost pages; renumbering would hide it.
        if (page.sequence != expected++) {
            io.setProblem("Ogg pages are missing");
            return false;
        }
        const uint8_t* start = page.segments - ogg::kHeaderBytes;
        if (page.sequence == sequence) {
            if (!writer.put(start, page.pageBytes))
                return false;
        } else {
            copy.assign(start, start + page.pageBytes);
            renumberOggPage(copy.data(), copy.size(), sequence);
            if (!writer.put(copy.data(), copy.size()))
                return false;
        }
        ++sequence;
    }
    return reader.done() && writer.flush();
}

} // namespace

bool rewriteOggComments(const std::string& path, const LoudnessTags& tags, TagRewriteIo& io)
{
    Headers headers;
    bool done = io.openForReading(path);
    PageReader reader(io);
    done = done && readHeaders(reader, headers, io) && rebuildComments(headers, tags, io) && io.createTemporary(path);
    if (done) {
        PageWriter writer(io);
        uint32_t sequence = 1;
        std::vector<uint8_t> pages = oggPagesOf(headers.packets, headers.serial, sequence, 0);
        done = writer.put(headers.firstPage.data(), headers.firstPage.size()) &&
               writer.put(pages.data(), pages.size()) && copyAudioPages(reader, writer, headers, sequence, io) &&
               io.commitTemporary();
    }
    io.close();
    return done;
}

} // namespace tonvane
