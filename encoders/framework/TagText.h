#pragma once
#include "core/foundation/WideString.h"

#include <string>

namespace tonvane {

// The UTF-8 form of a tag's text as it goes into a file. Control characters other than tab and
// newline are dropped (C0, DEL, C1): a NUL would end the text early in the C-string APIs of
// libFLAC and libvorbis and split an ID3v2.4 text frame into several values, and the others only
// confuse the programs that show tags. Unpaired surrogates become U+FFFD, so the bytes are always
// valid UTF-8.
std::string tagText(const WideString& text);

} // namespace tonvane
