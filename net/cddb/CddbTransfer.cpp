#include "net/cddb/CddbTransfer.h"

#include "core/ProductConfig.h"
#include "core/foundation/Utf.h"

#include <algorithm>

namespace tonvane {

namespace {

constexpr std::u16string_view kArtistAlbumSeparator = u" / ";
constexpr int32_t kMaxCddbTrackIndex = 98; // TTITLE0 .. TTITLE98: a disc has at most 99 tracks

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool keyMatches(std::string_view line, std::string_view key)
{
    if (line.size() <= key.size() || line[key.size()] != '=')
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if (lowerAscii(line[i]) != lowerAscii(key[i]))
            return false;
    }
    return true;
}

WideString limited(std::u16string text)
{
    if (text.size() > static_cast<size_t>(kMaxCddbValueCharacters)) {
        size_t keep = kMaxCddbValueCharacters;
        if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF)
            --keep; // never leave half a surrogate pair
        text.resize(keep);
    }
    return WideString(std::u16string_view(text));
}

} // namespace

std::string decodeCddbEscapes(std::string_view value)
{
    std::string decoded;
    decoded.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        char next = i + 1 < value.size() ? value[i + 1] : '\0';
        if (value[i] == '\\' && (next == 'n' || next == 't' || next == '\\')) {
            decoded += next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
            ++i;
        } else {
            decoded += value[i];
        }
    }
    return decoded;
}

std::string cddbValueBytes(const CddbMatch& match, std::string_view key)
{
    std::string value;
    for (const std::string& line : match.lines) {
        if (keyMatches(line, key))
            value.append(line, key.size() + 1);
    }
    return value;
}

WideString cddbValue(const CddbMatch& match, std::string_view key, int protocolLevel)
{
    // Joined first: a value split over lines may split an escape too.
    std::string bytes = decodeCddbEscapes(cddbValueBytes(match, key));
    if (!isValidUtf8(bytes) && protocolLevel < CddbProtocol::kUtf8ProtocolLevel)
        return limited(latin1ToUtf16(bytes));
    return limited(utf8ToUtf16(bytes));
}

void applyCddbMatch(const std::vector<CddbMatch>& matches, size_t r, int protocolLevel, std::span<TrackEntry> tracks,
                    int32_t firstTrack)
{
    if (matches.empty())
        return;
    const CddbMatch& match = matches[std::min(r, matches.size() - 1)];

    WideString year = cddbValue(match, "DYEAR", protocolLevel);
    WideString genre = cddbValue(match, "DGENRE", protocolLevel);
    WideString discTitle = cddbValue(match, "DTITLE", protocolLevel);
    WideString artist = discTitle;
    WideString album;
    size_t separator = discTitle.view().find(kArtistAlbumSeparator);
    if (separator != std::u16string_view::npos) {
        artist.assign(discTitle.view().substr(0, separator));
        album.assign(discTitle.view().substr(separator + kArtistAlbumSeparator.size()));
    }

    size_t count = std::min(tracks.size(), match.lines.size());
    int32_t number = firstTrack - 1;
    for (TrackEntry& track : tracks.first(count)) {
        number = track.trackNumber > 0 ? track.trackNumber : number + 1;
        int32_t entryIndex = number - firstTrack;
        if (entryIndex < 0 || entryIndex > kMaxCddbTrackIndex)
            continue;
        WideString title = cddbValue(match, "TTITLE" + std::to_string(entryIndex), protocolLevel);
        track.title = title;
        track.tags.title = title;
        track.tags.encoder.assign(product::kEncoderText);
        track.tags.year = year;
        track.tags.genre = genre;
        track.tags.trackNumber.clear();
        track.tags.trackNumber.appendDecimal(number);
        track.tags.album = album;
        track.tags.artist = artist;
        track.tags.composer = artist;
    }
}

} // namespace tonvane
