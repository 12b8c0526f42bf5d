#pragma once
#include "windowing/message/Message.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonvane {

// Typed text travels as WM_CHAR messages: wParam holds up to kTextBytesPerMessage UTF-8 bytes,
// the first byte in the lowest byte, lParam their count. Longer text is split between code
// points, so each message holds whole UTF-8 sequences.
constexpr size_t kTextBytesPerMessage = 8;

// The WM_CHAR messages for text (UTF-8) to window; an ill-formed sequence is split at its bytes
// and left to the receiver to judge.
std::vector<Message> textMessages(WindowId window, std::string_view text);

// The UTF-8 bytes a WM_CHAR message carries (empty for any other message or a bad count).
std::string textOf(const Message& message);

} // namespace tonvane
