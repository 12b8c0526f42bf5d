#include "windowing/x11/KeyMap.h"

#include "windowing/message/KeyCodes.h"

#include <X11/keysym.h>

namespace tonvane::x11 {

namespace {

struct KeyRow {
    unsigned long keysym;
    uint32_t key;
};

constexpr KeyRow kKeys[] = {
    {XK_BackSpace, vk::VK_BACK},   {XK_Tab, vk::VK_TAB},         {XK_ISO_Left_Tab, vk::VK_TAB},
    {XK_Return, vk::VK_RETURN},    {XK_KP_Enter, vk::VK_RETURN}, {XK_Escape, vk::VK_ESCAPE},
    {XK_space, vk::VK_SPACE},      {XK_Prior, vk::VK_PRIOR},     {XK_Next, vk::VK_NEXT},
    {XK_End, vk::VK_END},          {XK_Home, vk::VK_HOME},       {XK_Left, vk::VK_LEFT},
    {XK_Up, vk::VK_UP},            {XK_Right, vk::VK_RIGHT},     {XK_Down, vk::VK_DOWN},
    {XK_Insert, vk::VK_INSERT},    {XK_Delete, vk::VK_DELETE},   {XK_Shift_L, vk::VK_SHIFT},
    {XK_Shift_R, vk::VK_SHIFT},    {XK_Control_L, vk::VK_CONTROL}, {XK_Control_R, vk::VK_CONTROL},
    {XK_Alt_L, vk::VK_MENU},       {XK_Alt_R, vk::VK_MENU},
};

} // namespace

uint32_t virtualKey(unsigned long keysym)
{
    if (keysym >= XK_a && keysym <= XK_z)
        return static_cast<uint32_t>('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z)
        return static_cast<uint32_t>(keysym);
    if (keysym >= XK_0 && keysym <= XK_9)
        return static_cast<uint32_t>(keysym);
    if (keysym >= XK_F1 && keysym <= XK_F12)
        return vk::VK_F1 + static_cast<uint32_t>(keysym - XK_F1);
    for (const KeyRow& row : kKeys)
        if (row.keysym == keysym)
            return row.key;
    return 0;
}

} // namespace tonvane::x11

namespace tonvane::x11 {

std::string keysymText(unsigned long keysym)
{
    constexpr unsigned long kUnicodeKeysyms = 0x01000000; // + the code point
    char32_t code = 0;
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF))
        code = static_cast<char32_t>(keysym);
    else if (keysym >= kUnicodeKeysyms + 0xA0 && keysym <= kUnicodeKeysyms + 0x10FFFF)
        code = static_cast<char32_t>(keysym - kUnicodeKeysyms);
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    std::string out;
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    return out;
}

} // namespace tonvane::x11
