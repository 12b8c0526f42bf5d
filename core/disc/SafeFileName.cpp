#include "core/disc/SafeFileName.h"

namespace tonvane {

namespace {

// Characters that have no place in a file name here or on FAT/NTFS media the rips are copied to.
constexpr char16_t kRemovedCharacters[] = u"<>:/\\|";

bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7F;
}

} // namespace

WideString safePathComponent(std::u16string_view text)
{
    WideString name;
    for (char16_t c : text) {
        if (c == u'"')
            name.appendChar(u'\'');
        else if (!isControl(c) && std::u16string_view(kRemovedCharacters).find(c) == std::u16string_view::npos)
            name.appendChar(c);
    }
    return name;
}

} // namespace tonvane
