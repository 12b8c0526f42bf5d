#pragma once
#include "encoders/tags/LoudnessTags.h"
#include "encoders/tags/TagRewriteIo.h"

#include <string>

namespace tonvane {

// Puts the ReplayGain comments into a finished FLAC file. When the new VORBIS_COMMENT fits into
// the old one plus the PADDING the writer reserved, the metadata is rewritten in place at the
// same size (the audio frames never move); otherwise into a temporary copy with fresh padding
// that is synced and renamed over the file. True = the file carries the tags; false = the file
// is exactly as before (io.problem() says why).
bool rewriteFlacTags(const std::string& path, const LoudnessTags& tags, TagRewriteIo& io);

} // namespace tonvane
