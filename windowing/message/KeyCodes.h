#pragma once
#include <cstdint>

namespace tonvane {

// Virtual-key codes of the design; letters and digits are their upper-case ASCII codes.
namespace vk {
constexpr uint32_t VK_XBUTTON1 = 0x05;
constexpr uint32_t VK_XBUTTON2 = 0x06;
constexpr uint32_t VK_BACK = 0x08;
constexpr uint32_t VK_TAB = 0x09;
constexpr uint32_t VK_RETURN = 0x0D;
constexpr uint32_t VK_SHIFT = 0x10;
constexpr uint32_t VK_CONTROL = 0x11;
constexpr uint32_t VK_MENU = 0x12;
constexpr uint32_t VK_ESCAPE = 0x1B;
constexpr uint32_t VK_SPACE = 0x20;
constexpr uint32_t VK_PRIOR = 0x21;
constexpr uint32_t VK_NEXT = 0x22;
constexpr uint32_t VK_END = 0x23;
constexpr uint32_t VK_HOME = 0x24;
constexpr uint32_t VK_LEFT = 0x25;
constexpr uint32_t VK_UP = 0x26;
constexpr uint32_t VK_RIGHT = 0x27;
constexpr uint32_t VK_DOWN = 0x28;
constexpr uint32_t VK_INSERT = 0x2D;
constexpr uint32_t VK_DELETE = 0x2E;
constexpr uint32_t VK_F1 = 0x70; // F1..F12 follow in order
constexpr uint32_t VK_LSHIFT = 0xA0;
constexpr uint32_t VK_RSHIFT = 0xA1;
constexpr uint32_t VK_LCONTROL = 0xA2;
constexpr uint32_t VK_RCONTROL = 0xA3;
constexpr uint32_t VK_LMENU = 0xA4;
constexpr uint32_t VK_RMENU = 0xA5;
} // namespace vk

// Live modifier bits as the key table compares them.
namespace mod {
constexpr uint32_t kCtrl = 0x1;
constexpr uint32_t kAlt = 0x2;
constexpr uint32_t kShift = 0x4; // either Shift
constexpr uint32_t kLeftShift = 0x8;
constexpr uint32_t kRightShift = 0x10;
constexpr uint32_t kCaseless = 0x80; // entry flag: compare the keys upper-cased
} // namespace mod

} // namespace tonvane
