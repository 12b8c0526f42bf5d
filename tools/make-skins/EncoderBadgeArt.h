#pragma once
#include "tools/make-skins/Canvas.h"

namespace tonvane::skins {

// The track-list format strip: square badges side by side, one per output format in the order
// MP3, Ogg Vorbis, FLAC, WAV, Opus, each a coloured tile with its name in letters. Renders canvas.
void paintEncoderBadges(Canvas& canvas, int badgeSize);

} // namespace tonvane::skins
