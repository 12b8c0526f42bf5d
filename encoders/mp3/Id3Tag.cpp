#include "encoders/mp3/Id3Tag.h"

#include "encoders/framework/TagText.h"

#include <string>
#include <string_view>

namespace tonvane {

namespace {

constexpr uint8_t kPictureFrontCover = 3; // APIC picture type
constexpr char kMusicBrainzOwner[] = "http://musicbrainz.org"; // UFID owner of recording ids

// A frame with its header; false when the tag would grow beyond what its size field holds.
bool appendFrame(std::vector<uint8_t>& tag, const char (&id)[5], const std::vector<uint8_t>& body)
{
    // The tag size after this frame, header excluded, is tag.size() + the body.
    if (tag.size() + body.size() >= id3::kSyncsafeLimit)
        return false;
    uint8_t header[id3::kHeaderSize] = {};
    for (int i = 0; i < 4; ++i)
        header[i] = static_cast<uint8_t>(id[i]);
    writeSyncsafe(header + 4, static_cast<uint32_t>(body.size()));
    tag.insert(tag.end(), header, header + id3::kHeaderSize); // flags 8-9 stay 0
    tag.insert(tag.end(), body.begin(), body.end());
    return true;
}

void appendText(std::vector<uint8_t>& body, std::string_view text)
{
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(0);
}

// Encoding byte, the text, a 0 terminator.
bool appendTextFrame(std::vector<uint8_t>& tag, const char (&id)[5], const WideString& text)
{
    std::string utf8 = tagText(text);
    if (utf8.empty())
        return true;
    std::vector<uint8_t> body{id3::kEncodingUtf8};
    appendText(body, utf8);
    return appendFrame(tag, id, body);
}

// "n/total" when the total is known.
WideString ofTotal(const WideString& number, const WideString& total)
{
    WideString text = number;
    if (!number.empty() && !total.empty()) {
        text.appendChar(u'/');
        text.append(total.view());
    }
    return text;
}

// TXXX: encoding, description, 0, value, 0.
bool appendUserText(std::vector<uint8_t>& tag, std::string_view description, const WideString& value)
{
    std::string utf8 = tagText(value);
    if (utf8.empty())
        return true;
    std::vector<uint8_t> body{id3::kEncodingUtf8};
    appendText(body, description);
    appendText(body, utf8);
    return appendFrame(tag, "TXXX", body);
}

// UFID: owner, 0, the identifier's bytes (at most 64).
bool appendRecordingId(std::vector<uint8_t>& tag, const WideString& id)
{
    std::string bytes = tagText(id);
    if (bytes.empty())
        return true;
    std::vector<uint8_t> body;
    appendText(body, kMusicBrainzOwner);
    body.insert(body.end(), bytes.begin(), bytes.end());
    return appendFrame(tag, "UFID", body);
}

// APIC: encoding, MIME type (Latin-1), 0, picture type, empty description, the image.
bool appendPicture(std::vector<uint8_t>& tag, const std::shared_ptr<const CoverPicture>& cover)
{
    if (!cover)
        return true;
    std::vector<uint8_t> body{id3::kEncodingUtf8};
    body.reserve(cover->bytes.size() + cover->mimeType.size() + 4);
    appendText(body, cover->mimeType);
    body.push_back(kPictureFrontCover);
    body.push_back(0);
    body.insert(body.end(), cover->bytes.begin(), cover->bytes.end());
    return appendFrame(tag, "APIC", body);
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
                      appendTextFrame(tag, "TRCK", ofTotal(tags.trackNumber, tags.trackTotal)) &&
                      appendTextFrame(tag, "TPOS", ofTotal(tags.discNumber, tags.discTotal)) &&
                      appendTextFrame(tag, "TPE2", tags.albumArtist) && appendTextFrame(tag, "TSRC", tags.isrc) &&
                      appendUserText(tag, "MusicBrainz Album Id", tags.musicBrainzAlbumId) &&
                      appendUserText(tag, "MusicBrainz Release Track Id", tags.musicBrainzReleaseTrackId) &&
                      appendUserText(tag, "MusicBrainz Artist Id", tags.musicBrainzArtistId) &&
                      appendUserText(tag, "MusicBrainz Album Artist Id", tags.musicBrainzAlbumArtistId) &&
                      appendRecordingId(tag, tags.musicBrainzRecordingId) && appendPicture(tag, tags.cover);
    if (!fits)
        return std::nullopt;
    writeSyncsafe(tag.data() + 6, static_cast<uint32_t>(tag.size() - id3::kHeaderSize));
    return tag;
}

void addId3Padding(std::vector<uint8_t>& tag, size_t bytes)
{
    if (tag.size() < id3::kHeaderSize || tag.size() - id3::kHeaderSize + bytes >= id3::kSyncsafeLimit)
        return;
    tag.resize(tag.size() + bytes, 0);
    writeSyncsafe(tag.data() + 6, static_cast<uint32_t>(tag.size() - id3::kHeaderSize));
}

} // namespace tonvane
