#pragma once
#include "encoders/tags/LoudnessTags.h"
#include "encoders/tags/TagRewriteIo.h"

#include <string>

namespace tonvane {

// Puts the loudness into a finished Ogg Vorbis file (the four REPLAYGAIN_* comments) or Ogg Opus
// file (R128_TRACK_GAIN and R128_ALBUM_GAIN, relative to the header's output gain). The comment
// packet is rebuilt into new pages (the Vorbis setup packet after it as before), the pages after
// it keep their bytes except for sequence numbers and checksums, and everything goes into a
// temporary file in the same folder that is synced and renamed over the file. Single-stream
// files only; every page's checksum is checked. True = the file carries the tags; false = the
// file is exactly as before (io.problem() says why).
bool rewriteOggComments(const std::string& path, const LoudnessTags& tags, TagRewriteIo& io);

} // namespace tonvane
