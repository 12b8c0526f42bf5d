#include "encoders/tags/CommentList.h"

namespace tonvane {

namespace {

constexpr size_t kLengthBytes = 4; // little-endian 32-bit lengths and count

uint32_t readLe32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void appendLe32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool hasName(std::string_view entry, std::string_view name)
{
    if (entry.size() <= name.size() || entry[name.size()] != '=')
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (upper(entry[i]) != upper(name[i]))
            return false;
    return true;
}

} // namespace

std::optional<CommentList> CommentList::parse(const uint8_t* bytes, size_t size, size_t& used)
{
    CommentList list;
    size_t at = 0;
    auto take = [&](std::string& into) {
        if (size - at < kLengthBytes)
            return false;
        uint32_t length = readLe32(bytes + at);
        at += kLengthBytes;
        if (length > size - at)
            return false;
        into.assign(reinterpret_cast<const char*>(bytes + at), length);
        at += length;
        return true;
    };
    if (!take(list.vendor) || size - at < kLengthBytes)
        return std::nullopt;
    uint32_t count = readLe32(bytes + at);
    at += kLengthBytes;
    // Each entry needs at least its length: a count beyond that is damage, not a reason to reserve.
    if (count > (size - at) / kLengthBytes)
        return std::nullopt;
    list.entries.resize(count);
    for (std::string& entry : list.entries)
        if (!take(entry))
            return std::nullopt;
    used = at;
    return list;
}

std::vector<uint8_t> CommentList::serialize() const
{
    std::vector<uint8_t> out;
    appendLe32(out, static_cast<uint32_t>(vendor.size()));
    out.insert(out.end(), vendor.begin(), vendor.end());
    appendLe32(out, static_cast<uint32_t>(entries.size()));
    for (const std::string& entry : entries) {
        appendLe32(out, static_cast<uint32_t>(entry.size()));
        out.insert(out.end(), entry.begin(), entry.end());
    }
    return out;
}

void CommentList::remove(std::string_view name)
{
    std::erase_if(entries, [name](const std::string& entry) { return hasName(entry, name); });
}

void CommentList::add(std::string_view name, std::string_view value)
{
    std::string entry(name);
    entry += '=';
    entry += value;
    entries.push_back(std::move(entry));
}

std::optional<std::string> CommentList::find(std::string_view name) const
{
    for (const std::string& entry : entries)
        if (hasName(entry, name))
            return entry.substr(name.size() + 1);
    return std::nullopt;
}

std::vector<std::pair<const char*, std::string>> replayGainEntries(const LoudnessTags& tags)
{
    std::vector<std::pair<const char*, std::string>> entries = {{kTrackGainName, tags.trackGain},
                                                                {kTrackPeakName, tags.trackPeak}};
    if (tags.hasAlbum()) {
        entries.emplace_back(kAlbumGainName, tags.albumGain);
        entries.emplace_back(kAlbumPeakName, tags.albumPeak);
    }
    return entries;
}

void putReplayGain(CommentList& list, const LoudnessTags& tags)
{
    for (const char* name : {kTrackGainName, kTrackPeakName, kAlbumGainName, kAlbumPeakName})
        list.remove(name);
    for (const auto& [name, value] : replayGainEntries(tags))
        list.add(name, value);
}

} // namespace tonvane
