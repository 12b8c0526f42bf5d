#include "windowing/message/TextMessage.h"

#include <algorithm>

namespace tonvane {

namespace {

// Bytes of the UTF-8 sequence a lead byte starts; 1 for anything that cannot lead one.
size_t sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

} // namespace

std::vector<Message> textMessages(WindowId window, std::string_view text)
{
    std::vector<Message> out;
    size_t at = 0;
    while (at < text.size()) {
        uint64_t packed = 0;
        size_t count = 0;
        while (at < text.size()) {
            size_t length = std::min(sequenceLength(static_cast<unsigned char>(text[at])), text.size() - at);
            if (count + length > kTextBytesPerMessage)
                break;
            for (size_t i = 0; i < length; ++i)
                packed |= static_cast<uint64_t>(static_cast<unsigned char>(text[at + i])) << (8 * (count + i));
            count += length;
            at += length;
        }
        Message message{window, msg::WM_CHAR, packed, static_cast<int64_t>(count)};
        out.push_back(message);
    }
    return out;
}

std::string textOf(const Message& message)
{
    if (message.message != msg::WM_CHAR || message.lParam <= 0
        || message.lParam > static_cast<int64_t>(kTextBytesPerMessage))
        return {};
    std::string text;
    for (int64_t i = 0; i < message.lParam; ++i)
        text.push_back(static_cast<char>((message.wParam >> (8 * i)) & 0xFF));
    return text;
}

} // namespace tonvane
