#pragma once
#include "core/foundation/WideString.h"

#include <string_view>

namespace tonvane {

// One component of a file or folder path made from outside text (a title, an album, an artist):
// the characters a file name cannot or should not hold are dropped ('"' becomes '\''). May
// answer an empty name; the caller picks a fallback then.
WideString safePathComponent(std::u16string_view text);

} // namespace tonvane
