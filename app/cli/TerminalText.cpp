#include "app/cli/TerminalText.h"

#include "core/foundation/Utf.h"

namespace tonvane {

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kC1LeadByte = 0xC2; // U+0080-U+00BF in UTF-8: C2 80-C2 BF
constexpr unsigned char kC1LastTrail = 0x9F; // C2 9F is U+009F, the last C1 control

} // namespace

std::string terminalText(std::string_view utf8)
{
    const bool valid = isValidUtf8(utf8);
    std::string text;
    text.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < kFirstPrintable || byte == kDelete) {
            text += ' ';
        } else if (!valid && byte > kDelete) {
            text += '?';
        } else if (byte == kC1LeadByte && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) <= kC1LastTrail) {
            text += ' ';
            ++i;
        } else {
            text += utf8[i];
        }
    }
    return text;
}

} // namespace tonvane
