#include "encoders/vorbis/VorbisComments.h"

#include "encoders/framework/TagText.h"

namespace tonvane {

std::vector<VorbisComment> vorbisComments(const TrackTags& tags)
{
    std::vector<VorbisComment> comments;
    comments.push_back({"ENCODER", tagText(tags.encoder)});
    auto addIfSet = [&comments](const char* name, const WideString& text) {
        std::string value = tagText(text);
        if (!value.empty())
            comments.push_back({name, std::move(value)});
    };
    addIfSet("DISCID", tags.discId);
    addIfSet("ALBUM", tags.album);
    addIfSet("TITLE", tags.title);
    addIfSet("ARTIST", tags.artist);
    // Composer and artist are the same text on a CD; the artist is the one filled in reliably.
    addIfSet("COMPOSER", tags.artist);
    addIfSet("DATE", tags.year);
    addIfSet("GENRE", tags.genre);
    addIfSet("TRACKNUMBER", tags.trackNumber);
    // From a MusicBrainz match, with the names MusicBrainz Picard writes.
    addIfSet("TRACKTOTAL", tags.trackTotal);
    addIfSet("DISCNUMBER", tags.discNumber);
    addIfSet("DISCTOTAL", tags.discTotal);
    addIfSet("ALBUMARTIST", tags.albumArtist);
    addIfSet("ISRC", tags.isrc);
    addIfSet("MUSICBRAINZ_ALBUMID", tags.musicBrainzAlbumId);
    addIfSet("MUSICBRAINZ_RELEASETRACKID", tags.musicBrainzReleaseTrackId);
    addIfSet("MUSICBRAINZ_TRACKID", tags.musicBrainzRecordingId);
    addIfSet("MUSICBRAINZ_ARTISTID", tags.musicBrainzArtistId);
    addIfSet("MUSICBRAINZ_ALBUMARTISTID", tags.musicBrainzAlbumArtistId);
    return comments;
}

} // namespace tonvane

namespace tonvane {

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kPngWidthAt = 16; // [bytes] IHDR width, height, bit depth, colour type follow
constexpr size_t kPngHeaderBytes = 26;
constexpr uint8_t kJpegMarker = 0xFF;
constexpr uint32_t kRgbDepth = 24; // [bits per pixel]

uint32_t be16(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) << 8 | b[at + 1];
}

uint32_t be32(const std::vector<uint8_t>& b, size_t at)
{
    return be16(b, at) << 16 | be16(b, at + 2);
}

PictureSize pngSize(const std::vector<uint8_t>& b)
{
    if (b.size() < kPngHeaderBytes)
        return {};
    // Colour type 2 (RGB) has 3 samples per pixel, 6 (RGBA) 4, 0 grey 1, 4 grey+alpha 2, 3 palette 1.
    static constexpr uint32_t kSamples[7] = {1, 0, 3, 1, 2, 0, 4};
    uint32_t colourType = b[kPngWidthAt + 9];
    uint32_t samples = colourType < 7 ? kSamples[colourType] : 0;
    return {be32(b, kPngWidthAt), be32(b, kPngWidthAt + 4), samples * b[kPngWidthAt + 8]};
}

// Walks the JPEG markers to the first start-of-frame (SOF0-SOF15 but DHT, JPG and DAC).
PictureSize jpegSize(const std::vector<uint8_t>& b)
{
    size_t at = 2;
    while (at + 9 < b.size() && b[at] == kJpegMarker) {
        uint8_t marker = b[at + 1];
        uint32_t length = be16(b, at + 2);
        bool startOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame)
            return {be16(b, at + 7), be16(b, at + 5), uint32_t(b[at + 4]) * b[at + 9]};
        if (length < 2)
            break;
        at += 2 + length;
    }
    return {};
}

void appendBe32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

} // namespace

PictureSize pictureSize(const CoverPicture& picture)
{
    PictureSize size = picture.mimeType == "image/png" ? pngSize(picture.bytes) : jpegSize(picture.bytes);
    if (size.depth == 0 && size.width != 0)
        size.depth = kRgbDepth;
    return size;
}

std::vector<uint8_t> pictureBlock(const CoverPicture& picture)
{
    PictureSize size = pictureSize(picture);
    std::vector<uint8_t> block;
    block.reserve(picture.bytes.size() + 64);
    appendBe32(block, kPictureFrontCover);
    appendBe32(block, static_cast<uint32_t>(picture.mimeType.size()));
    block.insert(block.end(), picture.mimeType.begin(), picture.mimeType.end());
    appendBe32(block, 0); // description length
    appendBe32(block, size.width);
    appendBe32(block, size.height);
    appendBe32(block, size.depth);
    appendBe32(block, 0); // colours of an indexed picture: not counted
    appendBe32(block, static_cast<uint32_t>(picture.bytes.size()));
    block.insert(block.end(), picture.bytes.begin(), picture.bytes.end());
    return block;
}

std::string base64(const std::vector<uint8_t>& bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t at = 0; at < bytes.size(); at += 3) {
        size_t left = bytes.size() - at;
        uint32_t group = uint32_t(bytes[at]) << 16 | (left > 1 ? uint32_t(bytes[at + 1]) << 8 : 0) |
                         (left > 2 ? uint32_t(bytes[at + 2]) : 0);
        text += kBase64Alphabet[group >> 18 & 0x3F];
        text += kBase64Alphabet[group >> 12 & 0x3F];
        text += left > 1 ? kBase64Alphabet[group >> 6 & 0x3F] : '=';
        text += left > 2 ? kBase64Alphabet[group & 0x3F] : '=';
    }
    return text;
}

} // namespace tonvane
