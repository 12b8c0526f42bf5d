#include "net/musicbrainz/MusicBrainzJson.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace tonvane {

namespace {

using Json = nlohmann::json;

constexpr size_t kMbidLength = 36;
constexpr size_t kIsrcLength = 12;
constexpr int64_t kMaxPosition = 9999; // media and track positions beyond are not believed
constexpr int kMaxNesting = 32; // MusicBrainz replies nest about 8 deep

// False when arrays and objects nest deeper than kMaxNesting: the parser would build every level
// before it could refuse the text, megabytes of "[" growing into gigabytes of nodes.
bool nestingWithinLimit(std::string_view json)
{
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < json.size(); ++i) {
        char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i; // the escaped character cannot end the string
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxNesting)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

// The member's text, cut to the limit at a UTF-8 character boundary; empty when absent or not
// a string. nlohmann has checked the UTF-8 while parsing.
std::string text(const Json& object, const char* key)
{
    if (!object.is_object())
        return {};
    auto found = object.find(key);
    if (found == object.end() || !found->is_string())
        return {};
    const std::string& value = found->get_ref<const std::string&>();
    if (value.size() <= kMaxMusicBrainzTextBytes)
        return value;
    size_t cut = kMaxMusicBrainzTextBytes;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
        --cut;
    return value.substr(0, cut);
}

std::string mbid(const Json& object, const char* key)
{
    std::string value = text(object, key);
    return isMusicBrainzId(value) ? value : std::string();
}

// A small positive integer member, or fallback.
int32_t position(const Json& object, const char* key, int32_t fallback)
{
    if (!object.is_object())
        return fallback;
    auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer())
        return fallback;
    int64_t value = found->get<int64_t>();
    return value >= 0 && value <= kMaxPosition ? static_cast<int32_t>(value) : fallback;
}

const Json* member(const Json& object, const char* key, Json::value_t type)
{
    if (!object.is_object())
        return nullptr;
    auto found = object.find(key);
    return found != object.end() && found->type() == type ? &*found : nullptr;
}

// "name" + "joinphrase" of every credit, in order; the first credited artist's id.
void readCredit(const Json& object, std::string& names, std::string& firstArtistId)
{
    const Json* credit = member(object, "artist-credit", Json::value_t::array);
    if (!credit)
        return;
    for (const Json& part : *credit) {
        if (names.size() >= kMaxMusicBrainzTextBytes)
            break;
        names += text(part, "name");
        names += text(part, "joinphrase");
        if (firstArtistId.empty()) {
            if (const Json* artist = member(part, "artist", Json::value_t::object))
                firstArtistId = mbid(*artist, "id");
        }
    }
    if (names.size() > kMaxMusicBrainzTextBytes) {
        size_t cut = kMaxMusicBrainzTextBytes;
        while (cut > 0 && (static_cast<unsigned char>(names[cut]) & 0xC0) == 0x80)
            --cut;
        names.resize(cut);
    }
}

bool isIsrc(std::string_view code)
{
    if (code.size() != kIsrcLength)
        return false;
    for (char c : code) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

MusicBrainzTrack readTrack(const Json& object, int32_t fallbackPosition)
{
    MusicBrainzTrack track;
    track.position = position(object, "position", fallbackPosition);
    track.title = text(object, "title");
    track.releaseTrackId = mbid(object, "id");
    readCredit(object, track.artist, track.artistId);
    if (const Json* recording = member(object, "recording", Json::value_t::object)) {
        track.recordingId = mbid(*recording, "id");
        if (track.title.empty())
            track.title = text(*recording, "title");
        if (track.artist.empty())
            readCredit(*recording, track.artist, track.artistId);
        if (const Json* isrcs = member(*recording, "isrcs", Json::value_t::array)) {
            if (!isrcs->empty() && (*isrcs)[0].is_string() && isIsrc((*isrcs)[0].get_ref<const std::string&>()))
                track.isrc = (*isrcs)[0].get_ref<const std::string&>();
        }
    }
    return track;
}

bool listsDisc(const Json& medium, std::string_view discId)
{
    const Json* discs = member(medium, "discs", Json::value_t::array);
    if (!discs || discId.empty())
        return false;
    for (const Json& disc : *discs) {
        if (text(disc, "id") == discId)
            return true;
    }
    return false;
}

size_t trackCountOf(const Json& medium)
{
    int32_t announced = position(medium, "track-count", -1);
    if (announced >= 0)
        return static_cast<size_t>(announced);
    const Json* tracks = member(medium, "tracks", Json::value_t::array);
    return tracks ? tracks->size() : 0;
}

// The medium of release that holds the disc, or null.
const Json* mediumFor(const Json& release, std::string_view discId, size_t audioTrackCount)
{
    const Json* media = member(release, "media", Json::value_t::array);
    if (!media)
        return nullptr;
    size_t looked = 0;
    for (const Json& medium : *media) {
        if (++looked > kMaxMusicBrainzMedia)
            break;
        if (listsDisc(medium, discId))
            return &medium;
    }
    looked = 0;
    for (const Json& medium : *media) {
        if (++looked > kMaxMusicBrainzMedia)
            break;
        if (medium.is_object() && trackCountOf(medium) == audioTrackCount)
            return &medium;
    }
    return nullptr;
}

MusicBrainzMatch readMatch(const Json& release, const Json& medium)
{
    MusicBrainzMatch match;
    match.releaseId = mbid(release, "id");
    match.title = text(release, "title");
    match.date = text(release, "date");
    match.country = text(release, "country");
    readCredit(release, match.artist, match.artistId);
    match.format = text(medium, "format");
    match.discNumber = std::max(position(medium, "position", 1), 1);
    const Json* media = member(release, "media", Json::value_t::array);
    match.discCount = std::max(static_cast<int32_t>(media ? std::min(media->size(), size_t(kMaxPosition)) : 1),
                               match.discNumber);
    match.trackCount = static_cast<int32_t>(std::min<size_t>(trackCountOf(medium), kMaxPosition));
    if (const Json* tracks = member(medium, "tracks", Json::value_t::array)) {
        for (const Json& track : *tracks) {
            if (match.tracks.size() >= kMaxMusicBrainzTracks)
                break;
            match.tracks.push_back(readTrack(track, static_cast<int32_t>(match.tracks.size() + 1)));
        }
    }
    return match;
}

} // namespace

bool isMusicBrainzId(std::string_view text)
{
    if (text.size() != kMbidLength)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        char c = text[i];
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

std::optional<std::vector<MusicBrainzMatch>> parseMusicBrainzReleases(std::string_view json, std::string_view discId,
                                                                      size_t audioTrackCount, std::string& error)
{
    if (!nestingWithinLimit(json)) {
        error = "the MusicBrainz reply nests deeper than any real one";
        return std::nullopt;
    }
    Json reply = Json::parse(json.begin(), json.end(), nullptr, false);
    if (reply.is_discarded() || !reply.is_object()) {
        error = "the MusicBrainz reply is not a JSON object";
        return std::nullopt;
    }
    std::vector<MusicBrainzMatch> matches;
    const Json* releases = member(reply, "releases", Json::value_t::array);
    if (!releases)
        return matches;
    for (const Json& release : *releases) {
        if (matches.size() >= kMaxMusicBrainzReleases)
            break;
        if (!release.is_object())
            continue;
        if (const Json* medium = mediumFor(release, discId, audioTrackCount))
            matches.push_back(readMatch(release, *medium));
    }
    return matches;
}

} // namespace tonvane
