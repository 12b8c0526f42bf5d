#include "windowing/message/KeyCodes.h"
#include "windowing/x11/KeyMap.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace tonvane {
namespace {

TEST(KeyMap, XKeySymbolsBecomeTheDesignsVirtualKeys)
{
    struct Row {
        unsigned long keysym;
        uint32_t key;
    };
    const Row rows[] = {
        {XK_a, 'A'},          {XK_Z, 'Z'},         {XK_7, '7'},           {XK_Tab, vk::VK_TAB},
        {XK_ISO_Left_Tab, vk::VK_TAB}, {XK_Return, vk::VK_RETURN}, {XK_KP_Enter, vk::VK_RETURN},
        {XK_Escape, vk::VK_ESCAPE}, {XK_F1, vk::VK_F1}, {XK_F12, vk::VK_F1 + 11}, {XK_Delete, vk::VK_DELETE},
        {XK_Page_Up, vk::VK_PRIOR}, {XK_Down, vk::VK_DOWN}, {XK_Shift_R, vk::VK_SHIFT}, {XK_eacute, 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(x11::virtualKey(row.keysym), row.key) << row.keysym;
}

} // namespace
} // namespace tonvane
