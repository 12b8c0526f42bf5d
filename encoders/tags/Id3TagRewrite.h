#pragma once
#include "encoders/tags/LoudnessTags.h"
#include "encoders/tags/TagRewriteIo.h"

#include <string>

namespace tonvane {

// Puts the ReplayGain values into a finished MP3 file's ID3v2.4 tag as TXXX frames (description
// "REPLAYGAIN_TRACK_GAIN" and so on, UTF-8), replacing earlier ones. When the frames fit into the
// tag's padding the tag is rewritten in place at the same size, so the Info frame and the audio
// stay where they are; otherwise the file is rewritten into a temporary copy with a larger tag
// that is synced and renamed over it. True = the file carries the tags; false = the file is
// exactly as before (io.problem() says why).
bool rewriteId3Tags(const std::string& path, const LoudnessTags& tags, TagRewriteIo& io);

} // namespace tonvane
