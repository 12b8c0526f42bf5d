#pragma once
#include <string>
#include <string_view>

namespace tonvane {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// UTF-16 -> UTF-8. An unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
// UTF-8 -> UTF-16. Every ill-formed sequence (stray continuation byte, overlong form, encoded
// surrogate, value above U+10FFFF, sequence cut short) becomes one U+FFFD per maximal subpart.
std::u16string utf8ToUtf16(std::string_view text);
// True when text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);
// ISO-8859-1 bytes -> UTF-16 (each byte is its own code point).
std::u16string latin1ToUtf16(std::string_view text);

} // namespace tonvane
