#include "controls/entry/TextBoundaries.h"

namespace tonvane::text_boundaries {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kZeroWidthJoiner = 0x200D;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool isWordCharacter(char32_t code)
{
    if (code < 0x80)
        return (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z')
            || code == '_';
    return code != 0x00A0 && code != 0x3000 && !(code >= 0x2000 && code <= 0x206F);
}

bool isSpace(char32_t code) { return code == ' ' || code == 0x00A0 || code == 0x3000; }

} // namespace

char32_t decodeAt(std::string_view text, size_t at, size_t& length)
{
    length = 1;
    if (at >= text.size())
        return 0;
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    unsigned char lead = byte(0);
    if (lead < 0x80)
        return lead;
    size_t need = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, code = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    if (at + need >= text.size())
        return kReplacement;
    for (size_t i = 1; i <= need; ++i) {
        if (!isContinuation(byte(i)))
            return kReplacement;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates (CESU-8 halves of a pair) and code points past U+10FFFF are not
    // characters.
    if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return kReplacement;
    length = need + 1;
    return code;
}

bool extendsGrapheme(char32_t code)
{
    return (code >= 0x0300 && code <= 0x036F) || (code >= 0x0483 && code <= 0x0489)
        || (code >= 0x1AB0 && code <= 0x1AFF) || (code >= 0x1DC0 && code <= 0x1DFF)
        || (code >= 0x20D0 && code <= 0x20FF) || (code >= 0xFE20 && code <= 0xFE2F)
        || (code >= 0xFE00 && code <= 0xFE0F) // variation selectors
        || (code >= 0x3099 && code <= 0x309A) // kana sound marks
        || code == kZeroWidthJoiner || (code >= 0x1F3FB && code <= 0x1F3FF) // emoji modifiers
        || (code >= 0xE0020 && code <= 0xE007F) // tag characters
        || (code >= 0xE0100 && code <= 0xE01EF); // variation selectors supplement
}

size_t nextCodePoint(std::string_view text, size_t at)
{
    if (at >= text.size())
        return text.size();
    size_t length = 1;
    decodeAt(text, at, length);
    return at + length;
}

size_t nextGrapheme(std::string_view text, size_t at)
{
    if (at >= text.size())
        return text.size();
    size_t length = 1;
    char32_t previous = decodeAt(text, at, length);
    at += length;
    while (at < text.size()) {
        char32_t code = decodeAt(text, at, length);
        if (!extendsGrapheme(code) && previous != kZeroWidthJoiner)
            break;
        previous = code;
        at += length;
    }
    return at;
}

size_t previousGrapheme(std::string_view text, size_t at)
{
    if (at > text.size())
        at = text.size();
    // Walk from the start: graphemes are short and the text at most a few kilobytes, and only a
    // forward walk knows where a joiner's sequence began.
    size_t boundary = 0;
    for (size_t next = 0; next < at; next = nextGrapheme(text, next))
        boundary = next;
    return boundary;
}

bool isGraphemeBoundary(std::string_view text, size_t at)
{
    if (at == 0 || at >= text.size())
        return at <= text.size();
    size_t boundary = 0;
    while (boundary < at)
        boundary = nextGrapheme(text, boundary);
    return boundary == at;
}

size_t graphemeCut(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text.size();
    size_t cut = 0;
    for (size_t next = nextGrapheme(text, 0); next <= maxBytes && cut < text.size(); next = nextGrapheme(text, next))
        cut = next;
    return cut;
}

size_t wordStart(std::string_view text, size_t at)
{
    size_t start = 0;
    bool inWord = false;
    for (size_t position = 0; position < at && position < text.size();) {
        size_t length = 1;
        char32_t code = decodeAt(text, position, length);
        bool word = isWordCharacter(code) && !isSpace(code);
        if (!inWord && word)
            start = position;
        inWord = word;
        position = nextGrapheme(text, position);
        if (!word)
            start = position;
    }
    return start;
}

size_t wordEnd(std::string_view text, size_t at)
{
    size_t position = at;
    while (position < text.size()) {
        size_t length = 1;
        char32_t code = decodeAt(text, position, length);
        if (!isWordCharacter(code) || isSpace(code))
            break;
        position = nextGrapheme(text, position);
    }
    return position;
}

std::string cleanTypedText(std::string_view text, bool afterCharacter)
{
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        size_t length = 1;
        char32_t code = decodeAt(text, at, length);
        at += length;
        if (code == '\r' && at < text.size() && text[at] == '\n')
            ++at; // CR LF is one line break
        if (code == '\r' || code == '\n' || code == '\t' || code == 0x2028 || code == 0x2029) {
            out.push_back(' ');
            continue;
        }
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
            continue;
        // A mark with nothing to sit on is not kept.
        bool nothingBefore = out.empty() ? !afterCharacter : out.back() == ' ';
        if (extendsGrapheme(code) && code != kZeroWidthJoiner && nothingBefore)
            continue;
        appendUtf8(out, code);
    }
    return out;
}

} // namespace tonvane::text_boundaries
