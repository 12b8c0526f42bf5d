#pragma once
#include <string>
#include <string_view>

namespace tonvane {

// Text from outside (a CDDB server's titles) made safe to print on a terminal: every C0 control
// character, DEL and C1 control (U+0080-U+009F, which 8-bit terminals read as escape sequences)
// becomes a space, so a hostile entry cannot move the cursor, retitle the window or hide lines.
// Bytes that are not valid UTF-8 become '?'.
std::string terminalText(std::string_view utf8);

} // namespace tonvane
