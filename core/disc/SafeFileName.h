#pragma once
#include "core/foundation/WideString.h"

#include <cstddef>
#include <string_view>

namespace tonvane {

inline constexpr size_t kMaxFileNameBytes = 255; // [bytes] NAME_MAX of Linux file systems

// One component of a file or folder path made from outside text (a title, an album, an artist).
// Dropped: C0 and C1 controls (U+0000-001F, U+007F-009F), the bidirectional embeddings,
// overrides and isolates (U+202A-202E, U+2066-2069), which could make a name read backwards,
// U+FEFF, unpaired UTF-16 surrogates, and < > : / \ | (no place in a name here or on FAT/NTFS
// media the rips are copied to); '"' becomes '\''. Leading dots and spaces go (no hidden file,
// no "." or ".."), and so do trailing dots and spaces (Windows drops them). The name is cut at a
// character boundary to at most maxBytes of UTF-8, and trimmed again after the cut. May answer
// an empty name; the caller picks a fallback then.
WideString safePathComponent(std::u16string_view text, size_t maxBytes = kMaxFileNameBytes);

// Only the character filter of safePathComponent, without trimming or cutting: for pieces that
// go inside a name, such as a name suffix (" (2)").
WideString safeNameCharacters(std::u16string_view text);

// Bytes of text in UTF-8 (an unpaired surrogate counts as the 3 of U+FFFD).
size_t utf8ByteCount(std::u16string_view text);
// Cuts name so that its UTF-8 form takes at most maxBytes, never inside a character.
void cutToUtf8Bytes(WideString& name, size_t maxBytes);

} // namespace tonvane
