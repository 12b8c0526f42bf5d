#pragma once
#include "encoders/tags/LoudnessTags.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tonvane {

// A Vorbis comment body (FLAC's VORBIS_COMMENT block, the Vorbis and Opus comment packets
// without their magic): little-endian vendor length, vendor, count, then length + "NAME=value"
// per entry.
struct CommentList {
    std::string vendor;
    std::vector<std::string> entries;

    // Reads a body from the front of bytes; used = the bytes it took. Nothing when a length
    // points past the end.
    static std::optional<CommentList> parse(const uint8_t* bytes, size_t size, size_t& used);
    std::vector<uint8_t> serialize() const;
    // Drops every entry of that name (ASCII case ignored).
    void remove(std::string_view name);
    void add(std::string_view name, std::string_view value);
    // The value of the first entry of that name.
    std::optional<std::string> find(std::string_view name) const;
};

// The ReplayGain entries of tags as name/value pairs (two without album values).
std::vector<std::pair<const char*, std::string>> replayGainEntries(const LoudnessTags& tags);
// Replaces the four ReplayGain entries of list by those of tags.
void putReplayGain(CommentList& list, const LoudnessTags& tags);

} // namespace tonvane
