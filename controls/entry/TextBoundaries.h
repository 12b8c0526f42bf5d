#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tonvane {

// Positions in UTF-8 text that a caret may take: grapheme boundaries. A grapheme here is a
// base character with the combining marks after it (U+0300-036F, U+1AB0-1AFF, U+1DC0-1DFF,
// U+20D0-20FF, U+FE20-FE2F, the kana sound marks), variation selectors, emoji modifiers and tag
// characters, and whatever a zero-width joiner (U+200D) joins to it. The text is expected to be
// well-formed (cleanTypedText makes it so); a stray byte counts as one character.
namespace text_boundaries {

// The code point starting at byte `at` and its length in bytes (1 for a stray byte, given as
// U+FFFD).
char32_t decodeAt(std::string_view text, size_t at, size_t& length);
// True for code points that belong to the grapheme before them.
bool extendsGrapheme(char32_t code);
// The next code point boundary after `at` (text.size() at the end).
size_t nextCodePoint(std::string_view text, size_t at);
// The grapheme boundary after `at`, and the one before it (0 at the start).
size_t nextGrapheme(std::string_view text, size_t at);
size_t previousGrapheme(std::string_view text, size_t at);
bool isGraphemeBoundary(std::string_view text, size_t at);
// The longest head of text ending on a grapheme boundary within maxBytes [bytes].
size_t graphemeCut(std::string_view text, size_t maxBytes);
// The start and end of the word (letters and digits, or a run of anything else but spaces)
// around `at`.
size_t wordStart(std::string_view text, size_t at);
size_t wordEnd(std::string_view text, size_t at);

// Text from outside (typed, pasted) made fit for a one-line field: ill-formed UTF-8 becomes
// U+FFFD, line breaks and tabs become one space each (CR LF one space), other C0 and C1
// controls and DEL are dropped, and so is a combining mark with no character before it
// (afterCharacter: the text goes right after a character, which a leading mark may join).
std::string cleanTypedText(std::string_view text, bool afterCharacter = false);

} // namespace text_boundaries
} // namespace tonvane
