#pragma once
#include "core/language/Language.h"

#include <string>

namespace tonvane {

// A widget's text: a row of the language tables (read in the current language when drawn), or
// a literal when the id is -1.
struct Caption {
    TextId id = -1;
    std::u16string literal;

    static Caption text(TextId row) { return Caption{row, {}}; }
    static Caption of(std::u16string value) { return Caption{-1, std::move(value)}; }
    // The text now: the table row or the literal.
    std::u16string_view view() const { return id >= 0 && id < kTextCount ? uiText(id).view() : std::u16string_view(literal); }
    bool empty() const { return view().empty(); }
};

} // namespace tonvane
