#pragma once
// Rows that several tables share: the language names (always shown in their own language), the
// product label and the addresses.
#include "core/language/Language.h"
#include "core/ProductConfig.h"

#include <string_view>

namespace tonvane::texts {

constexpr UiString ui(std::u16string_view text)
{
    return UiString{text.data(), static_cast<int32_t>(text.size())};
}

#define TONVANE_LANGUAGE_NAMES                                                                               \
    ui(u"Español"), ui(u"English"), ui(u"Русский"), ui(u"Deutsch"), ui(u"Français"), ui(u"Português"),      \
        ui(u"Italiano"), ui(u"日本語")

inline constexpr char16_t kWebLabel[] = u"Tonvane Web";

inline constexpr char16_t kAboutEnglish[] =
    u"Tonvane 0.2\n© ORVAL SOFTWARE\n\n"
    u"This program uses the FreeType library (https://freetype.org/).\n\n"
    u"The MP3, Vorbis and FLAC encoders are separate software:\n"
    u"LAME: https://lame.sourceforge.io/\n"
    u"Vorbis: https://xiph.org/vorbis/\n"
    u"FLAC: https://xiph.org/flac/";

inline constexpr char16_t kAboutSpanish[] =
    u"Tonvane 0.2\n© ORVAL SOFTWARE\n\n"
    u"Este programa utiliza la biblioteca FreeType (https://freetype.org/).\n\n"
    u"The MP3, Vorbis and FLAC encoders are separate software:\n"
    u"LAME: https://lame.sourceforge.io/\n"
    u"Vorbis: https://xiph.org/vorbis/\n"
    u"FLAC: https://xiph.org/flac/";

} // namespace tonvane::texts
