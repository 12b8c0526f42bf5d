#include "net/musicbrainz/MusicBrainzDiscId.h"

#include "net/musicbrainz/Sha1.h"

#include <cstdio>

namespace tonvane {

namespace {

constexpr uint8_t kDataTrackControl = 0x04; // CONTROL bit 2: a data track
constexpr size_t kDiscIdTrackSlots = 99;
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._";
constexpr char kBase64Padding = '-';

bool isData(const DiscToc::Track& track)
{
    return (track.controlAdr & kDataTrackControl) != 0;
}

std::string hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// Base64 with the URL-safe characters MusicBrainz chose.
std::string base64(const Sha1Digest& digest)
{
    std::string text;
    for (size_t at = 0; at < digest.size(); at += 3) {
        size_t left = digest.size() - at;
        uint32_t group = uint32_t(digest[at]) << 16 | (left > 1 ? uint32_t(digest[at + 1]) << 8 : 0) |
                         (left > 2 ? uint32_t(digest[at + 2]) : 0);
        text += kBase64Alphabet[group >> 18 & 0x3F];
        text += kBase64Alphabet[group >> 12 & 0x3F];
        text += left > 1 ? kBase64Alphabet[group >> 6 & 0x3F] : kBase64Padding;
        text += left > 2 ? kBase64Alphabet[group & 0x3F] : kBase64Padding;
    }
    return text;
}

} // namespace

std::optional<MusicBrainzToc> musicBrainzToc(const DiscToc& toc)
{
    if (!isConsistent(toc))
        return std::nullopt;
    size_t audioEnd = toc.tracks.size(); // one past the last track of the first session
    while (audioEnd > 0 && isData(toc.tracks[audioEnd - 1]))
        --audioEnd;
    if (audioEnd == 0)
        return std::nullopt; // no audio at all
    MusicBrainzToc result;
    result.firstTrack = toc.firstTrack;
    result.lastTrack = toc.tracks[audioEnd - 1].number;
    uint32_t leadOutLba = toc.leadOutLba;
    if (audioEnd < toc.tracks.size()) {
        uint32_t dataStart = toc.tracks[audioEnd].startLba;
        if (dataStart < kMusicBrainzSessionGap || dataStart - kMusicBrainzSessionGap <= toc.tracks[audioEnd - 1].startLba)
            return std::nullopt; // no room for the session gap: not a layout a disc can have
        leadOutLba = dataStart - kMusicBrainzSessionGap;
    }
    result.leadOut = leadOutLba + kLeadInSectors;
    for (size_t i = 0; i < audioEnd; ++i)
        result.offsets.push_back(toc.tracks[i].startLba + kLeadInSectors);
    return result;
}

std::string musicBrainzDiscId(const MusicBrainzToc& toc)
{
    std::string text = hex(toc.firstTrack, 2) + hex(toc.lastTrack, 2) + hex(toc.leadOut, 8);
    for (size_t slot = 0; slot < kDiscIdTrackSlots; ++slot) {
        // Slot n holds track n + 1; tracks below the first one are 0 like the absent ones.
        size_t number = slot + 1;
        bool present = number >= toc.firstTrack && number - toc.firstTrack < toc.offsets.size();
        text += hex(present ? toc.offsets[number - toc.firstTrack] : 0, 8);
    }
    return base64(sha1(text));
}

std::string musicBrainzTocQuery(const MusicBrainzToc& toc)
{
    std::string query = std::to_string(toc.firstTrack) + "+" + std::to_string(toc.lastTrack) + "+" +
                        std::to_string(toc.leadOut);
    for (uint32_t offset : toc.offsets)
        query += "+" + std::to_string(offset);
    return query;
}

} // namespace tonvane
