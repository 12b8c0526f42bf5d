#include "core/disc/SafeFileName.h"

namespace tonvane {

namespace {

// Characters that have no place in a file name here or on FAT/NTFS media the rips are copied to.
constexpr std::u16string_view kRemovedCharacters = u"<>:/\\|";

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// C0 and C1 controls, the bidirectional formatting characters and the byte order mark.
bool isInvisibleControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0xFEFF;
}

// Bytes of the character at i in UTF-8; units receives its UTF-16 units (2 for a pair).
size_t utf8Length(std::u16string_view text, size_t i, size_t& units)
{
    char16_t c = text[i];
    units = 1;
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
        units = 2;
        return 4;
    }
    return 3; // BMP character, or an unpaired surrogate that becomes U+FFFD
}

bool isTrimmed(char16_t c)
{
    return c == u'.' || c == u' ';
}

WideString trimmed(std::u16string_view name)
{
    size_t first = 0, end = name.size();
    while (first < end && isTrimmed(name[first]))
        ++first;
    while (end > first && isTrimmed(name[end - 1]))
        --end;
    return WideString(name.substr(first, end - first));
}

} // namespace

size_t utf8ByteCount(std::u16string_view text)
{
    size_t bytes = 0;
    for (size_t i = 0, units = 0; i < text.size(); i += units)
        bytes += utf8Length(text, i, units);
    return bytes;
}

void cutToUtf8Bytes(WideString& name, size_t maxBytes)
{
    std::u16string_view text = name.view();
    size_t bytes = 0, i = 0;
    while (i < text.size()) {
        size_t units;
        size_t length = utf8Length(text, i, units);
        if (bytes + length > maxBytes)
            break;
        bytes += length;
        i += units;
    }
    if (i < text.size())
        name.assign(text.substr(0, i));
}

WideString safeNameCharacters(std::u16string_view text)
{
    WideString name;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            name.appendChar(c);
            name.appendChar(text[++i]);
        } else if (c == u'"') {
            name.appendChar(u'\'');
        } else if (!isInvisibleControl(c) && !isHighSurrogate(c) && !isLowSurrogate(c) &&
                   kRemovedCharacters.find(c) == std::u16string_view::npos) {
            name.appendChar(c);
        }
    }
    return name;
}

WideString safePathComponent(std::u16string_view text, size_t maxBytes)
{
    WideString name = trimmed(safeNameCharacters(text).view());
    cutToUtf8Bytes(name, maxBytes);
    return trimmed(name.view()); // the cut may end on a space or a dot
}

} // namespace tonvane
