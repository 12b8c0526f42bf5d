// The settings file is outside input: a hand-edited or damaged file must parse or be refused,
// and whatever parses must write back to text that parses to the same content.
#include "core/settings/SettingsFile.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using tonvane::settings::SettingsFile;
    auto parsed = SettingsFile::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed)
        return 0;
    std::string text = parsed->serialize();
    auto again = SettingsFile::parse(text);
    if (!again || again->serialize() != text)
        std::abort(); // what we write must read back unchanged
    return 0;
}
