#pragma once
#include "encoders/tags/LoudnessTags.h"

#include <string>

namespace tonvane {

enum class RetagResult : uint8_t {
    Written, // the file carries the tags
    NoTags, // a format without loudness tags (WAV): left alone
    Failed, // the file is exactly as before
};

// Writes the loudness tags into a finished track file of any of our formats, told apart by the
// file's first bytes (FLAC, ID3v2-tagged MP3, Ogg Vorbis or Opus; RIFF WAVE gets none). problem
// says why on Failed. failAt > 0 makes that file step fail (tests).
RetagResult writeLoudnessTags(const std::string& path, const LoudnessTags& tags, std::string& problem,
                              int failAt = 0);

} // namespace tonvane
