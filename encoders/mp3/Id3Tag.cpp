#include "encoders/mp3/Id3Tag.h"

#include <string>
#include <string_view>

namespace tonvane {

namespace {

// Frame body: encoding byte, the text, a 0 terminator.
constexpr size_t kBodyOverhead = 2; // [bytes]

bool appendTextFrame(std::vector<uint8_t>& tag, const char (&id)[5], const WideString& text)
{
    if (text.empty())
        return true;
    const std::string utf8 = text.toUtf8();
    const size_t bodySize = utf8.size() + kBodyOverhead;
    // The tag size after this frame, header excluded, is tag.size() + bodySize.
    if (tag.size() + bodySize >= id3::kSyncsafeLimit)
        return false;

    uint8_t header[id3::kHeaderSize] = {};
    for (int i = 0; i < 4; ++i)
        header[i] = static_cast<uint8_t>(id[i]);
    writeSyncsafe(header + 4, static_cast<uint32_t>(bodySize));
    tag.insert(tag.end(), header, header + id3::kHeaderSize); // flags 8-9 stay 0
    tag.push_back(id3::kEncodingUtf8);
    tag.insert(tag.end(), utf8.begin(), utf8.end());
    tag.push_back(0);
    return true;
}

} // namespace

void writeSyncsafe(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>((value >> 21) & 0x7F);
    at[1] = static_cast<uint8_t>((value >> 14) & 0x7F);
    at[2] = static_cast<uint8_t>((value >> 7) & 0x7F);
    at[3] = static_cast<uint8_t>(value & 0x7F);
}

uint32_t readSyncsafe(const uint8_t* at)
{
    return uint32_t(at[0] & 0x7F) << 21 | uint32_t(at[1] & 0x7F) << 14 | uint32_t(at[2] & 0x7F) << 7 |
           uint32_t(at[3] & 0x7F);
}

std::optional<std::vector<uint8_t>> buildId3Tag(const TrackTags& tags)
{
    std::vector<uint8_t> tag;
    tag.reserve(id3::kInitialArea);
    const uint8_t header[id3::kHeaderSize] = {'I', 'D', '3', id3::kMajorVersion, 0, 0, 0, 0, 0, 0};
    tag.insert(tag.end(), header, header + id3::kHeaderSize);

    // ID3v2.4 keeps the year in the recording time frame; TYER exists only up to v2.3.
    const bool fits = appendTextFrame(tag, "TENC", tags.encoder) && appendTextFrame(tag, "TALB", tags.album) &&
                      appendTextFrame(tag, "TIT2", tags.title) && appendTextFrame(tag, "TPE1", tags.artist) &&
                      appendTextFrame(tag, "TCOM", tags.composer) && appendTextFrame(tag, "TDRC", tags.year) &&
                      appendTextFrame(tag, "TRCK", tags.trackNumber);
    if (!fits)
        return std::nullopt;
    writeSyncsafe(tag.data() + 6, static_cast<uint32_t>(tag.size() - id3::kHeaderSize));
    return tag;
}

} // namespace tonvane
