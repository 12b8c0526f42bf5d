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

// The About box's body: the version (a "%s" filled from product::kVersion) and the copyright,
// two translated sentences, the encoders' addresses.
#define TONVANE_ABOUT_HEAD u"Tonvane %s\n© ORVAL SOFTWARE\n\n"
#define TONVANE_ABOUT_LINKS                                                                                   \
    u"\nLAME: https://lame.sourceforge.io/\nVorbis: https://xiph.org/vorbis/\nFLAC: https://xiph.org/flac/"

} // namespace tonvane::texts
