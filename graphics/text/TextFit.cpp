#include "graphics/text/TextFit.h"

#include "graphics/text/Font.h"
#include "graphics/text/FontList.h"
#include "graphics/text/TextLayout.h"

#include <mutex>

namespace tonvane {

namespace {

constexpr char32_t kTab = 9;
constexpr char32_t kLineFeed = 10;
constexpr char32_t kSpace = 32;
constexpr int kTabSpaces = 8;

// The advance of c (text lock held); 0 for a character no face has.
double advanceOf(Font& font, char32_t c)
{
    if (c == kTab)
        return kTabSpaces * font.space_advance;
    const Glyph* g = font.glyph(c);
    return g != nullptr ? g->advance_x : 0;
}

// fitWithEllipsis with the text lock held.
FittedText fitLocked(Font& font, std::u16string_view text, double available)
{
    FittedText fitted;
    if (text.empty())
        return fitted;
    if (!(available > 0)) {
        fitted.cut = true;
        return fitted;
    }
    auto length = static_cast<uint32_t>(text.size());
    // The ellipsis, or three full stops for a face without it.
    std::u16string ellipsis(1, kEllipsis);
    if (font.glyph(kEllipsis) == nullptr)
        ellipsis = u"...";
    double ellipsisWidth = 0;
    for (char16_t c : ellipsis)
        ellipsisWidth += advanceOf(font, c);

    double width = 0;
    uint32_t cut = 0; // the last boundary whose head fits with the ellipsis
    double cutWidth = 0;
    uint32_t i = 0;
    while (i < length) {
        uint32_t at = i;
        char32_t c = nextCharacter(text.data(), length, i);
        if (c == kLineFeed) {
            length = at;
            break;
        }
        if (!joinsPrevious(c) && width + ellipsisWidth <= available) {
            cut = at;
            cutWidth = width;
        }
        width += advanceOf(font, c);
    }
    if (width <= available) {
        fitted.text = std::u16string(text.substr(0, length));
        fitted.width = width;
        return fitted;
    }
    fitted.cut = true;
    if (ellipsisWidth > available)
        return fitted;
    // Spaces before the ellipsis would only widen the gap.
    while (cut > 0 && (text[cut - 1] == kSpace || text[cut - 1] == kTab)) {
        --cut;
        cutWidth -= advanceOf(font, text[cut]);
    }
    fitted.text = std::u16string(text.substr(0, cut)) + ellipsis;
    fitted.width = cutWidth + ellipsisWidth;
    return fitted;
}

} // namespace

bool joinsPrevious(char32_t c)
{
    return (c >= 0x0300 && c <= 0x036F) // combining diacritical marks
        || (c >= 0x0483 && c <= 0x0489) // Cyrillic combining marks
        || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) // their extensions
        || (c >= 0x20D0 && c <= 0x20FF) // marks for symbols
        || c == 0x200D // zero-width joiner
        || (c >= 0x3099 && c <= 0x309A) // kana voiced and semi-voiced sound marks
        || (c >= 0xFE00 && c <= 0xFE0F) // variation selectors
        || (c >= 0xFE20 && c <= 0xFE2F) // combining half marks
        || (c >= 0xDC00 && c <= 0xDFFF); // a low surrogate that nextCharacter left alone
}

FittedText fitWithEllipsis(Font& font, std::u16string_view text, double available)
{
    std::lock_guard guard(textLock());
    return fitLocked(font, text, available);
}

std::vector<std::u16string> wrapWithEllipsis(Font& font, std::u16string_view text, double available,
                                             uint32_t maxLines)
{
    std::vector<std::u16string> lines;
    auto total = static_cast<uint32_t>(text.size());
    uint32_t at = 0;
    while (lines.size() < maxLines && at < total) {
        if (lines.size() + 1 == maxLines) {
            FittedText last = fitWithEllipsis(font, text.substr(at), available);
            if (!last.text.empty())
                lines.push_back(std::move(last.text));
            break;
        }
        LineFit fit = measureLine(font, text.data() + at, total - at, available);
        if (fit.end == LineEnd::NothingFits)
            break;
        lines.emplace_back(text.substr(at, fit.characters));
        at += fit.characters;
        if (fit.end == LineEnd::LineFeed)
            ++at;
        else if (fit.end == LineEnd::SoftBreak)
            while (at < total && (text[at] == kSpace || text[at] == kTab))
                ++at;
    }
    return lines;
}

} // namespace tonvane
