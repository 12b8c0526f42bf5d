#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonvane {

class Font;

inline constexpr char16_t kEllipsis = u'\u2026'; // "…"

// A text cut to a width: the whole text when it fits, else the longest head that fits with the
// ellipsis after it. The cut falls between characters: never between the halves of a surrogate
// pair nor before a combining mark (a base letter keeps its accents); spaces before the
// ellipsis are dropped. Empty (and cut) when not even the ellipsis fits.
struct FittedText {
    std::u16string text;
    double width = 0; // [pixels] of `text`
    bool cut = false;
};

// Measures with the font's glyphs (takes the text lock; loads glyphs it meets). A line feed
// counts as the end of the text, a tab as eight space widths.
FittedText fitWithEllipsis(Font& font, std::u16string_view text, double available);

// Breaks the text into at most `maxLines` lines of `available` pixels the way drawText does (at
// the last space, inside a word longer than a line); the last line takes the rest of the text,
// cut with the ellipsis when it does not fit. Empty when maxLines is 0 or nothing fits.
std::vector<std::u16string> wrapWithEllipsis(Font& font, std::u16string_view text, double available,
                                             uint32_t maxLines);

// A mark that joins the character before it (combining diacritics, the kana sound marks,
// variation selectors, joiners): a cut never falls right before one.
bool joinsPrevious(char32_t c);

} // namespace tonvane
