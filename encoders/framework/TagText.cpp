#include "encoders/framework/TagText.h"

#include "core/foundation/Utf.h"

namespace tonvane {

namespace {

bool keptInTags(char16_t c)
{
    if (c == u'\t' || c == u'\n')
        return true;
    return c >= 0x20 && !(c >= 0x7F && c <= 0x9F);
}

} // namespace

std::string tagText(const WideString& text)
{
    std::u16string kept;
    kept.reserve(text.view().size());
    for (char16_t c : text.view())
        if (keptInTags(c))
            kept.push_back(c);
    return utf16ToUtf8(kept);
}

} // namespace tonvane
